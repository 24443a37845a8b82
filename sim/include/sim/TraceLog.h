// The decoded telegram trace the live page scrolls through: the last few thousand lines, each
// with a sequence number, so that a page that fell behind picks up where it was (or at the
// oldest line kept). Safe to use from the server's thread and the page's at once.
#ifndef SIM_TRACELOG_H
#define SIM_TRACELOG_H

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sim/VirtualBrick.h"

namespace Sim {

class TraceLog {
 public:
  static constexpr std::size_t kKept = 2000;

  // "> 00 04 ...  SETOUTPUTSTATE ..." and, when a reply was sent, "< 02 04 00  reply ...".
  static std::vector<std::string> lines(const Bytes& telegram, const Bytes& reply);

  void add(const std::string& line);
  // Up to `most` lines after `seen` (0: from the oldest kept); `seen` moves past them.
  std::vector<std::string> since(std::uint64_t& seen, std::size_t most) const;
  std::uint64_t total() const;

 private:
  mutable std::mutex mutex;
  std::deque<std::string> kept;
  std::uint64_t added = 0;
};

}  // namespace Sim

#endif
