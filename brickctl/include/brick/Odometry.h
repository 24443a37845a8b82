// Dead reckoning for a two-wheel robot from its wheels' tacho counts: each update turns the
// degrees both wheels turned since the last one into a short arc. Only what the counts say is
// known: a wheel that slips, or a robot pushed, moves without the pose knowing.
#ifndef BRICK_ODOMETRY_H
#define BRICK_ODOMETRY_H

#include "brick/Export.h"
#include "brick/Pose.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API Odometry {
 public:
  // Wheel diameter and track (the distance between the wheels' contact points), in cm.
  Odometry(double wheelDiameter, double track);

  // Counts (degrees, forward positive) to measure from, and the pose they stand for.
  void reset(double leftDegrees, double rightDegrees, const Pose& at = Pose());
  // The wheels' counts now.
  void update(double leftDegrees, double rightDegrees);
  const Pose& pose() const { return where; }
  void setPose(const Pose& at) { where = at; }

  // Degrees a wheel turns to roll `cm`.
  double wheelDegrees(double cm) const;
  double wheelDiameter() const { return diameter; }
  double track() const { return width; }

 private:
  double diameter;
  double width;
  double lastLeft = 0;
  double lastRight = 0;
  Pose where;
};

}  // namespace Lib
}  // namespace Brick

#endif
