// The path bricksim's --link gives its pseudo-terminal: a symbolic link to /proc/<pid>/fd/<n>,
// the server's own descriptor on the device, not to /dev/pts/N. Such a link dies with the
// process: when bricksim is killed before it can remove the link, the link leads nowhere,
// never to whichever program is given that terminal next. (Only the same user, who may look
// into the process's descriptors, can follow it.)
#ifndef SIM_DEVICELINK_H
#define SIM_DEVICELINK_H

#include <sys/types.h>
#include <string>

namespace Sim {

class DeviceLink {
 public:
  // What a link for the descriptor `fd` of process `pid` points at.
  static std::string targetFor(pid_t pid, int fd);

  // Makes `path` a link to `target`. What is already there is replaced only if it is a link
  // some bricksim made (a live one's is taken over, as a second run takes the path over) or a
  // link that leads nowhere; anything else stays as it is, and is never opened. False, with
  // the reason in `error`, when the path is not ours to take.
  static bool make(const std::string& path, const std::string& target, std::string& error);
  // Removes `path` if it still points at `target` (another run may have taken it over since).
  static void removeIfOurs(const std::string& path, const std::string& target);
};

}  // namespace Sim

#endif
