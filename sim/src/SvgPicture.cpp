#include "sim/SvgPicture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

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
  // A new file of our own beside the picture (mkstemp: never an existing file, a symlink's
  // target or a FIFO), put in place whole by rename.
  std::string temporary = path + ".part.XXXXXX";
  int fd = ::mkstemp(&temporary[0]);
  if (fd < 0) {
    return false;
  }
  bool written = ::fchmod(fd, 0644) == 0;
  for (std::size_t done = 0; written && done < document.size();) {
    ssize_t n = ::write(fd, document.data() + done, document.size() - done);
    written = n > 0 || (n < 0 && errno == EINTR);
    done += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  written = ::close(fd) == 0 && written;
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  int why = errno;
  std::remove(temporary.c_str());  // half a picture, or one that cannot be put in place
  errno = why;                     // the caller reports the reason
  return false;
}

}  // namespace Sim
