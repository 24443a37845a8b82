#include "sim/MotorDrive.h"

#include <algorithm>
#include <cmath>

#include "protocol/Nxt.h"

namespace Sim {

namespace {

// A ramp never crawls slower than this, so that it reaches its goal from a standstill.
const double kRampCrawl = 30.0;

}  // namespace

std::uint8_t MotorDrive::command(const OutputState& state) {
  bool brake = (state.mode & Nxt::kModeBrake) != 0;
  bool on = (state.mode & Nxt::kModeMotorOn) != 0 && state.runState != Nxt::kRunStateIdle;
  regulated = (state.mode & Nxt::kModeRegulated) != 0;
  power = state.power;
  scale = 1;
  partner = -1;
  runState = state.runState;
  bool rampDown = state.runState == Nxt::kRunStateRampDown;
  if (on && state.tachoLimit != 0) {
    // A limit adds to the goal of the movement under way, so that the count a client waits
    // for, its start plus the limits it gave, is where the motor ends, overshoot and all.
    direction = power < 0 || (power == 0 && speed < 0) ? -1 : 1;
    goalBase = goalSet ? goal : angle;
    limitDegrees = state.tachoLimit;
    goal = goalBase + direction * limitDegrees;
    goalSet = true;
    limited = true;
  } else {
    limited = false;
    if (on && power != 0) {
      goalSet = false;  // running on without a limit: the next limit counts from where it is then
    }
  }
  rampFrom = speed;
  rampStart = angle;
  runFrom = angle;
  trim = 0;
  if (on && (power != 0 || (rampDown && limited))) {
    drive = Drive::Run;
  } else if (brake || (on && regulated)) {
    drive = Drive::Hold;  // an active brake, or a regulator holding speed 0
    speed = 0;
  } else {
    drive = Drive::Coast;
  }
  return runState;
}

void MotorDrive::scaleRun(double factor) {
  scale = factor;
  if (limited) {
    direction = factor < 0 ? -direction : direction;
    goal = goalBase + direction * limitDegrees * std::fabs(factor);
  }
  if (std::fabs(factor) < 1e-9) {
    drive = Drive::Hold;
    speed = 0;
  }
}

void MotorDrive::finish() {
  drive = Drive::Coast;
  limited = false;
  partner = -1;
  runState = Nxt::kRunStateIdle;
}

double MotorDrive::target(double millivolts) const {
  double top = 100 * kDegreesPerSecondPerPower * millivolts / kReferenceMillivolts;
  double told = power * kDegreesPerSecondPerPower * scale;
  if (!regulated) {
    // Unregulated power is a share of the battery's voltage: the speed falls with it.
    return told * millivolts / kReferenceMillivolts;
  }
  // The regulator holds the speed it is told, as far as the battery's top speed allows.
  return std::max(-top, std::min(top, told));
}

double MotorDrive::way() const {
  return (power < 0) != (scale < 0) ? -1 : 1;
}

double MotorDrive::progress() const {
  double share = std::fabs(scale);
  return share > 0 ? (angle - runFrom) * way() / share : 0;
}

bool MotorDrive::reached() const {
  return limited && direction * (angle - goal) >= 0;
}

double MotorDrive::coastingDistance(double v) {
  double a = kCoastFriction * kCoastTime;
  return kCoastTime * std::fabs(v) - kCoastTime * a * std::log(1 + std::fabs(v) / a);
}

bool MotorDrive::step(double dt, double millivolts) {
  switch (drive) {
    case Drive::Hold:
      speed = 0;
      return false;
    case Drive::Coast: {
      // Friction in proportion to the speed and a constant part: it stops in a finite time.
      double slower = std::fabs(speed) * std::exp(-dt / kCoastTime) - kCoastFriction * dt;
      double before = speed;
      speed = slower <= 0 ? 0 : std::copysign(slower, speed);
      angle += (before + speed) / 2 * dt;
      return false;
    }
    case Drive::Run:
      break;
  }
  double wanted = target(millivolts);
  bool ramp = limited && (runState == Nxt::kRunStateRampUp || runState == Nxt::kRunStateRampDown);
  if (ramp) {
    // A ramp goes from the speed the motor had to the speed told, in step with the degrees
    // covered towards the goal.
    double span = std::fabs(goal - rampStart);
    double progress = span > 0 ? std::min(1.0, std::fabs(angle - rampStart) / span) : 1.0;
    double along = rampFrom + (wanted - rampFrom) * progress;
    speed = direction * std::max(kRampCrawl, std::fabs(along));
  } else {
    double reach = kSpinUpTime > 0 ? 1 - std::exp(-dt / kSpinUpTime) : 1.0;
    speed += (wanted + trim - speed) * reach;
  }
  angle += speed * dt;
  if (!reached()) {
    return false;
  }
  if (runState == Nxt::kRunStateRampUp) {
    // Up to speed: it runs on at the speed told, with no limit left.
    limited = false;
    runState = Nxt::kRunStateRunning;
    return false;
  }
  finish();
  return true;
}

}  // namespace Sim
