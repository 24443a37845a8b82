#include "brick/MotorPair.hpp"

#include <algorithm>
#include <climits>

#include "Outcome.h"
#include "brick/SyncDrive.h"

namespace brick {

using ::Brick::Lib::SyncDrive;
using detail::inRange;
using detail::setOutcome;
using detail::usable;

namespace {

const int kPollMs = 20;

SyncDrive drive(Comm::SerialCommunication& link, Port one, Port two) {
  return SyncDrive(link, static_cast<int>(one), static_cast<int>(two));
}

}  // namespace

void MotorPair::run(int power, int turnRatio, std::error_code& ec) noexcept {
  if (!inRange(power, -100, 100) || !inRange(turnRatio, -100, 100)) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(ec, drive(*link, one, two).drive(power, turnRatio, 0, true));
  }
}

void MotorPair::turn(int power, long degrees, int turnRatio, std::error_code& ec) noexcept {
  if (!inRange(power, -100, 100) || !inRange(turnRatio, -100, 100) ||
      !inRange(degrees, 1, LONG_MAX) || degrees > UINT32_MAX) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(
        ec,
        drive(*link, one, two).drive(power, turnRatio, static_cast<std::uint32_t>(degrees), true));
  }
}

void MotorPair::stop(bool brake, std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, drive(*link, one, two).stop(brake));
  }
}

bool MotorPair::wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return false;
  }
  auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX);
  long code = drive(*link, one, two).waitUntilFinished(static_cast<int>(ms), kPollMs);
  if (code == ::Brick::Lib::kBrickWaitTimeout) {
    ec.clear();
    return false;
  }
  setOutcome(ec, code);
  return !ec;
}

}  // namespace brick
