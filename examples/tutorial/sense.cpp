// tutorial/sense.cpp: what the bumper and the ultrasonic sensor read.
#include <brick/brick.hpp>

#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: sense DEVICE\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    brick::TouchSensor bumper = nxt.touchSensor(brick::Input::S1);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    bool pressed = bumper.pressed();
    int centimetres = sonar.centimetres();
    std::cout << "bumper " << (pressed ? 1 : 0) << ", wall " << centimetres << " cm ahead\n";
  } catch (const brick::Error& e) {
    std::cerr << "sense: " << e.what() << '\n';
    return 1;
  }
}
