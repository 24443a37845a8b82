// Keeps a brick from switching itself off: a brick left without telegrams for its sleep time
// powers down, and only KEEPALIVE (or any other command) resets its timer.
//
// Opt-in and thread-free: the host calls tick() from a loop it already runs, in any thread (the
// library starts no timer thread of its own; threads: docs/threads.md). tick() sends nothing
// until a KEEPALIVE
// is due, so calling it every loop turn costs nothing. The first tick asks the brick for its
// sleep time and from then on sends a KEEPALIVE every third of it (a default period when the
// brick never sleeps), so two lost telegrams in a row still leave it awake.
#ifndef BRICK_KEEPALIVE_H
#define BRICK_KEEPALIVE_H

#include <chrono>
#include <cstdint>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API KeepAlive {
 public:
  using Clock = std::chrono::steady_clock;

  // `periodMs` 0: a third of the brick's sleep time, as it reports it.
  explicit KeepAlive(Block& block, int periodMs = 0);
  explicit KeepAlive(Comm::SerialCommunication& link, int periodMs = 0);

  // Sends a KEEPALIVE when one is due: 0 (sent or not due), or the code of the failed one; a
  // failed one is retried on the next tick.
  long tick() { return tick(Clock::now()); }
  long tick(Clock::time_point now);
  // Sends a KEEPALIVE now, whether due or not.
  long sendNow();
  // Milliseconds until the next KEEPALIVE is due (0: due now); a host's loop can sleep that long.
  int dueInMs() const { return dueInMs(Clock::now()); }
  int dueInMs(Clock::time_point now) const;
  // The sleep time the brick last reported, in milliseconds (0 before the first reply).
  std::uint32_t sleepTimeMs() const { return sleepMs; }
  int periodMs() const;

  // When the brick reports no sleep time (0), KEEPALIVE goes this often anyway.
  static constexpr int kDefaultPeriodMs = 60000;

 private:
  Comm::SerialCommunication* link;
  int fixedPeriodMs;
  std::uint32_t sleepMs = 0;
  bool started = false;
  Clock::time_point next;
};

}  // namespace Lib
}  // namespace Brick

#endif
