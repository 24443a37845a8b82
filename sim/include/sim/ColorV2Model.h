// The HiTechnic colour sensor V2 at 0x02, looking at the floor under the robot's sensor spot:
// in active mode a colour number, red, green, blue and white levels, the colour index and the
// normalised levels; in passive and raw modes 16-bit levels, low byte first. Its mode register
// 0x41 takes the modes; calibration and the settings kept in its EEPROM are accepted and do
// nothing.
#ifndef SIM_COLORV2MODEL_H
#define SIM_COLORV2MODEL_H

#include "sim/I2cModel.h"

namespace Sim {

class ColorV2Model : public I2cModel {
 public:
  ColorV2Model();

 protected:
  void refresh(const Senses& now) override;
  bool writable(std::uint8_t reg) const override;
};

}  // namespace Sim

#endif
