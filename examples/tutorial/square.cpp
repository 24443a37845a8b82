// tutorial/square.cpp: a 50 cm square with the pilot, and where it reckons it ended.
#include <cmath>
#include <cstdio>

#include "brick/Block.h"
#include "brick/Pilot.h"

using namespace Brick::Lib;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: square DEVICE\n");
    return 2;
  }
  Block brick;
  brick.connectBluetooth(argv[1]);
  Pilot::Config config;
  config.wheelDiameter = 5.6;
  config.track = 12;
  config.leftPort = 1;   // B
  config.rightPort = 2;  // C
  Pilot pilot(brick, config);
  for (int side = 0; side < 4; ++side) {
    // Each move waits until the robot stands still; a failure is the brick's code.
    if (pilot.travel(50) != 0 || pilot.rotate(90) != 0) {
      std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
      return 1;
    }
  }
  const Pose& pose = pilot.pose();
  std::printf("back where it began: %ld cm, %ld cm, heading %ld\n", std::lround(pose.x),
              std::lround(pose.y), std::lround(pose.heading));
  brick.disconnect();
  return 0;
}
