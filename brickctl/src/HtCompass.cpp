#include "brick/HtCompass.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kMode = 0x41;
const std::uint8_t kHalfHeading = 0x42;
const std::uint8_t kMeasure = 0x00;
const std::uint8_t kCalibrate = 0x43;
const std::uint8_t kCalibrationFailed = 0x02;

DigitalSensor::Expected compass() {
  return {0x02, "HiTechnic compass", {"HiTechnc", "HITECHNC"}, {"Compass"}};
}

}  // namespace

HtCompass::HtCompass(Block& block, int port) : DigitalSensor(block, port, compass()) {}
HtCompass::HtCompass(Comm::SerialCommunication& link, int port)
    : DigitalSensor(link, port, compass()) {}

long HtCompass::heading(int& degrees) {
  std::vector<std::uint8_t> bytes;
  long code = readRegisters(kHalfHeading, 2, bytes);
  if (code == kBrickOk) {
    degrees = 2 * bytes[0] + bytes[1];
  }
  return code;
}

long HtCompass::startCalibration() {
  return writeRegisters(kMode, {kCalibrate});
}

long HtCompass::endCalibration(bool& failed) {
  long code = writeRegisters(kMode, {kMeasure});
  std::vector<std::uint8_t> mode;
  if (code == kBrickOk) {
    code = readRegisters(kMode, 1, mode);
  }
  failed = code == kBrickOk && mode[0] == kCalibrationFailed;
  return code;
}

}  // namespace Lib
}  // namespace Brick
