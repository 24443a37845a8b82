// sonar_log: the ultrasonic sensor's distance as CSV, one row every 100 ms from the start.
//   sonar_log [DEVICE [ROWS]]     (no DEVICE: the brick `brick` would use)
// A distance of 255 means nothing echoed within the sensor's range.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>
#include <string>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  std::string device = argc > 1 ? argv[1] : "";
  int rows = argc > 2 ? std::stoi(argv[2]) : 100;
  try {
    brick::Brick nxt(device);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    brick::Sampler log(nxt);
    log.add("distance_cm", [&] { return double(sonar.centimetres()); });
    log.run(100ms, rows, std::cout);
  } catch (const brick::Error& e) {
    std::cerr << "sonar_log: " << e.what() << '\n';
    return 1;
  }
}
