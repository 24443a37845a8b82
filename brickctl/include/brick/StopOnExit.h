// A brick's motors and speaker held for the length of a scope: when the scope ends, however it
// ends (a return, an exception unwinding through it), all three motors are switched off and
// left floating, and any tone or sound file is stopped, so that a program that fails midway
// does not leave a robot driving on. release() leaves them as they are instead, for a program
// that means them to run on after it.
//
// Stopping is two telegrams: SETOUTPUTSTATE for all three ports at once (port 0xFF, power 0,
// mode 0) and STOPSOUNDPLAYBACK. The destructor swallows failures (a brick that has gone costs
// one reply time limit, then nothing more is sent); stop() returns them as a code of BrickCode.h.
// Block's own destructor is not changed by this: the guard is a separate object.
#ifndef BRICK_STOPONEXIT_H
#define BRICK_STOPONEXIT_H

#include "brick/BrickCode.h"
#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API StopOnExit {
 public:
  explicit StopOnExit(Block& block);
  explicit StopOnExit(Comm::SerialCommunication& link);
  ~StopOnExit();
  StopOnExit(const StopOnExit&) = delete;
  StopOnExit& operator=(const StopOnExit&) = delete;

  // The motors and the sound stay as they are when the guard goes.
  void release() { armed = false; }
  bool isArmed() const { return armed; }

  // Stops the motors and the sound now (the guard stays armed): 0 or the first failure.
  long stop();

 private:
  Comm::SerialCommunication* link;
  bool armed = true;
};

}  // namespace Lib
}  // namespace Brick

#endif
