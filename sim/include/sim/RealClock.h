// Wall-clock time for a simulated world: the robot moves as fast as a real one would while a
// host program talks to it.
#ifndef SIM_REALCLOCK_H
#define SIM_REALCLOCK_H

#include <chrono>

#include "sim/Clock.h"

namespace Sim {

class RealClock : public Clock {
 public:
  double now() override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

}  // namespace Sim

#endif
