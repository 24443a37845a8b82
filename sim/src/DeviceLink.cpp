#include "sim/DeviceLink.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace Sim {

namespace {

std::string readLink(const std::string& path) {
  char target[PATH_MAX];
  ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// /proc/<digits>/fd/<digits>: what a bricksim links to, whether it still runs or not.
bool madeByBricksim(const std::string& target) {
  unsigned pid = 0;
  unsigned fd = 0;
  int used = 0;
  return std::sscanf(target.c_str(), "/proc/%u/fd/%u%n", &pid, &fd, &used) == 2 &&
         static_cast<std::size_t>(used) == target.size() &&
         target == DeviceLink::targetFor(static_cast<pid_t>(pid), static_cast<int>(fd));
}

}  // namespace

std::string DeviceLink::targetFor(pid_t pid, int fd) {
  return "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
}

bool DeviceLink::make(const std::string& path, const std::string& target, std::string& error) {
  struct stat there;
  if (::lstat(path.c_str(), &there) == 0) {
    if (!S_ISLNK(there.st_mode)) {
      error = path + " exists and is not a symbolic link; not replacing it";
      return false;
    }
    std::string old = readLink(path);
    struct stat led;
    // stat() looks the target up without opening it: a terminal there is never touched.
    bool leadsNowhere = ::stat(path.c_str(), &led) != 0 && errno == ENOENT;
    if (!madeByBricksim(old) && !leadsNowhere) {
      error = path + " is a link to " + old +
              ", which bricksim did not make; not replacing it (remove it to use this path)";
      return false;
    }
  }
  // Made beside it and renamed over it, so that a client never finds the path missing while a
  // run takes it over.
  std::string fresh = path + ".new-" + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0) {
    error = "cannot make " + fresh + ": " + std::strerror(errno);
    return false;
  }
  if (::rename(fresh.c_str(), path.c_str()) != 0) {
    error = "cannot make " + path + ": " + std::strerror(errno);
    ::unlink(fresh.c_str());
    return false;
  }
  return true;
}

void DeviceLink::removeIfOurs(const std::string& path, const std::string& target) {
  if (readLink(path) == target) {
    ::unlink(path.c_str());
  }
}

}  // namespace Sim
