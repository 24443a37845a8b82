// The clock a watched run goes by: it can be paused, stepped by hand and run faster or slower,
// from the page's controls. With a step per reading it is a stepped clock (every reading adds
// the step times the speed, nothing while paused); without, it follows the wall clock times
// the speed.
#ifndef SIM_PACEDCLOCK_H
#define SIM_PACEDCLOCK_H

#include <ctime>
#include <string>

#include "sim/Clock.h"

namespace Sim {

class PacedClock : public Clock {
 public:
  static constexpr double kSlowest = 0.1;
  static constexpr double kFastest = 10.0;

  explicit PacedClock(double stepPerReading = 0.0) : perReading(stepPerReading), anchor(wall()) {}

  double now() override {
    if (!halted) {
      if (perReading > 0) {
        current += stepped ? 0.0 : perReading * factor;
      } else {
        double t = wall();
        current += (t - anchor) * factor;
        anchor = t;
      }
    }
    stepped = false;
    return current;
  }
  void pause(bool on) {
    if (on && !halted && perReading <= 0) {
      now();  // the wall-clock time until now still counts
    }
    anchor = wall();
    halted = on;
  }
  bool paused() const { return halted; }
  // Speeds outside kSlowest to kFastest are taken as the nearest of the two.
  void setSpeed(double speed) {
    if (!halted && perReading <= 0) {
      now();
    }
    factor = speed < kSlowest ? kSlowest : speed > kFastest ? kFastest : speed;
  }
  double speed() const { return factor; }
  // Moves on by this much world time, paused or not (the reading that catches the world up
  // then adds nothing more).
  void step(double seconds) {
    if (seconds > 0) {
      current += seconds;
      stepped = true;
    }
  }
  // Time that passes between readings (a telegram crossing the link), added as it comes:
  // unlike step(), the next reading still adds its own step. Nothing passes while paused.
  void pass(double seconds) {
    if (!halted && seconds > 0) {
      current += seconds;
    }
  }
  double time() const { return current; }
  // A control from the page: "pause", "resume", "step" (by `value` seconds, at most 10) or
  // "speed" (times `value`). False, changing nothing, for anything else.
  bool apply(const std::string& action, double value) {
    if (action == "pause" || action == "resume") {
      pause(action == "pause");
    } else if (action == "step" && value > 0 && value <= 10) {
      step(value);
    } else if (action == "speed" && value > 0) {
      setSpeed(value);
    } else {
      return false;
    }
    return true;
  }

 private:
  static double wall() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  }

  double perReading;
  double factor = 1.0;
  double current = 0.0;
  double anchor;
  bool halted = false;
  bool stepped = false;
};

}  // namespace Sim

#endif
