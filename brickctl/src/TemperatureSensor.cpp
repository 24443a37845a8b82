#include "brick/TemperatureSensor.h"

#include "Request.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kTemperature = 0x00;
const std::uint8_t kConfiguration = 0x01;
const int kResolutionShift = 5;

DigitalSensor::Expected thermometer() {
  return {TemperatureSensor::kAddress, "LEGO temperature sensor", {}, {}};
}

}  // namespace

TemperatureSensor::TemperatureSensor(Block& block, int port)
    : DigitalSensor(block, port, thermometer()) {}
TemperatureSensor::TemperatureSensor(Comm::SerialCommunication& link, int port)
    : DigitalSensor(link, port, thermometer()) {}

long TemperatureSensor::probe() {
  std::vector<std::uint8_t> ignored;
  return bus.read(kConfiguration, 1, ignored);
}

long TemperatureSensor::celsius(double& degrees) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kTemperature, 2, b);
  if (code == kBrickOk) {
    // Big-endian and left-justified: /256 is right whatever the resolution.
    degrees = static_cast<std::int16_t>((b[0] << 8) | b[1]) / 256.0;
  }
  return code;
}

long TemperatureSensor::setResolution(int bits) {
  if (bits < 9 || bits > 12) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  return writeRegisters(kConfiguration,
                        {static_cast<std::uint8_t>((bits - 9) << kResolutionShift)});
}

}  // namespace Lib
}  // namespace Brick
