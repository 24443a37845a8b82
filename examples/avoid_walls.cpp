// avoid_walls: drive about, spinning away from every wall closer than 25 cm. Wheels on outputs B
// and C, the ultrasonic sensor on input 4.
//   avoid_walls [DEVICE [STEPS]]   (no DEVICE: the brick `brick` would use)
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>
#include <string>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  std::string device = argc > 1 ? argv[1] : "";
  int steps = argc > 2 ? std::stoi(argv[2]) : 300;
  try {
    // Closing the brick, however main ends, stops the wheels.
    brick::Brick nxt(device);
    brick::MotorPair wheels = nxt.pair(brick::Port::B, brick::Port::C);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    for (int step = 0; step < steps; ++step) {
      int centimetres = sonar.centimetres();
      if (centimetres < 25) {
        std::cout << "wall " << centimetres << " cm ahead, turning away" << std::endl;
        wheels.turn(40, 230, 100);  // a spin on the spot
        wheels.wait(5s);
      } else {
        wheels.run(50);
      }
    }
    std::cout << "done" << std::endl;
  } catch (const brick::Error& e) {
    std::cerr << "avoid_walls: " << e.what() << '\n';
    return 1;
  }
}
