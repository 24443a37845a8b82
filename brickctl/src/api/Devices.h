// What the typed sensor handles share: their driver made on the brick's connection, the input
// set up on first use, and a wrong device's outcome as Errc::wrong_device. Internal to the
// library.
#ifndef BRICK_API_DEVICES_H
#define BRICK_API_DEVICES_H

#include <chrono>
#include <optional>
#include <system_error>
#include <type_traits>

#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/DigitalSensor.h"

namespace brick {
namespace detail {

// The driver on `brick`'s connection; none on a closed brick, whose handle then reports
// not_open.
template <typename Driver>
std::optional<Driver> driverOn(Brick& brick, Input input) {
  std::optional<Driver> driver;
  if (brick.connection() != nullptr) {
    driver.emplace(*brick.connection(), static_cast<int>(input));
  }
  return driver;
}

// SETINPUTMODE, the wait for the sensor to power up, and for a digital sensor its
// identification.
template <typename Driver>
void setUpDevice(Comm::SerialCommunication* link, std::optional<Driver>& driver, bool& ready,
                 std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  ready = false;
  if (powerUp.count() < 0 || powerUp > std::chrono::seconds(10)) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  if (!usable(link, ec) || !driver) {
    ec = make_error_code(Errc::not_open);
    return;
  }
  long code = ::Brick::Lib::kBrickOk;
  if constexpr (std::is_base_of_v<::Brick::Lib::DigitalSensor, Driver>) {
    driver->settleMs = static_cast<int>(powerUp.count());
    code = driver->setUp();
    if (code == ::Brick::Lib::kBrickOk) {
      code = driver->check();
    }
  } else {
    code = driver->setUp();
  }
  setOutcome(ec, code);
  ready = !ec;
}

// Runs `operation` (a code of BrickCode.h from the driver) once the device is set up.
template <typename Driver, typename Operation>
void onDevice(Comm::SerialCommunication* link, std::optional<Driver>& driver, bool& ready,
              std::error_code& ec, Operation operation) noexcept {
  if (!ready) {
    setUpDevice(link, driver, ready, std::chrono::milliseconds(100), ec);
    if (ec) {
      return;
    }
  } else if (!usable(link, ec) || !driver) {
    ec = make_error_code(Errc::not_open);
    return;
  }
  setOutcome(ec, operation(*driver));
}

}  // namespace detail
}  // namespace brick

#endif
