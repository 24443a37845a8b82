// Where a two-wheel robot is, as its own odometry reckons it: centimetres from where it began
// and its heading in degrees, 0 along the start's +x, counter-clockwise positive.
#ifndef BRICK_POSE_H
#define BRICK_POSE_H

namespace Brick {
namespace Lib {

struct Pose {
  double x = 0;
  double y = 0;
  double heading = 0;  // degrees, kept within (-180, 180]
};

}  // namespace Lib
}  // namespace Brick

#endif
