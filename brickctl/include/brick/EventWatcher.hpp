/// @file
/// @brief brick::EventWatcher, the brick's sensors and motors watched for changes.
#ifndef BRICK_EVENTWATCHER_HPP
#define BRICK_EVENTWATCHER_HPP

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Event.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"
#include "brick/Port.hpp"

namespace brick {

class Brick;

/// @brief Turns what a program watches on a brick into brick::Event values: a touch sensor
/// pressed or released, a distance or a light level crossing a threshold, a motor ending its
/// move or stalling, the brick lost.
///
/// The program names what to watch, then calls poll() from its own loop (the library starts no
/// thread: docs/threads.md). Each poll reads every watched input and motor once, in one batch,
/// and queues an event for each change, which next() hands out in order and the callback set
/// with onEvent() receives as it happens. A change is seen when it lasts from one poll to the
/// next: a press shorter than the poll period can pass unseen, a longer one is never lost.
/// Crossings have a hysteresis, so a reading that wavers at its threshold does not chatter.
///
/// Move-only. Use it only while its brick::Brick is open; one thread polls it.
class BRICKCTL_API EventWatcher {
 public:
  /// @brief A watcher of nothing yet; sends nothing. Events' times count from here.
  /// @param brick the brick to watch. With a moved-from one every call sets Errc::not_open;
  /// with a closed one the watch calls do, and the first poll() reports the brick lost.
  explicit EventWatcher(Brick& brick);
  /// @brief Takes over `other`'s watches, events and callback; `other` is left unusable.
  /// @param other the watcher to take over.
  EventWatcher(EventWatcher&& other) noexcept;
  /// @brief Takes over `other`'s watches, events and callback; `other` is left unusable.
  /// @param other the watcher to take over.
  /// @return this watcher.
  EventWatcher& operator=(EventWatcher&& other) noexcept;
  /// @brief Not copyable: the events are handed out once.
  EventWatcher(const EventWatcher&) = delete;
  /// @brief Not copyable: the events are handed out once.
  /// @return never.
  EventWatcher& operator=(const EventWatcher&) = delete;
  /// @brief Forgets the watches; sends nothing.
  ~EventWatcher();

  /// @brief Sets `input` up for a touch sensor and watches it: Event::Kind::pressed and
  /// Event::Kind::released.
  /// @param input the sensor's input.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void watchTouch(Input input) {
    std::error_code ec;
    watchTouch(input, ec);
    Error::throwIf(ec, "brick::EventWatcher::watchTouch");
  }
  /// @brief Same as watchTouch(Input), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param ec cleared on success, else the failure.
  void watchTouch(Input input, std::error_code& ec) noexcept;

  /// @brief Sets `input` up for an ultrasonic sensor and watches it: Event::Kind::near when the
  /// distance falls below `cm`, Event::Kind::far when it is back at `cm` + `hysteresisCm`.
  /// @param input the sensor's input.
  /// @param cm the threshold, 1 to 255 centimetres.
  /// @param hysteresisCm 0 to 255 centimetres.
  /// @throws brick::Error Errc::bad_value for a threshold or hysteresis out of range (nothing
  /// is sent), a link failure, or the brick's refusal.
  void watchDistance(Input input, int cm, int hysteresisCm = 3) {
    std::error_code ec;
    watchDistance(input, cm, hysteresisCm, ec);
    Error::throwIf(ec, "brick::EventWatcher::watchDistance");
  }
  /// @brief Same as watchDistance(Input, int, int), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param cm the threshold, 1 to 255 centimetres.
  /// @param hysteresisCm 0 to 255 centimetres.
  /// @param ec cleared on success, else the failure.
  void watchDistance(Input input, int cm, int hysteresisCm, std::error_code& ec) noexcept;

  /// @brief Sets `input` up for a light sensor (its lamp lit) and watches it:
  /// Event::Kind::dark when the level falls below `threshold`, Event::Kind::bright when it is
  /// back at `threshold` + `hysteresis`.
  /// @param input the sensor's input.
  /// @param threshold 1 to 100 percent.
  /// @param hysteresis 0 to 100 percent.
  /// @throws brick::Error Errc::bad_value for a threshold or hysteresis out of range (nothing
  /// is sent), a link failure, or the brick's refusal.
  void watchLight(Input input, int threshold, int hysteresis = 4) {
    std::error_code ec;
    watchLight(input, threshold, hysteresis, ec);
    Error::throwIf(ec, "brick::EventWatcher::watchLight");
  }
  /// @brief Same as watchLight(Input, int, int), setting `ec` instead of throwing.
  /// @param input the sensor's input.
  /// @param threshold 1 to 100 percent.
  /// @param hysteresis 0 to 100 percent.
  /// @param ec cleared on success, else the failure.
  void watchLight(Input input, int threshold, int hysteresis, std::error_code& ec) noexcept;

  /// @brief Watches the motor on `port`: Event::Kind::motor_done when its move ends,
  /// Event::Kind::motor_stalled when it has not turned under power for stallTime(). Sends
  /// nothing.
  /// @param port the motor's output.
  /// @throws brick::Error Errc::not_open for a watcher without a brick.
  void watchMotor(Port port) {
    std::error_code ec;
    watchMotor(port, ec);
    Error::throwIf(ec, "brick::EventWatcher::watchMotor");
  }
  /// @brief Same as watchMotor(Port), setting `ec` instead of throwing.
  /// @param port the motor's output.
  /// @param ec cleared on success, else the failure.
  void watchMotor(Port port, std::error_code& ec) noexcept;

  /// @brief Reads everything watched once, in one batch, and queues the events it finds. When
  /// the link fails, queues Event::Kind::brick_lost and reports the failure, once: later polls
  /// send nothing and succeed.
  /// @throws brick::Error the link failure that lost the brick. A brick that refuses one
  /// reading still answers: that is no failure.
  void poll() {
    std::error_code ec;
    poll(ec);
    Error::throwIf(ec, "brick::EventWatcher::poll");
  }
  /// @brief Same as poll(), setting `ec` instead of throwing.
  /// @param ec cleared unless the link failed in this poll.
  void poll(std::error_code& ec) noexcept;

  /// @brief Hands out the oldest event not handed out yet.
  /// @return the event, or nothing when none is waiting.
  std::optional<Event> next() noexcept;
  /// @brief How many events wait to be handed out.
  /// @return the count.
  std::size_t pending() const noexcept;

  /// @brief Has `callback` called for each event as poll() finds it, besides queueing it; an
  /// empty function calls nothing. It runs in the thread that polls, and must not throw.
  /// @param callback what to call.
  void onEvent(std::function<void(const Event&)> callback);

  /// @brief Whether the link has failed: nothing more is polled.
  /// @return true after Event::Kind::brick_lost.
  bool lost() const noexcept;

  /// @brief How long a motor under power must stand still to count as stalled.
  /// @return the time; 300 ms unless set.
  std::chrono::milliseconds stallTime() const noexcept;
  /// @brief Sets how long a motor under power must stand still to count as stalled.
  /// @param time 1 ms to 1 hour.
  /// @throws brick::Error Errc::bad_value for a time out of range.
  void setStallTime(std::chrono::milliseconds time) {
    std::error_code ec;
    setStallTime(time, ec);
    Error::throwIf(ec, "brick::EventWatcher::setStallTime");
  }
  /// @brief Same as setStallTime(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param time 1 ms to 1 hour.
  /// @param ec cleared on success, else Errc::bad_value.
  void setStallTime(std::chrono::milliseconds time, std::error_code& ec) noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brick

#endif
