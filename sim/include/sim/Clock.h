// The time a simulated world runs on. The world asks it once each time it catches up, so a
// clock decides both how fast the robot moves and whether a run can be repeated exactly.
#ifndef SIM_CLOCK_H
#define SIM_CLOCK_H

namespace Sim {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since the clock started. Never goes backwards.
  virtual double now() = 0;
};

}  // namespace Sim

#endif
