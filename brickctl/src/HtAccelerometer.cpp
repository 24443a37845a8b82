#include "brick/HtAccelerometer.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kUpperX = 0x42;

DigitalSensor::Expected accelerometer() {
  return {0x02, "HiTechnic accelerometer", {"HiTechnc", "HITECHNC"}, {"Accel."}};
}

// The upper eight bits are signed; the lower two come in a byte of their own.
int axis(std::uint8_t upper, std::uint8_t lower) {
  return static_cast<std::int8_t>(upper) * 4 + (lower & 0x03);
}

}  // namespace

HtAccelerometer::HtAccelerometer(Block& block, int port)
    : DigitalSensor(block, port, accelerometer()) {}
HtAccelerometer::HtAccelerometer(Comm::SerialCommunication& link, int port)
    : DigitalSensor(link, port, accelerometer()) {}

long HtAccelerometer::read(Axes& counts) {
  std::vector<std::uint8_t> b;
  long code = readRegisters(kUpperX, 6, b);
  if (code == kBrickOk) {
    counts.x = axis(b[0], b[3]);
    counts.y = axis(b[1], b[4]);
    counts.z = axis(b[2], b[5]);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
