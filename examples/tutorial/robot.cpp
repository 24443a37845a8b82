// tutorial/robot.cpp: avoid walls, and follow the dark line's left edge once found.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>
#include <string>

using namespace std::chrono_literals;

const int kDark = 40;

static void powers(brick::Motor& left, int leftPower, brick::Motor& right, int rightPower) {
  left.run(leftPower);
  right.run(rightPower);
}

// Spins on the spot: each wheel 230 degrees, one forwards and one backwards.
static void spin(brick::Motor& left, brick::Motor& right) {
  left.turn(40, 230);
  right.turn(-40, 230);
  left.wait(30s);
  right.wait(30s);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: robot DEVICE [STEPS]\n";
    return 2;
  }
  int steps = argc > 2 ? std::stoi(argv[2]) : 600;
  try {
    brick::Brick nxt(argv[1]);  // closing it, however main ends, stops the wheels
    brick::Motor left = nxt.motor(brick::Port::B);
    brick::Motor right = nxt.motor(brick::Port::C);
    brick::LightSensor light = nxt.lightSensor(brick::Input::S2);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    bool following = false;
    for (int step = 0; step < steps; ++step) {
      int centimetres = sonar.centimetres();
      int brightness = light.percent();
      if (centimetres < 25) {
        std::cout << "wall " << centimetres << " cm ahead, turning away" << std::endl;
        spin(left, right);
      } else if (!following && brightness < kDark) {
        std::cout << "found the line" << std::endl;
        following = true;
      } else if (following) {
        if (brightness < kDark + 2) {
          powers(left, 8, right, 35);  // over the line: bear left
        } else {
          powers(left, 35, right, 8);  // over the floor: bear right
        }
      } else {
        powers(left, 50, right, 50);
      }
    }
  } catch (const brick::Error& e) {
    std::cerr << "robot: " << e.what() << '\n';
    return 1;
  }
}
