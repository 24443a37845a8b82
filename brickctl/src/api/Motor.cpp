#include "brick/Motor.hpp"

#include <algorithm>
#include <climits>

#include "Outcome.h"
#include "brick/Output.h"

namespace brick {

using ::Brick::Lib::Output;
using detail::inRange;
using detail::setOutcome;
using detail::usable;

namespace {

// Output counts the poll interval and the time-out in int milliseconds.
const int kPollMs = 20;

int milliseconds(std::chrono::milliseconds timeout) {
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX));
}

}  // namespace

void Motor::run(int power, std::error_code& ec) noexcept {
  if (!inRange(power, -100, 100)) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(ec, Output(*link, static_cast<int>(where)).runRegulated(power, 0, true));
  }
}

void Motor::turn(int power, long degrees, std::error_code& ec) noexcept {
  if (!inRange(power, -100, 100) || !inRange(degrees, 1, LONG_MAX) || degrees > UINT32_MAX) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(ec, Output(*link, static_cast<int>(where))
                       .runRegulated(power, static_cast<std::uint32_t>(degrees), true));
  }
}

void Motor::stop(bool brake, std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, Output(*link, static_cast<int>(where)).stop(brake));
  }
}

bool Motor::wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return false;
  }
  long code =
      Output(*link, static_cast<int>(where)).waitUntilFinished(milliseconds(timeout), kPollMs);
  if (code == ::Brick::Lib::kBrickWaitTimeout) {
    ec.clear();
    return false;
  }
  setOutcome(ec, code);
  return !ec;
}

long Motor::position(std::error_code& ec) noexcept {
  if (!usable(link, ec)) {
    return 0;
  }
  Output::State state;
  setOutcome(ec, Output(*link, static_cast<int>(where)).getState(state));
  return ec ? 0 : state.rotationCount;
}

void Motor::resetPosition(std::error_code& ec) noexcept {
  if (usable(link, ec)) {
    setOutcome(ec, Output(*link, static_cast<int>(where)).resetPosition(false));
  }
}

}  // namespace brick
