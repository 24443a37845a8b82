#include "brick/EventWatcher.hpp"

#include <optional>
#include <utility>

#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/EventWatcher.h"

namespace brick {

using detail::inRange;
using detail::setOutcome;
using detail::usable;
using Underneath = ::Brick::Lib::EventWatcher;

namespace {

const std::chrono::hours kLongestStall(1);

// A kind underneath as this API names it; each named, so that neither order can slip.
Event::Kind kindOf(Underneath::Kind kind) {
  switch (kind) {
    case Underneath::Kind::Pressed:
      return Event::Kind::pressed;
    case Underneath::Kind::Released:
      return Event::Kind::released;
    case Underneath::Kind::Near:
      return Event::Kind::near;
    case Underneath::Kind::Far:
      return Event::Kind::far;
    case Underneath::Kind::Dark:
      return Event::Kind::dark;
    case Underneath::Kind::Bright:
      return Event::Kind::bright;
    case Underneath::Kind::MotorDone:
      return Event::Kind::motor_done;
    case Underneath::Kind::MotorStalled:
      return Event::Kind::motor_stalled;
    case Underneath::Kind::BrickLost:
      break;
  }
  return Event::Kind::brick_lost;
}

// The event underneath, its port typed by what it concerns.
Event typed(const Underneath::Event& e) {
  Event out;
  out.value = e.value;
  out.time = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::duration<double>(e.seconds));
  out.kind = kindOf(e.kind);
  if (out.kind == Event::Kind::brick_lost) {
    setOutcome(out.error, e.value);
    out.value = 0;
  } else if (out.kind == Event::Kind::motor_done || out.kind == Event::Kind::motor_stalled) {
    out.port = static_cast<Port>(e.port);
  } else {
    out.input = static_cast<Input>(e.port);
  }
  return out;
}

}  // namespace

struct EventWatcher::Impl {
  explicit Impl(Comm::SerialCommunication& link) : link(&link), watcher(link) {}

  Comm::SerialCommunication* link;
  Underneath watcher;
  std::function<void(const Event&)> callback;
};

EventWatcher::EventWatcher(Brick& brick) {
  if (brick.connection() != nullptr) {
    impl = std::make_unique<Impl>(*brick.connection());
  }
}

EventWatcher::EventWatcher(EventWatcher&& other) noexcept = default;
EventWatcher& EventWatcher::operator=(EventWatcher&& other) noexcept = default;
EventWatcher::~EventWatcher() = default;

void EventWatcher::watchTouch(Input input, std::error_code& ec) noexcept {
  if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else if (usable(impl->link, ec)) {
    setOutcome(ec, impl->watcher.watchTouch(static_cast<int>(input)));
  }
}

void EventWatcher::watchDistance(Input input, int cm, int hysteresisCm,
                                 std::error_code& ec) noexcept {
  if (!inRange(cm, 1, 255) || !inRange(hysteresisCm, 0, 255)) {
    ec = make_error_code(Errc::bad_value);
  } else if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else if (usable(impl->link, ec)) {
    setOutcome(ec, impl->watcher.watchDistance(static_cast<int>(input), cm, hysteresisCm));
  }
}

void EventWatcher::watchLight(Input input, int threshold, int hysteresis,
                              std::error_code& ec) noexcept {
  if (!inRange(threshold, 1, 100) || !inRange(hysteresis, 0, 100)) {
    ec = make_error_code(Errc::bad_value);
  } else if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else if (usable(impl->link, ec)) {
    setOutcome(ec, impl->watcher.watchLight(static_cast<int>(input), threshold, hysteresis));
  }
}

void EventWatcher::watchMotor(Port port, std::error_code& ec) noexcept {
  if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else {
    impl->watcher.watchMotor(static_cast<int>(port));
    ec.clear();
  }
}

void EventWatcher::poll(std::error_code& ec) noexcept {
  if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else if (impl->watcher.lost()) {
    ec.clear();  // said once, by the poll that lost the brick
  } else {
    // A closed brick is polled all the same: its failure is the lost brick's event.
    setOutcome(ec, impl->watcher.poll());
  }
}

std::optional<Event> EventWatcher::next() noexcept {
  Underneath::Event e;
  if (impl == nullptr || !impl->watcher.next(e)) {
    return std::nullopt;
  }
  return typed(e);
}

std::size_t EventWatcher::pending() const noexcept {
  return impl == nullptr ? 0 : impl->watcher.pending();
}

void EventWatcher::onEvent(std::function<void(const Event&)> callback) {
  if (impl == nullptr) {
    return;
  }
  impl->callback = std::move(callback);
  if (impl->callback) {
    Impl* self = impl.get();  // stays where it is when the watcher moves
    impl->watcher.onEvent = [self](const Underneath::Event& e) { self->callback(typed(e)); };
  } else {
    impl->watcher.onEvent = nullptr;
  }
}

bool EventWatcher::lost() const noexcept {
  return impl != nullptr && impl->watcher.lost();
}

std::chrono::milliseconds EventWatcher::stallTime() const noexcept {
  return std::chrono::milliseconds(impl == nullptr ? 300 : impl->watcher.stallMs);
}

void EventWatcher::setStallTime(std::chrono::milliseconds time, std::error_code& ec) noexcept {
  if (time < std::chrono::milliseconds(1) || time > kLongestStall) {
    ec = make_error_code(Errc::bad_value);
  } else if (impl == nullptr) {
    ec = make_error_code(Errc::not_open);
  } else {
    impl->watcher.stallMs = static_cast<int>(time.count());
    ec.clear();
  }
}

}  // namespace brick
