// The clock a bricksim run goes by, chosen once from its command line: stepped (every reading
// moves the world on by a fixed step, so that a run repeats exactly) or real time (the wall
// clock, caught up a bounded amount at a time). Either way the live page's controls pause it,
// step it by hand and change its speed; a run that nobody pauses goes the same whether a page
// watches it or not, since the page changes which clock the world runs on in no way.
//
// Not thread-safe: the host reads and changes it under the server's lock, as it does the robot.
#ifndef SIM_RUNCLOCK_H
#define SIM_RUNCLOCK_H

#include <cstdint>

#include "sim/CatchUpClock.h"
#include "sim/Clock.h"
#include "sim/PacedClock.h"

namespace Sim {

class RunClock : public Clock {
 public:
  // `step` seconds of world time per reading, or 0 for real time; a real-time catch-up moves
  // the world on by at most `mostCatchUp` seconds.
  RunClock(double step, double mostCatchUp)
      : pace(step > 0 ? step : 0.0), catchUp(pace, mostCatchUp), perReading(step) {}

  double now() override { return stepped() ? pace.now() : catchUp.now(); }
  bool stepped() const { return perReading > 0; }
  // Time that passes on the link while a telegram or its reply crosses it. On a stepped clock
  // it is world time, added at once (nothing waits, and the next reading still adds its step);
  // false in real time, where the caller waits it on the wall clock instead.
  bool pass(double seconds) {
    if (!stepped()) {
      return false;
    }
    pace.pass(seconds);
    return true;
  }
  // Pause, step and speed, for the live page.
  PacedClock& controls() { return pace; }
  // Wall-clock seconds a real-time run has skipped after stalls, and in how many catch-ups
  // (nothing is skipped on a stepped clock).
  double dropped() const { return catchUp.dropped(); }
  std::uint64_t drops() const { return catchUp.drops(); }
  double mostCatchUp() const { return catchUp.most(); }

 private:
  PacedClock pace;
  CatchUpClock catchUp;  // read only in real time
  double perReading;
};

}  // namespace Sim

#endif
