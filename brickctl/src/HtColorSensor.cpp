#include "brick/HtColorSensor.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kMode = 0x41;
const std::uint8_t kNumber = 0x42;

DigitalSensor::Expected colour() {
  return {0x02, "HiTechnic colour sensor V2", {"HiTechnc", "HITECHNC"}, {"ColorPD"}};
}

}  // namespace

HtColorSensor::HtColorSensor(Block& block, int port) : DigitalSensor(block, port, colour()) {}
HtColorSensor::HtColorSensor(Comm::SerialCommunication& link, int port)
    : DigitalSensor(link, port, colour()) {}

long HtColorSensor::setMode(Mode mode) {
  return writeRegisters(kMode, {static_cast<std::uint8_t>(mode)});
}

long HtColorSensor::read(Reading& out) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kNumber, 9, b);
  if (code == kBrickOk) {
    out.number = b[0];
    out.red = b[1];
    out.green = b[2];
    out.blue = b[3];
    out.white = b[4];
    out.index = b[5] & 0x3F;
    out.normalizedRed = b[6];
    out.normalizedGreen = b[7];
    out.normalizedBlue = b[8];
  }
  return code;
}

long HtColorSensor::readLevels(Levels& out) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kNumber, 8, b);
  if (code == kBrickOk) {
    // Low byte first: the maker does not say, so this is our choice (docs/sensors.md).
    auto word = [&b](std::size_t i) { return b[i] | (b[i + 1] << 8); };
    out.red = word(0);
    out.green = word(2);
    out.blue = word(4);
    out.white = word(6);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
