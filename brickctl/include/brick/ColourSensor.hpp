/// @file
/// @brief brick::ColourSensor, a colour sensor.
#ifndef BRICK_COLOURSENSOR_HPP
#define BRICK_COLOURSENSOR_HPP

#include <system_error>
#include "brick/Colour.hpp"
#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief A colour sensor, got from Brick::colourSensor() (which sets the input up for it). A small
/// handle: copy it freely, but use it only while its brick::Brick is open.

class BRICKCTL_API ColourSensor {
 public:
  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief The colour in front of the sensor.
  /// @return The colour in front of the sensor.
  /// @throws brick::Error a link failure, or the brick's refusal.
  Colour colour() {
    std::error_code ec;
    Colour value = colour(ec);
    Error::throwIf(ec, "brick::ColourSensor::colour");
    return value;
  }
  /// @brief Same as colour(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return The colour in front of the sensor; Colour::None when `ec` is set.
  Colour colour(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  ColourSensor(Comm::SerialCommunication* link, Input input) noexcept : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
