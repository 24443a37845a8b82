#include "sim/ColorV2Model.h"

#include <algorithm>

namespace Sim {

namespace {

const std::uint8_t kMode = 0x41;
const std::uint8_t kActive = 0x00;

// The sensor's colour numbers for the world's colours (World::Colour, 1 to 6).
const std::uint8_t kNumbers[7] = {0, 0, 3, 4, 6, 8, 17};

}  // namespace

ColorV2Model::ColorV2Model() : I2cModel(0x02) {
  text(0x00, "\xFDV1.2");
  text(0x08, "HiTechnc");
  text(0x10, "ColorPD ");
}

void ColorV2Model::refresh(const Senses& now) {
  const int rgb[3] = {now.floorRed, now.floorGreen, now.floorBlue};
  if (regs[kMode] != kActive && regs[kMode] != 0x01 && regs[kMode] != 0x03) {
    regs[kMode] = kActive;  // a calibration or a setting is over by the next reading
  }
  if (regs[kMode] == kActive) {
    int c = now.floorColour >= 1 && now.floorColour <= 6 ? now.floorColour : 6;
    int most = std::max(1, *std::max_element(rgb, rgb + 3));
    regs[0x42] = kNumbers[c];
    regs[0x46] = static_cast<std::uint8_t>((rgb[0] + rgb[1] + rgb[2]) / 3);
    regs[0x47] =
        static_cast<std::uint8_t>(((rgb[0] >> 6) << 4) | ((rgb[1] >> 6) << 2) | (rgb[2] >> 6));
    for (int i = 0; i < 3; ++i) {
      regs[0x43 + i] = static_cast<std::uint8_t>(rgb[i]);
      regs[0x48 + i] = static_cast<std::uint8_t>(rgb[i] * 255 / most);
    }
    return;
  }
  // Passive (lamp off) and raw: about 10 bits a level, low byte first.
  const int levels[4] = {rgb[0] * 4, rgb[1] * 4, rgb[2] * 4, (rgb[0] + rgb[1] + rgb[2]) * 4 / 3};
  for (int i = 0; i < 4; ++i) {
    regs[0x42 + 2 * i] = static_cast<std::uint8_t>(levels[i] & 0xFF);
    regs[0x43 + 2 * i] = static_cast<std::uint8_t>(levels[i] >> 8);
  }
}

bool ColorV2Model::writable(std::uint8_t reg) const {
  return reg == kMode;
}

}  // namespace Sim
