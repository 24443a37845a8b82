// The same check on the modern API: opens the brick at the path given and asks its name and
// battery.
#include <brick/brick.hpp>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer_api DEVICE\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    std::cout << nxt.name() << ' ' << nxt.batteryMillivolts() << '\n';
  } catch (const brick::Error& e) {
    std::cerr << "consumer_api: " << e.what() << '\n';
    return 1;
  }
}
