#include "sim/SvgPicture.h"

#include "sim/Frame.h"
#include "sim/OutputFile.h"

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
  std::string error;
  return save(document, path, error);  // errno says why it failed
}

bool SvgPicture::save(const std::string& document, const std::string& path, std::string& error) {
  return OutputFile::replace(path, document, error);
}

}  // namespace Sim
