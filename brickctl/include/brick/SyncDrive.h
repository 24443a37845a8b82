// Two motors driven as a pair with the brick's motor synchronisation: the brick keeps their
// positions locked, so a two-wheel robot drives straight, curves or spins as the turn ratio
// says, whatever their loads. Turn ratio 0 drives straight, 50 stops the inner wheel, 100 turns
// the wheels opposite ways (a spin on the spot); positive turns towards the second motor's
// side (it is the one slowed), negative towards the first's.
//
// Every operation returns 0 or a code of BrickCode.h, recorded in the link's status record.
#ifndef BRICK_SYNCDRIVE_H
#define BRICK_SYNCDRIVE_H

#include <cstdint>

#include "brick/Export.h"
#include "brick/Output.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API SyncDrive {
 public:
  // Two different output ports, e.g. 1 and 2 (B and C).
  SyncDrive(Block& block, int firstPort, int secondPort);
  SyncDrive(Comm::SerialCommunication& link, int firstPort, int secondPort);

  // Drives at `power` (-100 to 100) with `turnRatio` (-100 to 100) for `degrees` of the
  // leading motor (0: without a limit), added to the goal of the move before. At the goal
  // the brick lets both coast, whatever `brake` says; `brake` holds a pair run without a
  // limit when it is stopped.
  long drive(int power, int turnRatio = 0, std::uint32_t degrees = 0, bool brake = true);
  long stop(bool brake = true);
  // Waits until both motors have finished their move, for at most `timeoutMs`.
  long waitUntilFinished(int timeoutMs, int pollMs = 20);
  // Resets both motors' block tacho counts (relative) or rotation counts (absolute).
  long resetPosition(bool relative);

  Output& first() { return a; }
  Output& second() { return b; }

 private:
  Comm::SerialCommunication* link;
  Output a;
  Output b;
};

}  // namespace Lib
}  // namespace Brick

#endif
