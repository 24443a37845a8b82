/// @file
/// @brief brick::Accelerometer, a three-axis accelerometer on an input.
#ifndef BRICK_ACCELEROMETER_HPP
#define BRICK_ACCELEROMETER_HPP

#include <chrono>
#include <optional>
#include <string>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/HtAccelerometer.h"
#include "brick/Input.hpp"

namespace brick {

class Brick;

/// @brief The HiTechnic accelerometer on an input: three axes read together, in g (g()) or in
/// the sensor's counts (counts(), about 200 a g, -512 to 511).
///
/// Made from a brick::Brick, sending nothing; its first operation sets the input up for the
/// sensor's bus and identifies the device, unless setUp() did. Another device there is refused
/// with Errc::wrong_device, and problem() (and the exception's what()) names what answered. Copy
/// it freely; use a handle from one thread at a time, and only while its brick is open.
class BRICKCTL_API Accelerometer {
 public:
  /// @brief The sensor's counts in one g.
  static constexpr int countsPerG = ::Brick::Lib::HtAccelerometer::kCountsPerG;

  /// @brief Three axes of one reading, in counts.
  struct Counts {
    int x = 0;  ///< forward (along the sensor's length)
    int y = 0;  ///< sideways
    int z = 0;  ///< up; countsPerG at rest on a level floor
  };
  /// @brief Three axes of one reading, in g (9.81 m/s²).
  struct Gs {
    double x = 0;  ///< forward (along the sensor's length)
    double y = 0;  ///< sideways
    double z = 0;  ///< up; 1 at rest on a level floor
  };

  /// @brief The accelerometer on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  Accelerometer(Brick& brick, Input input);

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
    Error::throwIf(ec, "brick::Accelerometer::setUp", problem());
  }
  /// @brief Same as setUp(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param powerUp how long the sensor takes to start.
  /// @param ec cleared on success, else the failure.
  void setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept;

  /// @brief The three axes in counts, from one transaction.
  /// @return the axes.
  /// @throws brick::Error as setUp() does, or a link failure.
  Counts counts() {
    std::error_code ec;
    Counts value = counts(ec);
    Error::throwIf(ec, "brick::Accelerometer::counts", problem());
    return value;
  }
  /// @brief Same as counts(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the axes; all 0 when `ec` is set.
  Counts counts(std::error_code& ec) noexcept;

  /// @brief The three axes in g, from one transaction: counts() divided by countsPerG.
  /// @return the axes.
  /// @throws brick::Error as setUp() does, or a link failure.
  Gs g() {
    std::error_code ec;
    Gs value = g(ec);
    Error::throwIf(ec, "brick::Accelerometer::g", problem());
    return value;
  }
  /// @brief Same as g(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the axes; all 0 when `ec` is set.
  Gs g(std::error_code& ec) noexcept;

  /// @brief Why the device was refused, in a sentence naming what answered; empty when it was
  /// not.
  /// @return the sentence.
  std::string problem() const { return driver ? driver->problem() : std::string(); }

 private:
  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::HtAccelerometer> driver;
  bool ready = false;
};

}  // namespace brick

#endif
