// Worlds for the device drivers' tests: a robot at (50, 100) heading 30 degrees (60 clockwise
// from north), a beacon straight east of it (30 degrees to its right), a room at 23.5 degrees,
// a red mat under its sensor spot; with the compass, IR seeker, accelerometer and temperature
// sensor fitted, or the other maker's colour sensor and the gyro.
#ifndef TESTS_DEVICEWORLDS_H
#define TESTS_DEVICEWORLDS_H

#include <string>

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

}  // namespace test

#endif
