// The HiTechnic accelerometer at 0x02, mounted flat and facing forward: x along the robot's
// heading, y to its left, z up, 200 counts a g, the upper 8 bits of each axis in 0x42-0x44
// and the lower 2 in 0x45-0x47.
#ifndef SIM_ACCELEROMETERMODEL_H
#define SIM_ACCELEROMETERMODEL_H

#include "sim/I2cModel.h"

namespace Sim {

class AccelerometerModel : public I2cModel {
 public:
  AccelerometerModel();

 protected:
  void refresh(const Senses& now) override;
  bool writable(std::uint8_t reg) const override;
};

}  // namespace Sim

#endif
