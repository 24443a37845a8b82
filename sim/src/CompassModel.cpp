#include "sim/CompassModel.h"

#include <cmath>

namespace Sim {

namespace {

const std::uint8_t kMode = 0x41;
const std::uint8_t kCalibrate = 0x43;

}  // namespace

CompassModel::CompassModel() : I2cModel(0x02) {
  text(0x00, "\xFDV2.1");
  text(0x08, "HiTechnc");
  text(0x10, "Compass ");
}

void CompassModel::refresh(const Senses& now) {
  if (regs[kMode] == kCalibrate) {
    return;  // the heading stands still while the sensor learns the robot's iron
  }
  int heading = static_cast<int>(std::lround(now.compassHeading)) % 360;
  heading = heading < 0 ? heading + 360 : heading;
  regs[0x42] = static_cast<std::uint8_t>(heading / 2);
  regs[0x43] = static_cast<std::uint8_t>(heading % 2);
  regs[0x44] = static_cast<std::uint8_t>(heading & 0xFF);
  regs[0x45] = static_cast<std::uint8_t>(heading >> 8);
}

bool CompassModel::writable(std::uint8_t reg) const {
  return reg == kMode;
}

void CompassModel::written(std::uint8_t reg) {
  // Only measuring and calibrating are modes; the world has no iron to fail calibration on.
  if (reg == kMode && regs[kMode] != kCalibrate) {
    regs[kMode] = 0;
  }
}

}  // namespace Sim
