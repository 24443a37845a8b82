#include "brick/Pilot.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "../Request.h"
#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/Pilot.h"

namespace brick {

using detail::inRange;
using detail::setOutcome;
using detail::usable;

namespace {

// A wait longer than this is taken as this: the deadline stays within the clock's range.
const std::chrono::hours kLongestWait(24 * 365);
const std::chrono::milliseconds kLongestPollPeriod(10000);

bool finite(double value) {
  return std::isfinite(value);
}

// What the pilot underneath is given; the checks come first, so that a refused configuration
// sends nothing.
std::error_code check(const Pilot::Config& c) {
  if (!finite(c.wheelDiameter) || c.wheelDiameter <= 0 || !finite(c.track) || c.track <= 0 ||
      !inRange(c.power, 1, 100) || !inRange(c.trimPower, 1, 100) ||
      !inRange(c.toleranceDegrees, 0, 360) || !inRange(c.maxTrims, 0, 100) ||
      c.pollPeriod < std::chrono::milliseconds(0) || c.pollPeriod > kLongestPollPeriod) {
    return make_error_code(Errc::bad_value);
  }
  if (c.left == c.right || c.left > Port::C || c.right > Port::C) {
    return make_error_code(Errc::bad_port);
  }
  return {};
}

::Brick::Lib::Pilot::Config libConfig(const Pilot::Config& c) {
  ::Brick::Lib::Pilot::Config out;
  out.wheelDiameter = c.wheelDiameter;
  out.track = c.track;
  out.leftPort = static_cast<int>(c.left);
  out.rightPort = static_cast<int>(c.right);
  out.reversed = c.reversed;
  out.power = c.power;
  out.trimPower = c.trimPower;
  out.toleranceDegrees = c.toleranceDegrees;
  out.maxTrims = c.maxTrims;
  out.pollMs = static_cast<int>(c.pollPeriod.count());
  return out;
}

// A call on the pilot underneath, made once the link can carry it: its code is the outcome.
template <typename Impl, typename Call>
void carry(Impl* impl, std::error_code& ec, Call call) noexcept {
  if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else if (usable(impl->link, ec)) {
    setOutcome(ec, call(impl->pilot));
  }
}

}  // namespace

struct Pilot::Impl {
  Impl(Comm::SerialCommunication& link, const Config& config)
      : link(&link),
        pollMs(static_cast<int>(config.pollPeriod.count())),
        pilot(link, libConfig(config)) {}

  Comm::SerialCommunication* link;
  int pollMs;
  ::Brick::Lib::Pilot pilot;
};

Pilot::Pilot(Brick& brick, const Config& config) {
  std::error_code ec;
  Pilot made(brick, config, ec);
  Error::throwIf(ec, "brick::Pilot::Pilot");
  impl = std::move(made.impl);
}

Pilot::Pilot(Brick& brick, const Config& config, std::error_code& ec) noexcept {
  ec = check(config);
  if (ec) {
    return;
  }
  if (brick.connection() == nullptr) {
    ec = make_error_code(Errc::not_open);
    return;
  }
  try {
    impl.reset(new Impl(*brick.connection(), config));
  } catch (const std::bad_alloc&) {
    ec = std::make_error_code(std::errc::not_enough_memory);
  }
}

Pilot::Pilot(Pilot&& other) noexcept = default;
Pilot& Pilot::operator=(Pilot&& other) noexcept = default;
Pilot::~Pilot() = default;

void Pilot::travel(double cm, Wait wait, std::error_code& ec) noexcept {
  if (!finite(cm)) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  carry(impl.get(), ec, [&](auto& p) { return p.travel(cm, wait == Wait::untilDone); });
}

void Pilot::rotate(double degrees, Wait wait, std::error_code& ec) noexcept {
  if (!finite(degrees)) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  carry(impl.get(), ec, [&](auto& p) { return p.rotate(degrees, wait == Wait::untilDone); });
}

void Pilot::arc(double radius, double degrees, Wait wait, std::error_code& ec) noexcept {
  if (!finite(radius) || !finite(degrees)) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  carry(impl.get(), ec, [&](auto& p) { return p.arc(radius, degrees, wait == Wait::untilDone); });
}

void Pilot::goTo(double x, double y, Wait wait, std::error_code& ec) noexcept {
  if (!finite(x) || !finite(y)) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  carry(impl.get(), ec, [&](auto& p) { return p.goTo(x, y, wait == Wait::untilDone); });
}

void Pilot::stop(std::error_code& ec) noexcept {
  carry(impl.get(), ec, [](auto& p) { return p.stop(); });
}

void Pilot::update(std::error_code& ec) noexcept {
  carry(impl.get(), ec, [](auto& p) { return p.update(); });
}

bool Pilot::wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept {
  if (!impl) {
    ec = make_error_code(Errc::not_open);
    return false;
  }
  if (!usable(impl->link, ec)) {
    return false;
  }
  // Unlike a blocking move, a wait that runs out leaves the wheels turning: the program decides.
  auto until =
      std::chrono::steady_clock::now() +
      std::clamp<std::chrono::milliseconds>(timeout, std::chrono::milliseconds(0), kLongestWait);
  ec.clear();
  while (impl->pilot.moving()) {
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    ::Brick::Lib::detail::pause(impl->pollMs);
    setOutcome(ec, impl->pilot.update());
    if (ec) {
      return false;
    }
  }
  return true;
}

bool Pilot::moving() const noexcept {
  return impl && impl->pilot.moving();
}

Pose Pilot::pose() const noexcept {
  if (!impl) {
    return Pose();
  }
  const ::Brick::Lib::Pose& at = impl->pilot.pose();
  return Pose{at.x, at.y, at.heading};
}

void Pilot::setPose(const Pose& at) noexcept {
  if (impl) {
    impl->pilot.setPose(
        ::Brick::Lib::Pose{at.x, at.y, ::Brick::Lib::normalisedHeading(at.heading)});
  }
}

}  // namespace brick
