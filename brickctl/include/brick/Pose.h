// Where a two-wheel robot is, as its own odometry reckons it: centimetres from where it began
// and its heading in degrees, 0 along the start's +x, counter-clockwise positive.
#ifndef BRICK_POSE_H
#define BRICK_POSE_H

#include <cmath>

namespace Brick {
namespace Lib {

struct Pose {
  double x = 0;
  double y = 0;
  double heading = 0;  // degrees, kept within (-180, 180]
};

// A heading in degrees brought within (-180, 180].
inline double normalisedHeading(double degrees) {
  degrees = std::fmod(degrees, 360.0);
  if (degrees > 180) {
    degrees -= 360;
  } else if (degrees <= -180) {
    degrees += 360;
  }
  return degrees;
}

}  // namespace Lib
}  // namespace Brick

#endif
