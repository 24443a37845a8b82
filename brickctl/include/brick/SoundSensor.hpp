/// @file
/// @brief brick::SoundSensor, a sound sensor.
#ifndef BRICK_SOUNDSENSOR_HPP
#define BRICK_SOUNDSENSOR_HPP

#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief A sound sensor, got from Brick::soundSensor() (which sets the input up for it). A small
/// handle: copy it freely, but use it only while its brick::Brick is open.

class BRICKCTL_API SoundSensor {
 public:
  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief The loudness the sensor hears, 0 (quiet) to 100 (loud).
  /// @return The loudness the sensor hears, 0 (quiet) to 100 (loud).
  /// @throws brick::Error a link failure, or the brick's refusal.
  int percent() {
    std::error_code ec;
    int value = percent(ec);
    Error::throwIf(ec, "brick::SoundSensor::percent");
    return value;
  }
  /// @brief Same as percent(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return The loudness the sensor hears, 0 (quiet) to 100 (loud); 0 when `ec` is set.
  int percent(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  SoundSensor(Comm::SerialCommunication* link, Input input) noexcept : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
