#include "brick/HtIrSeeker.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kBand = 0x41;
const std::uint8_t kDcDirection = 0x42;
const std::uint8_t kAcDirection = 0x49;

DigitalSensor::Expected seeker() {
  return {HtIrSeeker::kAddress, "HiTechnic IR seeker V2", {"HiTechnc", "HITECHNC"}, {"NewIRDir"}};
}

}  // namespace

HtIrSeeker::HtIrSeeker(Block& block, int port) : DigitalSensor(block, port, seeker()) {}
HtIrSeeker::HtIrSeeker(Comm::SerialCommunication& link, int port)
    : DigitalSensor(link, port, seeker()) {}

long HtIrSeeker::readAc(Reading& out) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kAcDirection, 6, b);
  if (code == kBrickOk) {
    out.direction = b[0];
    for (std::size_t i = 0; i < 5; ++i) {
      out.strength[i] = b[1 + i];
    }
    out.mean = 0;
  }
  return code;
}

long HtIrSeeker::readDc(Reading& out) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kDcDirection, 7, b);
  if (code == kBrickOk) {
    out.direction = b[0];
    for (std::size_t i = 0; i < 5; ++i) {
      out.strength[i] = b[1 + i];
    }
    out.mean = b[6];
  }
  return code;
}

long HtIrSeeker::setBand(Band band) {
  return writeRegisters(kBand, {static_cast<std::uint8_t>(band)});
}

}  // namespace Lib
}  // namespace Brick
