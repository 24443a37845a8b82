// Worlds for the device drivers' tests: a robot at (50, 100) heading 30 degrees (60 clockwise
// from north), a beacon straight east of it (30 degrees to its right), a room at 23.5 degrees,
// a red mat under its sensor spot; with the compass, IR seeker, accelerometer and temperature
// sensor fitted, or the other maker's colour sensor and the gyro.
#ifndef TESTS_DEVICEWORLDS_H
#define TESTS_DEVICEWORLDS_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

namespace test {

inline const std::string kFitted = R"(arena 300 200
area red 50 90 20 30
robot 50 100 30
device 1 ir-seeker
device 2 compass
device 3 accelerometer
device 4 temperature
beacon 150 103.5
temperature 23.5
)";
inline const std::string kOthers = R"(arena 300 200
area red 50 90 20 30
robot 50 100 30
device 1 color-v2
device 2 gyro 612 6
)";

// The robot and its devices around the fixture's virtual brick, on a stepped clock.
class FittedRobot : public MemoryBrick {
 protected:
  void fit(const std::string& text) {
    std::string error;
    ASSERT_TRUE(Sim::World::parse(text, world, error)) << error;
    robot.reset();
    clock = Sim::SteppedClock(0.01);  // each world starts at time 0
    robot = std::make_unique<Sim::Robot>(world, clock);
    robot->attach(sim);
  }
  // The telegrams since clearWire(), without the bus's status polls (as many as the bus takes).
  std::vector<std::string> transactions() {
    std::vector<std::string> out;
    for (const std::string& t : wire()) {
      if (t.rfind("00 0E", 0) != 0) {
        out.push_back(t);
      }
    }
    return out;
  }

  Sim::World world;
  Sim::SteppedClock clock{0.01};
  std::unique_ptr<Sim::Robot> robot;
};

}  // namespace test

#endif
