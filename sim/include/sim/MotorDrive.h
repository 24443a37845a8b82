// One motor of the virtual brick as its firmware drives it: the speed it is told (regulated or
// not, limited by the battery), how fast it gets there, the goal a tacho limit sets (each new
// limit adds to it), and the coasting at that goal, when the run state turns idle and the
// motor runs on unpowered. It knows nothing of the robot: the Robot steps it and reads its
// angle.
#ifndef SIM_MOTORDRIVE_H
#define SIM_MOTORDRIVE_H

#include <cstdint>

#include "sim/Environment.h"

namespace Sim {

class MotorDrive {
 public:
  // Degrees per second per unit of power at the reference battery; the top speed is 100 of
  // them and falls in proportion as the battery does.
  static constexpr double kDegreesPerSecondPerPower = 10.0;
  static constexpr double kReferenceMillivolts = 9000.0;
  // A powered motor reaches the speed it is told with this time constant (seconds); 0: at
  // once. A real motor takes some tens of milliseconds; the figures the examples and tests
  // print rest on a motor at speed at once, so it stays 0 until they are measured again.
  static constexpr double kSpinUpTime = 0.0;
  // An unpowered motor slows by friction: in proportion to its speed (time constant, seconds)
  // and by a constant deceleration (degrees per second squared).
  static constexpr double kCoastTime = 0.07;
  static constexpr double kCoastFriction = 1500.0;

  enum class Drive { Coast, Hold, Run };

  // A SETOUTPUTSTATE for this motor. Returns the run state the brick reports.
  std::uint8_t command(const OutputState& state);
  // The tacho count was reset (a program's start, UPDATE_RESET_COUNT): no goal is left.
  void clearGoal() { goalSet = false; }
  // As one of a synchronised pair: runs at `factor` times its own speed (negative: the other
  // way), and so covers `factor` times its limit; 0 holds it still, the pivot of a turn.
  void scaleRun(double factor);
  // The run is over: the run state turns idle and the motor coasts, whatever its brake bit.
  void finish();
  // How far a running motor has come since its telegram, in the degrees of a motor running at
  // its power unscaled (a synchronised pair's regulator compares the two), and the way it runs.
  double progress() const;
  double way() const;
  double share() const { return scale < 0 ? -scale : scale; }

  // Moves the motor on by `dt` seconds at a battery of `millivolts`. Returns true when the run
  // reached its goal in this step (the motor coasts from here).
  bool step(double dt, double millivolts);

  // Degrees the motor coasts from `speed` (degrees per second) until it stands.
  static double coastingDistance(double speed);

  Drive drive = Drive::Coast;
  double angle = 0;  // degrees turned since the start, with the fraction the counters hide
  double speed = 0;  // degrees per second
  double goal = 0;   // the angle a limited run ends at
  bool goalSet = false;
  bool limited = false;  // the run under way ends at the goal
  int partner = -1;      // the motor this one is synchronised with, while the pair runs
  double trim = 0;       // degrees per second the pair's regulator adds to keep them in step
  std::uint8_t runState = 0;

 private:
  double target(double millivolts) const;

  bool reached() const;

  double power = 0;
  bool regulated = false;
  double scale = 1;      // a synchronised pair's inner wheel runs slower
  double direction = 1;  // which way the goal lies
  double goalBase = 0;   // the goal before the last limit was added, and that limit
  double limitDegrees = 0;
  double runFrom = 0;   // the angle at the last telegram
  double rampFrom = 0;  // speed at the start of a ramp, and the angle it started at
  double rampStart = 0;
};

}  // namespace Sim

#endif
