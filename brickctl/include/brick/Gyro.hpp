/// @file
/// @brief brick::Gyro, an analog gyro on an input.
#ifndef BRICK_GYRO_HPP
#define BRICK_GYRO_HPP

#include <chrono>
#include <optional>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/HtGyro.h"
#include "brick/Input.hpp"

namespace brick {

class Brick;

/// @brief The HiTechnic gyro on an input: the turn rate about its axis in degrees a second, up
/// to about ±360, growing when it turns clockwise seen from its top.
///
/// The sensor reads some 600 counts at rest, different for each unit and with temperature:
/// calibrate() measures that offset while it stands still. It is analog, so nothing identifies
/// it. Made from a brick::Brick, sending nothing; its first operation sets the input up, unless
/// setUp() did. Copy it freely (a copy keeps the offset); use a handle from one thread at a
/// time, and only while its brick is open.
class BRICKCTL_API Gyro {
 public:
  /// @brief The gyro on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  Gyro(Brick& brick, Input input);

  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief Sets the input up for the sensor (analog, raw readings).
  /// @throws brick::Error a link failure, or the brick's refusal.
  void setUp() {
    std::error_code ec;
    setUp(ec);
    Error::throwIf(ec, "brick::Gyro::setUp");
  }
  /// @brief Same as setUp(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void setUp(std::error_code& ec) noexcept;

  /// @brief The turn rate: the reading less offset().
  /// @return degrees a second, positive clockwise seen from the sensor's top.
  /// @throws brick::Error a link failure, or the brick's refusal.
  int degreesPerSecond() {
    std::error_code ec;
    int value = degreesPerSecond(ec);
    Error::throwIf(ec, "brick::Gyro::degreesPerSecond");
    return value;
  }
  /// @brief Same as degreesPerSecond(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return degrees a second; 0 when `ec` is set.
  int degreesPerSecond(std::error_code& ec) noexcept;

  /// @brief The raw reading, 0 to 1023.
  /// @return counts.
  /// @throws brick::Error a link failure, or the brick's refusal.
  int raw() {
    std::error_code ec;
    int value = raw(ec);
    Error::throwIf(ec, "brick::Gyro::raw");
    return value;
  }
  /// @brief Same as raw(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return counts; 0 when `ec` is set.
  int raw(std::error_code& ec) noexcept;

  /// @brief Measures the offset: the mean of `samples` readings, the sensor standing still.
  /// @param samples 1 to 1000 readings, one exchange each.
  /// @return the new offset in counts.
  /// @throws brick::Error Errc::bad_value for a number of samples out of range, a link
  /// failure, or the brick's refusal.
  int calibrate(int samples = 10) {
    std::error_code ec;
    int value = calibrate(samples, ec);
    Error::throwIf(ec, "brick::Gyro::calibrate");
    return value;
  }
  /// @brief Same as calibrate(int), setting `ec` instead of throwing.
  /// @param samples 1 to 1000 readings.
  /// @param ec cleared on success, else the failure.
  /// @return the new offset; the old one, unchanged, when `ec` is set.
  int calibrate(int samples, std::error_code& ec) noexcept;

  /// @brief The reading at rest, in counts: 600 until calibrate() or setOffset().
  /// @return the offset.
  int offset() const noexcept { return driver ? driver->offset : kTypicalOffset; }
  /// @brief Sets the reading at rest, e.g. one a previous run measured.
  /// @param counts 0 to 1023.
  /// @throws brick::Error Errc::bad_value for counts out of range.
  void setOffset(int counts) {
    std::error_code ec;
    setOffset(counts, ec);
    Error::throwIf(ec, "brick::Gyro::setOffset");
  }
  /// @brief Same as setOffset(int), setting `ec` instead of throwing.
  /// @param counts 0 to 1023.
  /// @param ec cleared on success, else the failure.
  void setOffset(int counts, std::error_code& ec) noexcept;

 private:
  static constexpr int kTypicalOffset = ::Brick::Lib::HtGyro::kTypicalOffset;

  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::HtGyro> driver;
  bool ready = false;
};

}  // namespace brick

#endif
