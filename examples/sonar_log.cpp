// sonar_log: the ultrasonic sensor's distance as CSV, one row every 100 ms.
//   sonar_log [DEVICE [ROWS]]     (no DEVICE: the brick `brick` would use)
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  std::string device = argc > 1 ? argv[1] : "";
  int rows = argc > 2 ? std::stoi(argv[2]) : 100;
  try {
    brick::Brick nxt(device);
    brick::UltrasonicSensor sonar = nxt.ultrasonicSensor(brick::Input::S4);
    auto start = std::chrono::steady_clock::now();
    std::cout << "time_ms,distance_cm\n";
    for (int row = 0; row < rows; ++row) {
      int centimetres = sonar.centimetres();
      auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      std::cout << elapsed.count() << ',';
      if (centimetres != brick::UltrasonicSensor::noEcho) {
        std::cout << centimetres;  // an empty field: nothing within range
      }
      std::cout << '\n';
      std::this_thread::sleep_for(100ms);
    }
  } catch (const brick::Error& e) {
    std::cerr << "sonar_log: " << e.what() << '\n';
    return 1;
  }
}
