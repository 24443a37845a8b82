// The brick maker's colour sensor (NXT 2.0) on an input port, in each of the modes the brick's
// firmware runs it in: the colour number under it (full mode, lamps cycling), the light it
// reflects under its red, green or blue lamp, or the ambient light with its lamps off (0 to
// 1023 each, raw readings). Colour numbers: 1 black, 2 blue, 3 green, 4 yellow, 5 red, 6 white.
#ifndef BRICK_COLORSENSOR_H
#define BRICK_COLORSENSOR_H

#include "brick/Export.h"
#include "brick/Input.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API ColorSensor {
 public:
  enum class Mode { Full, Red, Green, Blue, Ambient };

  ColorSensor(Block& block, int port);
  ColorSensor(Comm::SerialCommunication& link, int port);

  // SETINPUTMODE for the mode: the firmware switches the lamps.
  long setUp(Mode mode);
  // The colour number in full mode, else the light level.
  long read(int& value);
  Mode getMode() const { return mode; }

 private:
  Input input;
  Mode mode = Mode::Full;
};

}  // namespace Lib
}  // namespace Brick

#endif
