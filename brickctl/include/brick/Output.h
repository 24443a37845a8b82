// One output port of a brick (0, 1, 2 for A, B, C) with the whole of SETOUTPUTSTATE and
// GETOUTPUTSTATE: regulated moves, the full state with its three counters, resetting either
// position, and waiting for a move to end. Motor stays the simple interface; an Output can
// drive the same port beside it.
//
// Every operation returns 0 or a code of BrickCode.h, recorded in the link's status record;
// a port or power out of range is refused before anything is sent. SETOUTPUTSTATE and
// RESETMOTORPOSITION go without a reply unless the link asks for one
// (Comm::SerialCommunication::setConfirmCommands): a refusal the brick would give is caught here.
#ifndef BRICK_OUTPUT_H
#define BRICK_OUTPUT_H

#include <cstdint>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Output {
 public:
  struct State {
    int port = 0;
    int power = 0;                     // -100 to 100
    std::uint8_t mode = 0;             // bits: 0x01 motor on, 0x02 brake, 0x04 regulated
    std::uint8_t regulation = 0;       // 0 idle, 1 motor speed, 2 synchronisation
    int turnRatio = 0;                 // -100 to 100
    std::uint8_t runState = 0;         // 0x00 idle, 0x10 ramp-up, 0x20 running, 0x40 ramp-down
    std::uint32_t tachoLimit = 0;      // degrees, 0: no limit
    std::int32_t tachoCount = 0;       // runs on across moves; each limit adds to the goal
    std::int32_t blockTachoCount = 0;  // since the last relative reset
    std::int32_t rotationCount = 0;    // since the last absolute reset
  };

  Output(Block& block, int port);
  Output(Comm::SerialCommunication& link, int port);

  // SETOUTPUTSTATE as given.
  long setState(int power, std::uint8_t mode, std::uint8_t regulation, int turnRatio,
                std::uint8_t runState, std::uint32_t tachoLimit);
  // Runs at `power` (-100 to 100, negative backwards) with speed regulation, so the motor keeps
  // its speed under load; `degrees` 0 runs without a limit. The degrees add to the goal of the
  // move before (the tacho count is not reset), and at the goal the brick lets the motor coast
  // on, past it by more the faster it ran, whatever `brake` says; `brake` holds a motor that
  // runs without a limit when it is stopped.
  long runRegulated(int power, std::uint32_t degrees = 0, bool brake = true);
  // Brakes (holds still) or floats.
  long stop(bool brake = true);
  long getState(State& out);
  // RESETMOTORPOSITION: `relative` true resets the block tacho count (position relative to the
  // last move), false the rotation count (the absolute position).
  long resetPosition(bool relative);
  // Polls GETOUTPUTSTATE every `pollMs` until the run state is idle (the goal reached; the
  // motor may still coast), for at most `timeoutMs`: 0, kBrickWaitTimeout, or a link or brick
  // code.
  long waitUntilFinished(int timeoutMs, int pollMs = 20);
  // The state in a GETOUTPUTSTATE reply, given from the echoed opcode on.
  static void decode(const std::uint8_t* reply, State& out);
  // Whether a move in `state` is over: idle, or held at power 0 (a brake).
  static bool finished(const State& state);

  int getPort() const { return port; }

 private:
  Comm::SerialCommunication* link;
  int port;
};

}  // namespace Lib
}  // namespace Brick

#endif
