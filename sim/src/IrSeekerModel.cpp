#include "sim/IrSeekerModel.h"

#include <algorithm>
#include <cmath>

namespace Sim {

namespace {

const std::uint8_t kBand = 0x41;
const double kZoneWidth = 30;          // degrees
const double kFieldHalf = 135;         // beyond this either side the sensor sees nothing
const double kFullStrength = 40;       // cm: nearer than this the nearest detector reads 255
const double kDetectorHalfWidth = 90;  // degrees off its axis at which a detector sees nothing

}  // namespace

IrSeekerModel::IrSeekerModel() : I2cModel(0x10) {
  text(0x00, "\xFDV1.2");
  text(0x08, "HiTechnc");
  text(0x10, "NewIRDir");
}

void IrSeekerModel::refresh(const Senses& now) {
  int zone = 0;
  int strength[5] = {};
  if (now.beaconDistance >= 0 && std::fabs(now.beaconBearing) < kFieldHalf) {
    // Light falls off with the square of the distance.
    double d = std::max(now.beaconDistance, 1.0);
    double full = std::min(255.0, 255.0 * (kFullStrength / d) * (kFullStrength / d));
    for (int i = 0; i < 5; ++i) {
      double off = std::fabs(now.beaconBearing - (i - 2) * 2 * kZoneWidth);
      strength[i] =
          static_cast<int>(std::lround(full * std::max(0.0, 1.0 - off / kDetectorHalfWidth)));
    }
    if (*std::max_element(strength, strength + 5) > 0) {
      zone = 5 + static_cast<int>(std::lround(now.beaconBearing / kZoneWidth));
      zone = std::max(1, std::min(9, zone));
    }
  }
  // The beacon is a modulated IR ball: AC and DC readings both see it, and nothing else.
  int sum = 0;
  regs[0x42] = regs[0x49] = static_cast<std::uint8_t>(zone);
  for (int i = 0; i < 5; ++i) {
    regs[0x43 + i] = regs[0x4A + i] = static_cast<std::uint8_t>(strength[i]);
    sum += strength[i];
  }
  regs[0x48] = static_cast<std::uint8_t>(sum / 5);
}

bool IrSeekerModel::writable(std::uint8_t reg) const {
  return reg == kBand;
}

}  // namespace Sim
