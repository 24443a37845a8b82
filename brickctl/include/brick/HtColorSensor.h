// The HiTechnic colour sensor, version 2 (NCO1038), on an input port. In its active mode (the
// default: its own white lamp, ambient light cancelled) it gives a colour number 0 to 17 (0
// black ... 17 white, see docs/sensors.md), red, green, blue and white levels 0 to 255, and
// the levels normalised so that the largest is 255. setUp() the port first.
#ifndef BRICK_HTCOLORSENSOR_H
#define BRICK_HTCOLORSENSOR_H

#include "brick/DigitalSensor.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API HtColorSensor : public DigitalSensor {
 public:
  struct Reading {
    int number = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
    int white = 0;
    int index = 0;  // 6 bits: 2 each for red, green, blue
    int normalizedRed = 0;
    int normalizedGreen = 0;
    int normalizedBlue = 0;
  };
  // Passive and raw modes: 16-bit levels.
  struct Levels {
    int red = 0;
    int green = 0;
    int blue = 0;
    int white = 0;
  };
  enum class Mode { Active = 0x00, Passive = 0x01, Raw = 0x03 };

  HtColorSensor(Block& block, int port);
  HtColorSensor(Comm::SerialCommunication& link, int port);

  long setMode(Mode mode);
  long read(Reading& out);
  long readLevels(Levels& out);
};

}  // namespace Lib
}  // namespace Brick

#endif
