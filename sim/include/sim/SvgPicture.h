// A map of a simulated run as an SVG drawing: the world (floor, mats, lines, walls), the path
// the robot drove, where it started and where it is now, and its events marked on the way
// (bumper closed, pushed against a wall, tone played), each with a tooltip.
#ifndef SIM_SVGPICTURE_H
#define SIM_SVGPICTURE_H

#include <ostream>
#include <string>

#include "sim/Robot.h"

namespace Sim {

class SvgPicture {
 public:
  static void write(const Robot& robot, std::ostream& out);
  // Writes through a temporary file and a rename, so that a viewer never sees half a picture.
  static bool save(const Robot& robot, const std::string& path);
};

}  // namespace Sim

#endif
