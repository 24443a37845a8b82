#include "sim/SvgPicture.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "sim/Frame.h"

namespace Sim {

void SvgPicture::write(const Robot& robot, std::ostream& out, const Scene::Options& options) {
  Scene scene(robot.world(), robot.path(), robot.events(), Frame::of(robot));
  out << scene.document(options);
}

bool SvgPicture::save(const Robot& robot, const std::string& path, const Scene::Options& options) {
  Scene scene(robot.world(), robot.path(), robot.events(), Frame::of(robot));
  return save(scene.document(options), path);
}

bool SvgPicture::save(const std::string& document, const std::string& path) {
  std::string temporary = path + ".part";
  bool written = false;
  {
    std::ofstream file(temporary);
    if (!file) {
      return false;
    }
    file << document;
    written = static_cast<bool>(file.flush());
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  int why = errno;
  std::remove(temporary.c_str());  // half a picture, or one that cannot be put in place
  errno = why;                     // the caller reports the reason
  return false;
}

}  // namespace Sim
