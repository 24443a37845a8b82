// One input port of a brick (0 to 3) with the whole GETINPUTVALUES reply and
// RESETINPUTSCALEDVALUE. Sensor stays the simple interface; an Input reads the same port
// beside it. Every operation returns 0 or a code of BrickCode.h, recorded in the link's status
// record.
#ifndef BRICK_INPUT_H
#define BRICK_INPUT_H

#include <cstdint>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Input {
 public:
  struct Values {
    int port = 0;
    bool valid = false;
    bool calibrated = false;
    std::uint8_t type = 0;
    std::uint8_t mode = 0;
    std::uint16_t raw = 0;
    std::uint16_t normalized = 0;
    std::int16_t scaled = 0;
    std::int16_t calibratedValue = 0;
  };

  Input(Block& block, int port);
  Input(Comm::SerialCommunication& link, int port);

  // SETINPUTMODE: sensor type and mode (Nxt::kSwitch, Nxt::kBooleanMode, ...), without a reply
  // unless the link asks for one (Comm::SerialCommunication::setConfirmCommands).
  long setMode(std::uint8_t type, std::uint8_t mode);
  long getValues(Values& out);
  // The values in a GETINPUTVALUES reply, given from the echoed opcode on (as the link hands
  // replies over).
  static void decode(const std::uint8_t* reply, Values& out);
  // Sets the scaled value back to 0 (a rotation or edge count starts again).
  long resetScaledValue();

  int getPort() const { return port; }

 private:
  Comm::SerialCommunication* link;
  int port;
};

}  // namespace Lib
}  // namespace Brick

#endif
