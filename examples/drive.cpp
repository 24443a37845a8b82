// Drives a brick through the modern API (brick/brick.hpp): a tone, the battery, a motor, a
// touch sensor. Give it a device path or a Bluetooth address; the demo gives it the virtual
// brick's pseudo-terminal.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: drive DEVICE|XX:XX:XX:XX:XX:XX\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    nxt.keepRunning();  // the wheel finishes its turn after the program has gone
    std::cout << "connected to \"" << nxt.name() << "\", battery " << nxt.batteryMillivolts()
              << " mV\n";
    brick::Motor left = nxt.motor(brick::Port::B);
    left.turn(75, 360);
    brick::TouchSensor touch = nxt.touchSensor(brick::Input::S1);
    std::cout << "touch reads " << touch.pressed() << ", rotation count " << left.position()
              << '\n';
    nxt.playTone(440, 200ms);
  } catch (const brick::Error& e) {
    std::cerr << "drive: " << e.what() << '\n';
    return 1;
  }
}
