#include "brick/LocalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Brick {
namespace Lib {

LocalFile::LocalFile(const std::string& path) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat file {};
  if (fd < 0 || ::fstat(fd, &file) != 0) {
    lastError = errno;
    return;
  }
  if (!S_ISREG(file.st_mode)) {
    current = State::kNotRegular;
    return;
  }
  if (static_cast<unsigned long long>(file.st_size) > 0xFFFFFFFFull) {
    current = State::kTooLarge;
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  bytes = static_cast<std::uint32_t>(file.st_size);
  current = State::kReady;
}

LocalFile::~LocalFile() {
  if (fd >= 0) {
    ::close(fd);
  }
}

long LocalFile::read(std::uint8_t* buffer, std::size_t most) {
  ssize_t got;
  do {
    got = ::read(fd, buffer, most);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    lastError = errno;
    return -1;
  }
  return static_cast<long>(got);
}

}  // namespace Lib
}  // namespace Brick
