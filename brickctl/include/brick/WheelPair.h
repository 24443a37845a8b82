// The two wheel motors of a robot started, stopped and read together. Over Bluetooth a
// request and its reply take about 60 ms: two motors started one exchange after the other
// would run that long apart, and the robot would set off askew. So the first motor's
// SETOUTPUTSTATE is sent without asking for a reply and the second's right behind it, with
// one: both reach the brick in one burst, a pass of its loop apart, and the one reply says the
// link carried them.
//
// Every operation returns 0 or a code of BrickCode.h, recorded in the link's status record.
#ifndef BRICK_WHEELPAIR_H
#define BRICK_WHEELPAIR_H

#include <cstdint>

#include "brick/Export.h"
#include "brick/Output.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class BRICKCTL_API WheelPair {
 public:
  // Two different output ports, 0 to 2.
  WheelPair(Comm::SerialCommunication& link, int leftPort, int rightPort);

  // Both motors under speed regulation, each at its power (-100 to 100) for its tacho limit
  // (0: without one), braking at the end; a power of 0 holds that motor still.
  long run(int leftPower, std::uint32_t leftLimit, int rightPower, std::uint32_t rightLimit);
  // Both held still at once.
  long brake();
  // Both motors' states, one exchange each.
  long read(Output::State& left, Output::State& right);

  Output& left() { return a; }
  Output& right() { return b; }

 private:
  long send(int leftPower, std::uint32_t leftLimit, int rightPower, std::uint32_t rightLimit);

  Comm::SerialCommunication* link;
  Output a;
  Output b;
};

}  // namespace Lib
}  // namespace Brick

#endif
