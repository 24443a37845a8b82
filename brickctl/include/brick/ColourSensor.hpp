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
///
/// Brick::colourSensor() starts it telling colours apart (Mode::Colour, its lamps cycling);
/// mode() switches it to measure the light under one lamp, or the light about it, as level().
/// (A third-party sensor giving RGB levels is brick::RgbColourSensor.)

class BRICKCTL_API ColourSensor {
 public:
  /// @brief What the sensor measures: the brick's firmware switches its lamps to suit.
  enum class Mode {
    Colour,   ///< the colour under it, its lamps cycling: colour()
    Red,      ///< the light reflected under its red lamp: level()
    Green,    ///< the light reflected under its green lamp: level()
    Blue,     ///< the light reflected under its blue lamp: level()
    Ambient,  ///< the light about it, its lamps off: level()
  };

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

  /// @brief Sets the input up for `mode` (one SETINPUTMODE).
  /// @param mode what to measure.
  /// @throws brick::Error Errc::bad_value for a mode not named above, a link failure, or the
  /// brick's refusal.
  void mode(Mode mode) {
    std::error_code ec;
    this->mode(mode, ec);
    Error::throwIf(ec, "brick::ColourSensor::mode");
  }
  /// @brief Same as mode(Mode), setting `ec` instead of throwing.
  /// @param mode what to measure.
  /// @param ec cleared on success, else the failure.
  void mode(Mode mode, std::error_code& ec) noexcept;

  /// @brief The light level in a lamp's or the ambient mode.
  /// @return 0 to 1023, the raw reading as the brick's firmware gives it (compare readings of
  /// one sensor; the scale's direction and span differ between sensors).
  /// @throws brick::Error a link failure, or the brick's refusal.
  int level() {
    std::error_code ec;
    int value = level(ec);
    Error::throwIf(ec, "brick::ColourSensor::level");
    return value;
  }
  /// @brief Same as level(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return 0 to 1023; 0 when `ec` is set.
  int level(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  ColourSensor(Comm::SerialCommunication* link, Input input) noexcept : link(link), where(input) {}

  Comm::SerialCommunication* link;
  Input where;
};

}  // namespace brick

#endif
