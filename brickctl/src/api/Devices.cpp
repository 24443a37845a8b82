// The typed sensor drivers of the modern API: each holds the driver underneath (HtCompass, ...),
// which identifies its device once, and turns its codes into error_codes.
#include "Devices.h"

#include "brick/Accelerometer.hpp"
#include "brick/Compass.hpp"
#include "brick/Gyro.hpp"
#include "brick/IrSeeker.hpp"
#include "brick/RgbColourSensor.hpp"
#include "brick/TemperatureSensor.hpp"

namespace brick {

namespace L = ::Brick::Lib;
using detail::driverOn;
using detail::onDevice;
using detail::setUpDevice;

Compass::Compass(Brick& brick, Input input)
    : link(brick.connection()), where(input), driver(driverOn<L::HtCompass>(brick, input)) {}

void Compass::setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, powerUp, ec);
}

int Compass::degrees(std::error_code& ec) noexcept {
  int value = 0;
  onDevice(link, driver, ready, ec, [&](L::HtCompass& d) { return d.heading(value); });
  return ec ? 0 : value;
}

void Compass::startCalibration(std::error_code& ec) noexcept {
  onDevice(link, driver, ready, ec, [](L::HtCompass& d) { return d.startCalibration(); });
}

bool Compass::endCalibration(std::error_code& ec) noexcept {
  bool failed = true;
  onDevice(link, driver, ready, ec, [&](L::HtCompass& d) { return d.endCalibration(failed); });
  return !ec && !failed;
}

Accelerometer::Accelerometer(Brick& brick, Input input)
    : link(brick.connection()), where(input), driver(driverOn<L::HtAccelerometer>(brick, input)) {}

void Accelerometer::setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, powerUp, ec);
}

Accelerometer::Counts Accelerometer::counts(std::error_code& ec) noexcept {
  L::HtAccelerometer::Axes axes;
  onDevice(link, driver, ready, ec, [&](L::HtAccelerometer& d) { return d.read(axes); });
  return ec ? Counts{} : Counts{axes.x, axes.y, axes.z};
}

Accelerometer::Gs Accelerometer::g(std::error_code& ec) noexcept {
  Counts c = counts(ec);
  double perG = countsPerG;
  return Gs{c.x / perG, c.y / perG, c.z / perG};
}

IrSeeker::IrSeeker(Brick& brick, Input input)
    : link(brick.connection()), where(input), driver(driverOn<L::HtIrSeeker>(brick, input)) {}

void IrSeeker::setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, powerUp, ec);
}

namespace {

IrSeeker::Reading seen(const L::HtIrSeeker::Reading& r) {
  IrSeeker::Reading out;
  out.zone = r.direction;
  out.strength = r.strength;
  out.mean = r.mean;
  return out;
}

}  // namespace

IrSeeker::Reading IrSeeker::ac(std::error_code& ec) noexcept {
  L::HtIrSeeker::Reading r;
  onDevice(link, driver, ready, ec, [&](L::HtIrSeeker& d) { return d.readAc(r); });
  return ec ? Reading{} : seen(r);
}

IrSeeker::Reading IrSeeker::dc(std::error_code& ec) noexcept {
  L::HtIrSeeker::Reading r;
  onDevice(link, driver, ready, ec, [&](L::HtIrSeeker& d) { return d.readDc(r); });
  return ec ? Reading{} : seen(r);
}

void IrSeeker::band(Band band, std::error_code& ec) noexcept {
  if (band != Band::Hz1200 && band != Band::Hz600) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  L::HtIrSeeker::Band b =
      band == Band::Hz600 ? L::HtIrSeeker::Band::Hz600 : L::HtIrSeeker::Band::Hz1200;
  onDevice(link, driver, ready, ec, [&](L::HtIrSeeker& d) { return d.setBand(b); });
}

RgbColourSensor::RgbColourSensor(Brick& brick, Input input)
    : link(brick.connection()), where(input), driver(driverOn<L::HtColorSensor>(brick, input)) {}

void RgbColourSensor::setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, powerUp, ec);
}

void RgbColourSensor::mode(Mode mode, std::error_code& ec) noexcept {
  L::HtColorSensor::Mode m = L::HtColorSensor::Mode::Active;
  switch (mode) {
    case Mode::Active:
      break;
    case Mode::Passive:
      m = L::HtColorSensor::Mode::Passive;
      break;
    case Mode::Raw:
      m = L::HtColorSensor::Mode::Raw;
      break;
    default:
      ec = make_error_code(Errc::bad_value);
      return;
  }
  onDevice(link, driver, ready, ec, [&](L::HtColorSensor& d) { return d.setMode(m); });
}

RgbColourSensor::Reading RgbColourSensor::read(std::error_code& ec) noexcept {
  L::HtColorSensor::Reading r;
  onDevice(link, driver, ready, ec, [&](L::HtColorSensor& d) { return d.read(r); });
  if (ec) {
    return Reading{};
  }
  return Reading{r.number, r.red,           r.green,           r.blue,          r.white,
                 r.index,  r.normalizedRed, r.normalizedGreen, r.normalizedBlue};
}

RgbColourSensor::Levels RgbColourSensor::levels(std::error_code& ec) noexcept {
  L::HtColorSensor::Levels l;
  onDevice(link, driver, ready, ec, [&](L::HtColorSensor& d) { return d.readLevels(l); });
  return ec ? Levels{} : Levels{l.red, l.green, l.blue, l.white};
}

Gyro::Gyro(Brick& brick, Input input)
    : link(brick.connection()), where(input), driver(driverOn<L::HtGyro>(brick, input)) {}

void Gyro::setUp(std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, std::chrono::milliseconds(0), ec);
}

int Gyro::degreesPerSecond(std::error_code& ec) noexcept {
  int value = 0;
  onDevice(link, driver, ready, ec, [&](L::HtGyro& d) { return d.rate(value); });
  return ec ? 0 : value;
}

int Gyro::raw(std::error_code& ec) noexcept {
  int value = 0;
  onDevice(link, driver, ready, ec, [&](L::HtGyro& d) { return d.raw(value); });
  return ec ? 0 : value;
}

int Gyro::calibrate(int samples, std::error_code& ec) noexcept {
  if (samples < 1 || samples > 1000) {
    ec = make_error_code(Errc::bad_value);
    return offset();
  }
  // The driver keeps its offset when a reading fails half way.
  onDevice(link, driver, ready, ec, [&](L::HtGyro& d) { return d.calibrate(samples); });
  return offset();
}

void Gyro::setOffset(int counts, std::error_code& ec) noexcept {
  if (counts < 0 || counts > 1023) {
    ec = make_error_code(Errc::bad_value);
  } else if (!driver) {
    ec = make_error_code(Errc::not_open);
  } else {
    driver->offset = counts;
    ec.clear();
  }
}

TemperatureSensor::TemperatureSensor(Brick& brick, Input input)
    : link(brick.connection()),
      where(input),
      driver(driverOn<L::TemperatureSensor>(brick, input)) {}

void TemperatureSensor::setUp(std::chrono::milliseconds powerUp, std::error_code& ec) noexcept {
  setUpDevice(link, driver, ready, powerUp, ec);
}

double TemperatureSensor::celsius(std::error_code& ec) noexcept {
  double value = 0;
  onDevice(link, driver, ready, ec, [&](L::TemperatureSensor& d) { return d.celsius(value); });
  return ec ? 0 : value;
}

void TemperatureSensor::resolution(int bits, std::error_code& ec) noexcept {
  if (bits < 9 || bits > 12) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  onDevice(link, driver, ready, ec, [&](L::TemperatureSensor& d) { return d.setResolution(bits); });
}

}  // namespace brick
