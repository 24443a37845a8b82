/// @file
/// @brief brick::UltrasonicSensor, an ultrasonic distance sensor.
#ifndef BRICK_ULTRASONICSENSOR_HPP
#define BRICK_ULTRASONICSENSOR_HPP

#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief An ultrasonic distance sensor, got from Brick::ultrasonicSensor() (which sets the input
/// up for it). A small handle: copy it freely, but use it only while its brick::Brick is open.
///
/// A reading is several exchanges: the brick asks the sensor over its bus and the library
/// polls until the answer is there, within Comm::kUltrasonicTimeoutMs (Errc::wait_timeout).
class BRICKCTL_API UltrasonicSensor {
 public:
  /// @brief What centimetres() gives when nothing echoes within the sensor's range.
  static constexpr int noEcho = 255;

  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief The distance to what is ahead, in centimetres: 0 to 254, or noEcho.
  /// @return The distance to what is ahead, in centimetres: 0 to 254, or noEcho.
  /// @throws brick::Error a link failure, or the brick's refusal.
  int centimetres() {
    std::error_code ec;
    int value = centimetres(ec);
    Error::throwIf(ec, "brick::UltrasonicSensor::centimetres");
    return value;
  }
  /// @brief Same as centimetres(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return The distance to what is ahead, in centimetres: 0 to 254, or noEcho; 0 when `ec` is
  /// set.
  int centimetres(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  UltrasonicSensor(Comm::SerialCommunication* link, Input input) noexcept
      : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
