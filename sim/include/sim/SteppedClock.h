// Time that moves only when told, for runs that must come out the same every time: a test
// steps it by hand, or gives it a step that every reading adds (each telegram the robot answers
// then costs that much world time, whatever the host's speed).
#ifndef SIM_STEPPEDCLOCK_H
#define SIM_STEPPEDCLOCK_H

#include "sim/Clock.h"

namespace Sim {

class SteppedClock : public Clock {
 public:
  explicit SteppedClock(double stepPerReading = 0.0) : perReading(stepPerReading) {}

  double now() override {
    current += perReading;
    return current;
  }
  void step(double seconds) {
    if (seconds > 0) {
      current += seconds;
    }
  }
  double time() const { return current; }

 private:
  double perReading;
  double current = 0.0;
};

}  // namespace Sim

#endif
