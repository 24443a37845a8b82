// The brick maker's temperature sensor at 0x98 (no identification registers): the world's
// temperature in register 0x00, big-endian, left-justified in 16 bits at the resolution the
// configuration register 0x01 sets (bits 6-5: 9 to 12 bits; 9 at power-on). Registers 0x02
// and 0x03 are the alarm limits, 16 bits each; the register pointer picks them.
#ifndef SIM_TEMPERATUREMODEL_H
#define SIM_TEMPERATUREMODEL_H

#include "sim/I2cModel.h"

namespace Sim {

class TemperatureModel : public I2cModel {
 public:
  TemperatureModel();
  // A register of its own is two bytes wide but the configuration's one: a read goes on
  // within the register the pointer names.
  void read(const Senses& now, std::uint8_t reg, std::size_t count, std::uint8_t* out) override;
  void write(std::uint8_t reg, const std::uint8_t* data, std::size_t n) override;

 protected:
  void refresh(const Senses& now) override;
  bool writable(std::uint8_t reg) const override;

 private:
  std::uint8_t configuration = 0;
  std::uint16_t limits[2] = {0x4B00, 0x5000};  // 75 and 80 degrees, the chip's power-on limits
};

}  // namespace Sim

#endif
