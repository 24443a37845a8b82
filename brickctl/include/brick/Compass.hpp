/// @file
/// @brief brick::Compass, a digital compass on an input.
#ifndef BRICK_COMPASS_HPP
#define BRICK_COMPASS_HPP

#include <chrono>
#include <optional>
#include <string>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/HtCompass.h"
#include "brick/Input.hpp"

namespace brick {

class Brick;

/// @brief The HiTechnic compass on an input: the heading from magnetic north in degrees, and its
/// hard-iron calibration.
///
/// Made from a brick::Brick, sending nothing; its first operation sets the input up for the
/// sensor's bus (9 V, waiting for it to power up) and identifies the device, unless setUp() did.
/// Another device there is refused with Errc::wrong_device, and problem() (and the exception's
/// what()) names what answered. Copy it freely, each copy identifying the device once; use a
/// handle from one thread at a time, and only while its brick is open.
class BRICKCTL_API Compass {
 public:
  /// @brief The compass on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  Compass(Brick& brick, Input input);

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
    Error::throwIf(ec, "brick::Compass::setUp", problem());
  }
  /// @brief Same as setUp(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param powerUp how long the sensor takes to start.
  /// @param ec cleared on success, else the failure.
  void setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept;

  /// @brief The heading: degrees from magnetic north, 0 to 359, growing clockwise seen from
  /// above.
  /// @return the heading in degrees.
  /// @throws brick::Error as setUp() does, or a link failure.
  int degrees() {
    std::error_code ec;
    int value = degrees(ec);
    Error::throwIf(ec, "brick::Compass::degrees", problem());
    return value;
  }
  /// @brief Same as degrees(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the heading in degrees; 0 when `ec` is set.
  int degrees(std::error_code& ec) noexcept;

  /// @brief Starts the calibration: turn the sensor slowly through a full circle or two, then
  /// call endCalibration(). The heading stays as it was meanwhile.
  /// @throws brick::Error as setUp() does, or a link failure.
  void startCalibration() {
    std::error_code ec;
    startCalibration(ec);
    Error::throwIf(ec, "brick::Compass::startCalibration", problem());
  }
  /// @brief Same as startCalibration(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void startCalibration(std::error_code& ec) noexcept;

  /// @brief Ends the calibration and measures again.
  /// @return true when the sensor took the calibration, false when it rejected it (turned too
  /// little or too fast).
  /// @throws brick::Error as setUp() does, or a link failure.
  bool endCalibration() {
    std::error_code ec;
    bool accepted = endCalibration(ec);
    Error::throwIf(ec, "brick::Compass::endCalibration", problem());
    return accepted;
  }
  /// @brief Same as endCalibration(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return true when the sensor took the calibration; false when `ec` is set.
  bool endCalibration(std::error_code& ec) noexcept;

  /// @brief Why the device was refused, in a sentence naming what answered (e.g. "port 2 holds a
  /// HiTechnc ColorPD, not a HiTechnic compass"); empty when it was not.
  /// @return the sentence.
  std::string problem() const { return driver ? driver->problem() : std::string(); }

 private:
  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::HtCompass> driver;
  bool ready = false;
};

}  // namespace brick

#endif
