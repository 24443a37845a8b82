// The HiTechnic compass (NMC1034) on an input port: the heading in degrees from magnetic
// north, 0 to 359, increasing clockwise seen from above; and its hard-iron calibration. The
// device is identified before its first reading (DigitalSensor). setUp() the port first.
#ifndef BRICK_HTCOMPASS_H
#define BRICK_HTCOMPASS_H

#include "brick/DigitalSensor.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API HtCompass : public DigitalSensor {
 public:
  HtCompass(Block& block, int port);
  HtCompass(Comm::SerialCommunication& link, int port);

  long heading(int& degrees);
  // Starts calibration (turn the sensor slowly through a full circle or two), or ends it;
  // `failed` tells whether the sensor rejected it, when ending.
  long startCalibration();
  long endCalibration(bool& failed);
};

}  // namespace Lib
}  // namespace Brick

#endif
