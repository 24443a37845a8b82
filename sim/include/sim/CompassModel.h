// The HiTechnic compass at 0x02: the robot's heading from the world's north (+y), clockwise,
// in registers 0x42 (half the heading), 0x43 (the odd degree) and 0x44-0x45 (the whole heading,
// low byte first). Writing 0x43 to the mode register 0x41 starts calibration, which holds the
// heading registers still; 0x00 ends it.
#ifndef SIM_COMPASSMODEL_H
#define SIM_COMPASSMODEL_H

#include "sim/I2cModel.h"

namespace Sim {

class CompassModel : public I2cModel {
 public:
  CompassModel();

 protected:
  void refresh(const Senses& now) override;
  bool writable(std::uint8_t reg) const override;
  void written(std::uint8_t reg) override;
};

}  // namespace Sim

#endif
