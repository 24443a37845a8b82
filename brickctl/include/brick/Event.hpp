/// @file
/// @brief brick::Event, a change brick::EventWatcher saw.
#ifndef BRICK_EVENT_HPP
#define BRICK_EVENT_HPP

#include <chrono>
#include <optional>
#include <system_error>

#include "brick/Input.hpp"
#include "brick/Port.hpp"

namespace brick {

/// @brief A change brick::EventWatcher saw on the brick: what happened, where, the reading
/// that told it, and when.
///
/// A sensor's event names its input, a motor's its port; brick_lost names neither and carries
/// the link's failure instead.
struct Event {
  /// @brief What happened.
  enum class Kind {
    pressed,        ///< a touch sensor closed
    released,       ///< a touch sensor opened again
    near,           ///< a distance fell below its threshold
    far,            ///< a distance rose back to threshold + hysteresis
    dark,           ///< a light level fell below its threshold
    bright,         ///< a light level rose back to threshold + hysteresis
    motor_done,     ///< a motor's move ended (idle, at its limit, or held)
    motor_stalled,  ///< a motor under power has not turned for the watcher's stall time
    brick_lost,     ///< the link failed; the watcher polls no more
  };

  Kind kind = Kind::brick_lost;  ///< what happened
  std::optional<Input> input;    ///< the sensor's input; empty for a motor's event and brick_lost
  std::optional<Port> port;      ///< the motor's port; empty for a sensor's event and brick_lost
  /// The reading that made it: 1 pressed or 0 released, centimetres, the light level in
  /// percent, the motor's tacho count in degrees; 0 for brick_lost.
  int value = 0;
  /// When the poll that saw it ran, from the moment the watcher was made.
  std::chrono::microseconds time{0};
  std::error_code error;  ///< for brick_lost, the link's failure; clear otherwise
};

}  // namespace brick

#endif
