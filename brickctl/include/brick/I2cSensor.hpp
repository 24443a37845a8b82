/// @file
/// @brief brick::I2cSensor, any digital sensor on an input's I2C bus, register by register.
#ifndef BRICK_I2CSENSOR_HPP
#define BRICK_I2CSENSOR_HPP

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief A digital sensor on an input's I2C bus, got from Brick::i2cSensor() (which sets the
/// input up for the bus), for sensors this library has no class of its own for. Copy it freely,
/// but use it only while its brick::Brick is open.
///
/// Each read or write is several exchanges (the brick runs the bus; the library polls), bounded
/// by 200 ms: Errc::wait_timeout when the bus did not finish in time, Errc::bus_error when no
/// sensor answered.
class BRICKCTL_API I2cSensor {
 public:
  /// @brief The input the sensor is on.
  /// @return its input.
  Input input() const noexcept { return where; }
  /// @brief The sensor's bus address.
  /// @return the address, e.g. 0x02.
  std::uint8_t address() const noexcept { return bus; }

  /// @brief Reads `count` bytes from register `reg` on.
  /// @param reg the first register.
  /// @param count 1 to 16.
  /// @return the bytes read.
  /// @throws brick::Error Errc::bad_value for a count out of range, a link failure, or the
  /// brick's refusal.
  std::vector<std::uint8_t> read(std::uint8_t reg, std::size_t count) {
    std::error_code ec;
    std::vector<std::uint8_t> bytes = read(reg, count, ec);
    Error::throwIf(ec, "brick::I2cSensor::read");
    return bytes;
  }
  /// @brief Same as read(std::uint8_t, std::size_t), setting `ec` instead of throwing.
  /// @param reg the first register.
  /// @param count 1 to 16.
  /// @param ec cleared on success, else the failure.
  /// @return the bytes read; none when `ec` is set.
  std::vector<std::uint8_t> read(std::uint8_t reg, std::size_t count, std::error_code& ec) noexcept;

  /// @brief Writes `bytes` from register `reg` on.
  /// @param reg the first register.
  /// @param bytes 0 to 15 bytes.
  /// @throws brick::Error Errc::bad_value for too many bytes, a link failure, or the brick's
  /// refusal.
  void write(std::uint8_t reg, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    write(reg, bytes, ec);
    Error::throwIf(ec, "brick::I2cSensor::write");
  }
  /// @brief Same as write(std::uint8_t, const std::vector<std::uint8_t>&), setting `ec` instead
  /// of throwing.
  /// @param reg the first register.
  /// @param bytes 0 to 15 bytes.
  /// @param ec cleared on success, else the failure.
  void write(std::uint8_t reg, const std::vector<std::uint8_t>& bytes,
             std::error_code& ec) noexcept;

  /// @brief Reads the 8-byte text at register `reg` (a sensor's version at 0x00, maker at
  /// 0x08, type at 0x10), without its padding.
  /// @param reg the register.
  /// @return the text.
  /// @throws brick::Error a link failure, or the brick's refusal.
  std::string text(std::uint8_t reg) {
    std::error_code ec;
    std::string value = text(reg, ec);
    Error::throwIf(ec, "brick::I2cSensor::text");
    return value;
  }
  /// @brief Same as text(std::uint8_t), setting `ec` instead of throwing.
  /// @param reg the register.
  /// @param ec cleared on success, else the failure.
  /// @return the text; empty when `ec` is set.
  std::string text(std::uint8_t reg, std::error_code& ec) noexcept;

 private:
  friend class Brick;
  I2cSensor(Comm::SerialCommunication* link, Input input, std::uint8_t address) noexcept
      : link(link), where(input), bus(address) {}

  Comm::SerialCommunication* link;
  Input where;
  std::uint8_t bus;
};

}  // namespace brick

#endif
