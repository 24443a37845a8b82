/// @file
/// @brief brick::LightSensor, a light sensor.
#ifndef BRICK_LIGHTSENSOR_HPP
#define BRICK_LIGHTSENSOR_HPP

#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief A light sensor, got from Brick::lightSensor() (which sets the input up for it). A small
/// handle: copy it freely, but use it only while its brick::Brick is open.

class BRICKCTL_API LightSensor {
 public:
  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief The light the sensor sees, 0 (dark) to 100 (bright).
  /// @return The light the sensor sees, 0 (dark) to 100 (bright).
  /// @throws brick::Error a link failure, or the brick's refusal.
  int percent() {
    std::error_code ec;
    int value = percent(ec);
    Error::throwIf(ec, "brick::LightSensor::percent");
    return value;
  }
  /// @brief Same as percent(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return The light the sensor sees, 0 (dark) to 100 (bright); 0 when `ec` is set.
  int percent(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  LightSensor(Comm::SerialCommunication* link, Input input) noexcept : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
