// A map of a simulated run as an SVG file, drawn by Scene: the world, the path with its
// direction, the numbered events, the robot now, a scale bar and a legend.
#ifndef SIM_SVGPICTURE_H
#define SIM_SVGPICTURE_H

#include <ostream>
#include <string>

#include "sim/Robot.h"
#include "sim/Scene.h"

namespace Sim {

class SvgPicture {
 public:
  static void write(const Robot& robot, std::ostream& out, const Scene::Options& options = {});
  // Writes as OutputFile::replace does, so that a viewer never sees half a picture; false with
  // errno set when it could not.
  static bool save(const Robot& robot, const std::string& path, const Scene::Options& options = {});
  static bool save(const std::string& document, const std::string& path);
  static bool save(const std::string& document, const std::string& path, std::string& error);
};

}  // namespace Sim

#endif
