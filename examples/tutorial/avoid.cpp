// tutorial/avoid.cpp: drive about, turning away from every wall closer than 25 cm.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>
#include <string>

using namespace std::chrono_literals;

// Spins on the spot: each wheel 230 degrees, one forwards and one backwards.
static void spin(brick::Motor& left, brick::Motor& right) {
  left.turn(40, 230);
  right.turn(-40, 230);
  left.wait(30s);
  right.wait(30s);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: avoid DEVICE [STEPS]\n";
    return 2;
  }
  int steps = argc > 2 ? std::stoi(argv[2]) : 300;
  try {
    brick::Brick nxt(argv[1]);  // closing it, however main ends, stops the wheels
    brick::Motor left = nxt.motor(brick::Port::B);
    brick::Motor right = nxt.motor(brick::Port::C);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    for (int step = 0; step < steps; ++step) {
      int centimetres = sonar.centimetres();
      if (centimetres < 25) {
        std::cout << "wall " << centimetres << " cm ahead, turning away" << std::endl;
        spin(left, right);
      } else {
        left.run(50);
        right.run(50);
      }
    }
  } catch (const brick::Error& e) {
    std::cerr << "avoid: " << e.what() << '\n';
    return 1;
  }
}
