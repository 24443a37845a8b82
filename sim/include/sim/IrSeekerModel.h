// The HiTechnic IR seeker V2 at 0x10, facing forward, and the world's beacon: the zone the
// beacon lies in (1 to 9, each 30 degrees wide, 5 straight ahead; 0 behind the sensor or with
// no beacon) and the strength at each of the five detectors, which face -120, -60, 0, 60 and
// 120 degrees. See docs/sensors.md for the strengths' fall-off.
#ifndef SIM_IRSEEKERMODEL_H
#define SIM_IRSEEKERMODEL_H

#include "sim/I2cModel.h"

namespace Sim {

class IrSeekerModel : public I2cModel {
 public:
  IrSeekerModel();

 protected:
  void refresh(const Senses& now) override;
  bool writable(std::uint8_t reg) const override;
};

}  // namespace Sim

#endif
