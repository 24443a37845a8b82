// Real time for a world that may fall behind it: after a stall (the process stopped, the
// machine suspended, a host hogging the world's lock) or in a world too large to step as fast
// as the wall clock runs, one reading moves the world on by at most `most` seconds and the rest
// of the wall-clock time is dropped. Each catch-up then costs a bounded amount of work, so the
// process stays quick to answer a signal; dropped() tells how far the world has fallen behind.
#ifndef SIM_CATCHUPCLOCK_H
#define SIM_CATCHUPCLOCK_H

#include <cstdint>

#include "sim/Clock.h"

namespace Sim {

class CatchUpClock : public Clock {
 public:
  CatchUpClock(Clock& wall, double most) : source(wall), limit(most) {}

  double now() override {
    double ahead = source.now() - lost - last;
    if (ahead > limit) {
      lost += ahead - limit;
      ++times;
    }
    if (ahead > 0) {
      last += ahead > limit ? limit : ahead;
    }
    return last;
  }
  // Wall-clock seconds the world has skipped, and in how many readings.
  double dropped() const { return lost; }
  std::uint64_t drops() const { return times; }
  double most() const { return limit; }

 private:
  Clock& source;
  double limit;
  double last = 0.0;
  double lost = 0.0;
  std::uint64_t times = 0;
};

}  // namespace Sim

#endif
