/// @file
/// @brief brick::TouchSensor, a touch sensor.
#ifndef BRICK_TOUCHSENSOR_HPP
#define BRICK_TOUCHSENSOR_HPP

#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief A touch sensor, got from Brick::touchSensor() (which sets the input up for it). A small
/// handle: copy it freely, but use it only while its brick::Brick is open.

class BRICKCTL_API TouchSensor {
 public:
  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief Whether the sensor is pressed.
  /// @return Whether the sensor is pressed.
  /// @throws brick::Error a link failure, or the brick's refusal.
  bool pressed() {
    std::error_code ec;
    bool value = pressed(ec);
    Error::throwIf(ec, "brick::TouchSensor::pressed");
    return value;
  }
  /// @brief Same as pressed(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return Whether the sensor is pressed; false when `ec` is set.
  bool pressed(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  TouchSensor(Comm::SerialCommunication* link, Input input) noexcept : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
