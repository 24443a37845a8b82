// tutorial/beep.cpp: one beep, and the battery.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: beep DEVICE\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    nxt.playTone(440, 200ms);
    std::cout << "beep; battery " << nxt.batteryMillivolts() << " mV\n";
  } catch (const brick::Error& e) {
    std::cerr << "beep: " << e.what() << '\n';
    return 1;
  }
}
