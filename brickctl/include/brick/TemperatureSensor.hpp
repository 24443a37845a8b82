/// @file
/// @brief brick::TemperatureSensor, a digital thermometer on an input.
#ifndef BRICK_TEMPERATURESENSOR_HPP
#define BRICK_TEMPERATURESENSOR_HPP

#include <chrono>
#include <optional>
#include <string>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"
#include "brick/TemperatureSensor.h"

namespace brick {

class Brick;

/// @brief The brick maker's temperature sensor on an input: degrees Celsius, -40 to 125, in
/// steps of 0.5 (9 bits, its resolution at power-on) down to 0.0625 (12 bits).
///
/// It has no identification registers: it is recognised by its answer at its own address, and a
/// device of the family at the usual address is refused with Errc::wrong_device, problem() (and
/// the exception's what()) naming it. Made from a brick::Brick, sending nothing; its first
/// operation sets the input up for the sensor's bus, unless setUp() did. Copy it freely; use a
/// handle from one thread at a time, and only while its brick is open.
class BRICKCTL_API TemperatureSensor {
 public:
  /// @brief The thermometer on `input` of `brick`; sends nothing.
  /// @param brick the brick it is plugged into.
  /// @param input its input.
  TemperatureSensor(Brick& brick, Input input);

  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }

  /// @brief Sets the input up for the sensor's bus, waits `powerUp` for the sensor to start,
  /// and checks that it answers.
  /// @param powerUp how long the sensor takes to start; 100 ms is enough.
  /// @throws brick::Error Errc::wrong_device when another device answers, Errc::bus_error when
  /// none does, a link failure, or the brick's refusal.
  void setUp(std::chrono::milliseconds powerUp = std::chrono::milliseconds(100)) {
    std::error_code ec;
    setUp(powerUp, ec);
    Error::throwIf(ec, "brick::TemperatureSensor::setUp", problem());
  }
  /// @brief Same as setUp(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param powerUp how long the sensor takes to start.
  /// @param ec cleared on success, else the failure.
  void setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept;

  /// @brief The temperature.
  /// @return degrees Celsius.
  /// @throws brick::Error as setUp() does, or a link failure.
  double celsius() {
    std::error_code ec;
    double value = celsius(ec);
    Error::throwIf(ec, "brick::TemperatureSensor::celsius", problem());
    return value;
  }
  /// @brief Same as celsius(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return degrees Celsius; 0 when `ec` is set.
  double celsius(std::error_code& ec) noexcept;

  /// @brief Sets the resolution: more bits are finer steps and take longer to convert (28 ms
  /// at 9 bits to 220 ms at 12).
  /// @param bits 9 (0.5 °C) to 12 (0.0625 °C).
  /// @throws brick::Error Errc::bad_value for bits out of range (nothing sent), as setUp()
  /// does, or a link failure.
  void resolution(int bits) {
    std::error_code ec;
    resolution(bits, ec);
    Error::throwIf(ec, "brick::TemperatureSensor::resolution", problem());
  }
  /// @brief Same as resolution(int), setting `ec` instead of throwing.
  /// @param bits 9 to 12.
  /// @param ec cleared on success, else the failure.
  void resolution(int bits, std::error_code& ec) noexcept;

  /// @brief Why the device was refused, in a sentence naming what answered; empty when it was
  /// not.
  /// @return the sentence.
  std::string problem() const { return driver ? driver->problem() : std::string(); }

 private:
  Comm::SerialCommunication* link;
  Input where;
  std::optional<::Brick::Lib::TemperatureSensor> driver;
  bool ready = false;
};

}  // namespace brick

#endif
