#include "sim/AccelerometerModel.h"

#include <algorithm>
#include <cmath>

namespace Sim {

namespace {

const double kCountsPerG = 200;

}  // namespace

AccelerometerModel::AccelerometerModel() : I2cModel(0x02) {
  text(0x00, "\xFDV1.1");
  text(0x08, "HiTechnc");
  text(0x10, "Accel.  ");
}

void AccelerometerModel::refresh(const Senses& now) {
  const double g[3] = {now.accelForward, now.accelLeft, now.accelUp};
  for (int axis = 0; axis < 3; ++axis) {
    long counts = std::lround(g[axis] * kCountsPerG);
    counts = std::max(-512L, std::min(511L, counts));
    // Upper 8 bits, signed, then the lower 2 on their own.
    regs[0x42 + axis] = static_cast<std::uint8_t>(
        static_cast<std::int8_t>(static_cast<int>(std::floor(static_cast<double>(counts) / 4))));
    regs[0x45 + axis] = static_cast<std::uint8_t>(counts & 0x03);
  }
}

bool AccelerometerModel::writable(std::uint8_t /*reg*/) const {
  return false;
}

}  // namespace Sim
