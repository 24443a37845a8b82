#include "brick/KeepAlive.h"

#include "brick/Block.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"

namespace Brick {
namespace Lib {

KeepAlive::KeepAlive(Block& block, int period) : KeepAlive(block.getCommunication(), period) {}
KeepAlive::KeepAlive(Comm::SerialCommunication& l, int period)
    : link(&l), fixedPeriodMs(period > 0 ? period : 0) {}

int KeepAlive::periodMs() const {
  if (fixedPeriodMs > 0) {
    return fixedPeriodMs;
  }
  if (sleepMs == 0) {
    return kDefaultPeriodMs;
  }
  std::uint32_t third = sleepMs / 3;
  return third < 1 ? 1 : (third > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(third));
}

long KeepAlive::sendNow() {
  std::uint32_t reported = 0;
  long code = BrickInfo(*link).keepAlive(reported);
  if (code == kBrickOk) {
    sleepMs = reported;
  }
  return code;
}

long KeepAlive::tick(Clock::time_point now) {
  if (started && now < next) {
    return kBrickOk;
  }
  long code = sendNow();
  started = true;
  // A failed one is tried again on the next tick; a brick that answered is good for a period.
  next = code == kBrickOk ? now + std::chrono::milliseconds(periodMs()) : now;
  return code;
}

int KeepAlive::dueInMs(Clock::time_point now) const {
  if (!started || now >= next) {
    return 0;
  }
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
  return static_cast<int>(ms) + 1;
}

}  // namespace Lib
}  // namespace Brick
