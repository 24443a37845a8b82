#include "brick/KeepAlive.hpp"

#include <algorithm>
#include <limits>

#include "Outcome.h"
#include "brick/Brick.hpp"

namespace brick {

namespace {

// What a keep-alive of a moved-from brick sends through: a link never opened, so every tick
// reports not_open.
Comm::SerialCommunication& linkOf(Brick& brick) {
  static Comm::SerialCommunication none;
  return brick.connection() != nullptr ? *brick.connection() : none;
}

}  // namespace

KeepAlive::KeepAlive(Brick& brick, std::chrono::milliseconds period)
    : timer(linkOf(brick), static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
                               period.count(), 0, std::numeric_limits<int>::max()))) {}

void KeepAlive::tick(std::error_code& ec) noexcept {
  long code = timer.tick();
  if (code == Comm::kLinkNotOpen) {
    ec = make_error_code(Errc::not_open);
  } else {
    detail::setOutcome(ec, code);
  }
}

std::chrono::milliseconds KeepAlive::dueIn() const noexcept {
  return std::chrono::milliseconds(timer.dueInMs());
}

std::chrono::milliseconds KeepAlive::sleepTime() const noexcept {
  return std::chrono::milliseconds(timer.sleepTimeMs());
}

}  // namespace brick
