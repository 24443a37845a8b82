/// @file
/// @brief brick::RgbColourSensor, a digital colour sensor giving a colour number and RGB levels.
#ifndef BRICK_RGBCOLOURSENSOR_HPP
#define BRICK_RGBCOLOURSENSOR_HPP

#include <chrono>
#include <optional>
#include <string>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/HtColorSensor.h"
#include "brick/Input.hpp"

namespace brick {

class Brick;

/// @brief The HiTechnic colour sensor (version 2) on an input: a colour number 0 to 17 and the
/// red, green, blue and white levels it sees.
///
/// In its active mode (the default) it lights the surface with its own white lamp and cancels
/// the light about it: read() gives the colour number and 8-bit levels. Its passive mode (lamp
/// off) and raw mode (lamp on, nothing cancelled) give 16-bit levels(). (The brick maker's own
/// colour sensor is brick::ColourSensor.) Made from a brick::Brick, sending nothing; its first
/// operation sets the input up for the sensor's bus and identifies the device, unless setUp()
/// did. Another device there is refused with Errc::wrong_device, and problem() (and the
/// exception's what()) names what answered. Copy it freely; use a handle from one thread at a
/// time, and only while its brick is open.
class BRICKCTL_API RgbColourSensor {
 public:
  /// @brief What read() gives in the active mode.
  struct Reading {
    int number = 0;     ///< 0 black, 1 violet, ... 8 red, ... 17 white (docs/sensors.md)
    int red = 0;        ///< 0 to 255
    int green = 0;      ///< 0 to 255
    int blue = 0;       ///< 0 to 255
    int white = 0;      ///< 0 to 255
    int index = 0;      ///< 6 bits: 2 each for red, green and blue
    int normRed = 0;    ///< red scaled so that the largest of the three is 255
    int normGreen = 0;  ///< green scaled so that the largest of the three is 255
    int normBlue = 0;   ///< blue scaled so that the largest of the three is 255
  };
  /// @brief What levels() gives in the passive and raw modes, 0 to 65535 each.
  struct Levels {
    int red = 0;    ///< red
    int green = 0;  ///< green
    int blue = 0;   ///< blue
    int white = 0;  ///< white (no filter)
  };
  /// @brief How the sensor measures.
  enum class Mode {
    Active,   ///< its lamp on, the light about it cancelled: read()
    Passive,  ///< its lamp off, the light about it: levels()
    Raw,      ///< its lamp on, nothing cancelled: levels()
  };

  /// @brief The colour sensor on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  RgbColourSensor(Brick& brick, Input input);

  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief Sets the input up for the sensor's bus, waits `powerUp` for the sensor to start,
  /// and identifies it.
  /// @param powerUp how long the sensor takes to start; 100 ms is enough for the family.
  /// @throws brick::Error Errc::wrong_device when another device answers, Errc::bus_error when
  /// none does, a link failure, or the brick's refusal.
  void setUp(std::chrono::milliseconds powerUp = std::chrono::milliseconds(100)) {
    std::error_code ec;
    setUp(powerUp, ec);
    Error::throwIf(ec, "brick::RgbColourSensor::setUp", problem());
  }
  /// @brief Same as setUp(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param powerUp how long the sensor takes to start.
  /// @param ec cleared on success, else the failure.
  void setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept;

  /// @brief Switches the sensor's mode; it keeps it until it loses power.
  /// @param mode the mode.
  /// @throws brick::Error Errc::bad_value for a mode not named above, as setUp() does, or a
  /// link failure.
  void mode(Mode mode) {
    std::error_code ec;
    this->mode(mode, ec);
    Error::throwIf(ec, "brick::RgbColourSensor::mode", problem());
  }
  /// @brief Same as mode(Mode), setting `ec` instead of throwing.
  /// @param mode the mode.
  /// @param ec cleared on success, else the failure.
  void mode(Mode mode, std::error_code& ec) noexcept;

  /// @brief The colour number and levels, in the active mode.
  /// @return the reading.
  /// @throws brick::Error as setUp() does, or a link failure.
  Reading read() {
    std::error_code ec;
    Reading value = read(ec);
    Error::throwIf(ec, "brick::RgbColourSensor::read", problem());
    return value;
  }
  /// @brief Same as read(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the reading; all 0 when `ec` is set.
  Reading read(std::error_code& ec) noexcept;

  /// @brief The 16-bit levels, in the passive or raw mode.
  /// @return the levels.
  /// @throws brick::Error as setUp() does, or a link failure.
  Levels levels() {
    std::error_code ec;
    Levels value = levels(ec);
    Error::throwIf(ec, "brick::RgbColourSensor::levels", problem());
    return value;
  }
  /// @brief Same as levels(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the levels; all 0 when `ec` is set.
  Levels levels(std::error_code& ec) noexcept;

  /// @brief Why the device was refused, in a sentence naming what answered; empty when it was
  /// not.
  /// @return the sentence.
  std::string problem() const { return driver ? driver->problem() : std::string(); }

 private:
  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::HtColorSensor> driver;
  bool ready = false;
};

}  // namespace brick

#endif
