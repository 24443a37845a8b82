/// @file
/// @brief brick::IrSeeker, an infrared seeker on an input.
#ifndef BRICK_IRSEEKER_HPP
#define BRICK_IRSEEKER_HPP

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/HtIrSeeker.h"
#include "brick/Input.hpp"

namespace brick {

class Brick;

/// @brief The HiTechnic IR seeker (version 2) on an input: the direction of an infrared source
/// in nine zones and the strength each of its five detectors sees.
///
/// Modulated (AC) readings see only an IR ball or beacon, tuned to band(); unmodulated (DC) ones
/// any infrared light, the sun's too. Made from a brick::Brick, sending nothing; its first
/// operation sets the input up for the sensor's bus and identifies the device, unless setUp()
/// did. Another device there is refused with Errc::wrong_device, and problem() (and the
/// exception's what()) names what answered. Copy it freely; use a handle from one thread at a
/// time, and only while its brick is open.
class BRICKCTL_API IrSeeker {
 public:
  /// @brief One reading.
  struct Reading {
    int zone = 0;                   ///< 0 no signal; 1 far left, 5 straight ahead, 9 far right
    std::array<int, 5> strength{};  ///< each detector's strength, left to right, 0 to 255
    int mean = 0;                   ///< dc() only: the sensor's own average strength
  };
  /// @brief The modulation ac() readings are tuned to.
  enum class Band {
    Hz1200,  ///< 1200 Hz, the IR ball's (the sensor's default)
    Hz600,   ///< 600 Hz
  };

  /// @brief The seeker on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  IrSeeker(Brick& brick, Input input);

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
    Error::throwIf(ec, "brick::IrSeeker::setUp", problem());
  }
  /// @brief Same as setUp(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param powerUp how long the sensor takes to start.
  /// @param ec cleared on success, else the failure.
  void setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept;

  /// @brief A modulated (AC) reading: only a source blinking at band()'s rate.
  /// @return the zone and strengths (mean 0).
  /// @throws brick::Error as setUp() does, or a link failure.
  Reading ac() {
    std::error_code ec;
    Reading value = ac(ec);
    Error::throwIf(ec, "brick::IrSeeker::ac", problem());
    return value;
  }
  /// @brief Same as ac(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the reading; all 0 when `ec` is set.
  Reading ac(std::error_code& ec) noexcept;

  /// @brief An unmodulated (DC) reading: any infrared light.
  /// @return the zone, strengths and mean.
  /// @throws brick::Error as setUp() does, or a link failure.
  Reading dc() {
    std::error_code ec;
    Reading value = dc(ec);
    Error::throwIf(ec, "brick::IrSeeker::dc", problem());
    return value;
  }
  /// @brief Same as dc(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the reading; all 0 when `ec` is set.
  Reading dc(std::error_code& ec) noexcept;

  /// @brief Tunes the modulated readings to `band`; the sensor keeps it until it loses power.
  /// @param band the modulation.
  /// @throws brick::Error Errc::bad_value for a band not named above, as setUp() does, or a
  /// link failure.
  void band(Band band) {
    std::error_code ec;
    this->band(band, ec);
    Error::throwIf(ec, "brick::IrSeeker::band", problem());
  }
  /// @brief Same as band(Band), setting `ec` instead of throwing.
  /// @param band the modulation.
  /// @param ec cleared on success, else the failure.
  void band(Band band, std::error_code& ec) noexcept;

  /// @brief Why the device was refused, in a sentence naming what answered; empty when it was
  /// not.
  /// @return the sentence.
  std::string problem() const { return driver ? driver->problem() : std::string(); }

 private:
  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::HtIrSeeker> driver;
  bool ready = false;
};

}  // namespace brick

#endif
