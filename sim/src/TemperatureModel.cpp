#include "sim/TemperatureModel.h"

#include <algorithm>
#include <cmath>

namespace Sim {

namespace {

const std::uint8_t kTemperature = 0x00;
const std::uint8_t kConfiguration = 0x01;

}  // namespace

TemperatureModel::TemperatureModel() : I2cModel(0x98) {}

void TemperatureModel::refresh(const Senses& /*now*/) {}

bool TemperatureModel::writable(std::uint8_t /*reg*/) const {
  return false;
}

void TemperatureModel::read(const Senses& now, std::uint8_t reg, std::size_t count,
                            std::uint8_t* out) {
  std::uint16_t word = 0;
  if (reg == kTemperature) {
    // The chip keeps as many bits as its resolution, left-justified.
    int bits = 9 + ((configuration >> 5) & 0x03);
    double steps = std::floor(std::max(-40.0, std::min(125.0, now.celsius)) * (1 << (bits - 8)));
    auto value = static_cast<std::int16_t>(steps * (1 << (16 - bits)));
    word = static_cast<std::uint16_t>(value);
  } else if (reg == 0x02 || reg == 0x03) {
    word = limits[reg - 0x02];
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (reg == kConfiguration || reg > 0x03) {
      out[i] = reg == kConfiguration ? configuration : 0;
    } else {
      out[i] = static_cast<std::uint8_t>(i % 2 == 0 ? word >> 8 : word & 0xFF);
    }
  }
}

void TemperatureModel::write(std::uint8_t reg, const std::uint8_t* data, std::size_t n) {
  if (reg == kConfiguration && n >= 1) {
    configuration = data[0];
  } else if ((reg == 0x02 || reg == 0x03) && n >= 2) {
    limits[reg - 0x02] = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
  }
}

}  // namespace Sim
