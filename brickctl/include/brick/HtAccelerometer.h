// The HiTechnic accelerometer (NAC1040) on an input port: the three axes in counts, about 200
// a g, -512 to 511 (about +-2.5 g). One transaction reads all three, so they belong to the
// same moment. setUp() the port first.
#ifndef BRICK_HTACCELEROMETER_H
#define BRICK_HTACCELEROMETER_H

#include "brick/DigitalSensor.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API HtAccelerometer : public DigitalSensor {
 public:
  static constexpr int kCountsPerG = 200;

  struct Axes {
    int x = 0;
    int y = 0;
    int z = 0;
  };

  HtAccelerometer(Block& block, int port);
  HtAccelerometer(Comm::SerialCommunication& link, int port);

  long read(Axes& counts);
};

}  // namespace Lib
}  // namespace Brick

#endif
