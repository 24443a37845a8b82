#include "brick/Odometry.h"

#include <cmath>

namespace Brick {
namespace Lib {

namespace {

const double kPi = 3.14159265358979323846;

}  // namespace

Odometry::Odometry(double wheelDiameter, double track) : diameter(wheelDiameter), width(track) {}

void Odometry::reset(double leftDegrees, double rightDegrees, const Pose& at) {
  lastLeft = leftDegrees;
  lastRight = rightDegrees;
  where = at;
}

void Odometry::update(double leftDegrees, double rightDegrees) {
  double perDegree = kPi * diameter / 360;
  double dl = (leftDegrees - lastLeft) * perDegree;
  double dr = (rightDegrees - lastRight) * perDegree;
  lastLeft = leftDegrees;
  lastRight = rightDegrees;
  double ds = (dl + dr) / 2;
  double turn = (dr - dl) / width * 180 / kPi;
  // The chord of the arc points along the mean of the headings at its ends.
  double mid = (where.heading + turn / 2) * kPi / 180;
  where.x += ds * std::cos(mid);
  where.y += ds * std::sin(mid);
  where.heading = normalisedHeading(where.heading + turn);
}

double Odometry::wheelDegrees(double cm) const {
  return cm * 360 / (kPi * diameter);
}

}  // namespace Lib
}  // namespace Brick
