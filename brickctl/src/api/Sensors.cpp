// The typed sensors: each reads the port Brick set up for it with one GETINPUTVALUES, or, for
// the ultrasonic sensor and other digital ones, over the port's I2C bus.
#include "Outcome.h"
#include "brick/ColorSensor.h"
#include "brick/ColourSensor.hpp"
#include "brick/I2cDevice.h"
#include "brick/I2cSensor.hpp"
#include "brick/Input.h"
#include "brick/LightSensor.hpp"
#include "brick/SoundSensor.hpp"
#include "brick/TouchSensor.hpp"
#include "brick/Ultrasonic.h"
#include "brick/UltrasonicSensor.hpp"

namespace brick {

using detail::setOutcome;
using detail::usable;

namespace {

// The scaled value of `input`: what the mode Brick chose turns the raw reading into (a boolean,
// a percentage, a colour number).
int scaled(Comm::SerialCommunication* link, Input input, std::error_code& ec) {
  if (!usable(link, ec)) {
    return 0;
  }
  ::Brick::Lib::Input::Values values;
  setOutcome(ec, ::Brick::Lib::Input(*link, static_cast<int>(input)).getValues(values));
  return ec ? 0 : values.scaled;
}

}  // namespace

bool TouchSensor::pressed(std::error_code& ec) noexcept {
  return scaled(link, where, ec) != 0;
}

int LightSensor::percent(std::error_code& ec) noexcept {
  return scaled(link, where, ec);
}

int SoundSensor::percent(std::error_code& ec) noexcept {
  return scaled(link, where, ec);
}

Colour ColourSensor::colour(std::error_code& ec) noexcept {
  int number = scaled(link, where, ec);
  return number >= 1 && number <= 6 ? static_cast<Colour>(number) : Colour::None;
}

void ColourSensor::mode(Mode mode, std::error_code& ec) noexcept {
  using Lamp = ::Brick::Lib::ColorSensor::Mode;
  Lamp lamp = Lamp::Full;
  switch (mode) {
    case Mode::Colour:
      break;
    case Mode::Red:
      lamp = Lamp::Red;
      break;
    case Mode::Green:
      lamp = Lamp::Green;
      break;
    case Mode::Blue:
      lamp = Lamp::Blue;
      break;
    case Mode::Ambient:
      lamp = Lamp::Ambient;
      break;
    default:
      ec = make_error_code(Errc::bad_value);
      return;
  }
  if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::ColorSensor(*link, static_cast<int>(where)).setUp(lamp));
  }
}

int ColourSensor::level(std::error_code& ec) noexcept {
  return scaled(link, where, ec);
}

int UltrasonicSensor::centimetres(std::error_code& ec) noexcept {
  int distance = 0;
  if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::Ultrasonic(*link, static_cast<int>(where)).read(distance));
  }
  return ec ? 0 : distance;
}

std::vector<std::uint8_t> I2cSensor::read(std::uint8_t reg, std::size_t count,
                                          std::error_code& ec) noexcept {
  std::vector<std::uint8_t> bytes;
  if (count < 1 || count > 16) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(
        ec, ::Brick::Lib::I2cDevice(*link, static_cast<int>(where), bus).read(reg, count, bytes));
  }
  if (ec) {
    bytes.clear();
  }
  return bytes;
}

void I2cSensor::write(std::uint8_t reg, const std::vector<std::uint8_t>& bytes,
                      std::error_code& ec) noexcept {
  if (bytes.size() > 15) {
    ec = make_error_code(Errc::bad_value);
  } else if (usable(link, ec)) {
    setOutcome(ec, ::Brick::Lib::I2cDevice(*link, static_cast<int>(where), bus).write(reg, bytes));
  }
}

std::string I2cSensor::text(std::uint8_t reg, std::error_code& ec) noexcept {
  std::string value;
  if (usable(link, ec)) {
    setOutcome(ec,
               ::Brick::Lib::I2cDevice(*link, static_cast<int>(where), bus).readText(reg, value));
  }
  if (ec) {
    value.clear();
  }
  return value;
}

}  // namespace brick
