// tutorial/square.cpp: a 50 cm square with the pilot, and where it reckons it ended.
#include <brick/brick.hpp>

#include <cmath>
#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: square DEVICE\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    brick::Pilot::Config config;
    config.wheelDiameter = 5.6;  // cm
    config.track = 12;           // cm between the wheels
    config.left = brick::Port::B;
    config.right = brick::Port::C;
    brick::Pilot pilot(nxt, config);
    for (int side = 0; side < 4; ++side) {
      pilot.travel(50);  // each move waits until the robot stands still
      pilot.rotate(90);
    }
    brick::Pose pose = pilot.pose();
    std::cout << "back where it began: " << std::lround(pose.x) << " cm, " << std::lround(pose.y)
              << " cm, heading " << std::lround(pose.heading) << '\n';
  } catch (const brick::Error& e) {
    std::cerr << "square: " << e.what() << '\n';
    return 1;
  }
}
