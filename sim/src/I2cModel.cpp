#include "sim/I2cModel.h"

#include <cstring>

#include "sim/AccelerometerModel.h"
#include "sim/ColorV2Model.h"
#include "sim/CompassModel.h"
#include "sim/IrSeekerModel.h"
#include "sim/TemperatureModel.h"

namespace Sim {

I2cModel::I2cModel(std::uint8_t address) : bus(address) {}

std::unique_ptr<I2cModel> I2cModel::make(const std::string& kind) {
  if (kind == "compass") {
    return std::make_unique<CompassModel>();
  }
  if (kind == "accelerometer") {
    return std::make_unique<AccelerometerModel>();
  }
  if (kind == "ir-seeker") {
    return std::make_unique<IrSeekerModel>();
  }
  if (kind == "color-v2") {
    return std::make_unique<ColorV2Model>();
  }
  if (kind == "temperature") {
    return std::make_unique<TemperatureModel>();
  }
  return nullptr;
}

void I2cModel::text(std::uint8_t reg, const char* value) {
  std::size_t length = std::strlen(value);
  for (std::size_t i = 0; i < 8; ++i) {
    regs[(reg + i) & 0xFF] = i < length ? static_cast<std::uint8_t>(value[i]) : 0;
  }
}

void I2cModel::read(const Senses& now, std::uint8_t reg, std::size_t count, std::uint8_t* out) {
  refresh(now);
  // The register pointer wraps round at the end of the device's register space.
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = regs[(reg + i) & 0xFF];
  }
}

void I2cModel::write(std::uint8_t reg, const std::uint8_t* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t r = static_cast<std::uint8_t>(reg + i);
    if (writable(r)) {
      regs[r] = data[i];
      written(r);
    }
  }
}

}  // namespace Sim
