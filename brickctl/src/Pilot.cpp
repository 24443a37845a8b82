#include "brick/Pilot.h"

#include <algorithm>
#include <cmath>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

namespace {

const double kPi = 3.14159265358979323846;
// Trims never run slower than this: a regulated motor given less barely starts.
const int kLeastPower = 5;
// The most a wheel may run past its goal before the pilot brakes it itself: coasting stays
// well within this; a wheel beyond it was told something the pilot did not mean.
const double kRunawayDegrees = 30;
const double kRunawayPerPower = 1.0;
// A move is given this long beyond what its wheels need at a tenth of their nominal speed
// (10 degrees a second per unit of power).
const double kMoveSlackSeconds = 2.0;

double sign(double v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

}  // namespace

Pilot::Pilot(Block& block, const Config& c) : Pilot(block.getCommunication(), c) {}

Pilot::Pilot(Comm::SerialCommunication& l, const Config& c)
    : link(&l), config(c), wheels(l, c.leftPort, c.rightPort), odometry(c.wheelDiameter, c.track) {}

long Pilot::travel(double cm, bool wait) {
  double degrees = odometry.wheelDegrees(cm);
  return queue(Leg{Kind::Wheels, degrees, degrees}, wait);
}

long Pilot::rotate(double degrees, bool wait) {
  double wheel = degrees * config.track / config.wheelDiameter;
  return queue(Leg{Kind::Wheels, -wheel, wheel}, wait);
}

long Pilot::arc(double radius, double degrees, bool wait) {
  if (radius == 0) {
    return rotate(degrees, wait);
  }
  double along = std::fabs(radius) * degrees * kPi / 180;  // the centre's path, signed
  double turn = along / radius;                            // radians, left positive
  double half = config.track / 2;
  return queue(Leg{Kind::Wheels, odometry.wheelDegrees(along - half * turn),
                   odometry.wheelDegrees(along + half * turn)},
               wait);
}

long Pilot::goTo(double x, double y, bool wait) {
  legs.push_back(Leg{Kind::Face, x, y});
  return queue(Leg{Kind::Drive, x, y}, wait);
}

long Pilot::queue(const Leg& leg, bool wait) {
  if (!std::isfinite(leg.a) || !std::isfinite(leg.b)) {
    legs.clear();
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  legs.push_back(leg);
  long code = update();  // starts it when nothing else runs
  if (code != kBrickOk || !wait) {
    return code;
  }
  return waitUntilDone();
}

long Pilot::waitUntilDone(int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (moving()) {
    if (std::chrono::steady_clock::now() >= until) {
      stop();
      return BRICK_REFUSE(link, kBrickWaitTimeout);
    }
    detail::pause(config.pollMs);
    long code = update();
    if (code != kBrickOk) {
      return code;
    }
  }
  return kBrickOk;
}

long Pilot::stop() {
  legs.clear();
  phase = Phase::Idle;
  long code = wheels.brake();
  if (code != kBrickOk) {
    return code;
  }
  // From here the goals are where the wheels stand: the next move starts from them.
  Output::State l;
  Output::State r;
  code = wheels.read(l, r);
  if (code != kBrickOk) {
    return code;
  }
  double s = config.reversed ? -1 : 1;
  goal[0] = s * l.rotationCount;
  goal[1] = s * r.rotationCount;
  if (started) {
    odometry.update(goal[0], goal[1]);
  }
  return kBrickOk;
}

long Pilot::fail(long code) {
  legs.clear();
  phase = Phase::Idle;
  return code;
}

long Pilot::update() {
  Output::State l;
  Output::State r;
  long code = wheels.read(l, r);
  if (code != kBrickOk) {
    return fail(code);
  }
  double s = config.reversed ? -1 : 1;
  double now[2] = {s * l.rotationCount, s * r.rotationCount};
  if (!started) {
    started = true;
    odometry.reset(now[0], now[1], odometry.pose());
    goal[0] = now[0];
    goal[1] = now[1];
    last[0] = now[0];
    last[1] = now[1];
  } else {
    odometry.update(now[0], now[1]);
  }
  if (phase == Phase::Idle) {
    return legs.empty() ? kBrickOk : beginLeg(now[0], now[1]);
  }
  const Output::State* state[2] = {&l, &r};
  bool done = true;
  for (int i = 0; i < 2; ++i) {
    double past = (now[i] - goal[i]) * sign(segmentPower[i]);
    bool running = state[i]->power != 0 && state[i]->runState != Nxt::kRunStateIdle;
    if (running && past > kRunawayDegrees + kRunawayPerPower * std::abs(segmentPower[i])) {
      runaway = true;
    }
    done = done && Output::finished(*state[i]);
  }
  bool settled = now[0] == last[0] && now[1] == last[1];
  last[0] = now[0];
  last[1] = now[1];
  bool late = std::chrono::steady_clock::now() >= deadline;
  if (runaway || late) {
    code = wheels.brake();
    if (code != kBrickOk) {
      return fail(code);
    }
  } else if (!done || !settled) {
    return kBrickOk;
  } else {
    learn(now[0], now[1]);
  }
  runaway = false;
  double left = std::max(std::fabs(goal[0] - now[0]), std::fabs(goal[1] - now[1]));
  if (left <= config.toleranceDegrees || trimCount >= config.maxTrims) {
    phase = Phase::Idle;
    legs.pop_front();
    return legs.empty() ? kBrickOk : beginLeg(now[0], now[1]);
  }
  ++trimCount;
  return startSegment(config.trimPower, now[0], now[1]);
}

long Pilot::beginLeg(double left, double right) {
  const Leg& leg = legs.front();
  double dl = leg.a;
  double dr = leg.b;
  const Pose& at = odometry.pose();
  if (leg.kind == Kind::Face) {
    double bearing = std::atan2(leg.b - at.y, leg.a - at.x) * 180 / kPi;
    double wheel = normalisedHeading(bearing - at.heading) * config.track / config.wheelDiameter;
    dl = -wheel;
    dr = wheel;
  } else if (leg.kind == Kind::Drive) {
    dl = dr = odometry.wheelDegrees(std::hypot(leg.a - at.x, leg.b - at.y));
  }
  goal[0] += dl;
  goal[1] += dr;
  trimCount = 0;
  phase = Phase::Moving;
  return startSegment(config.power, left, right);
}

long Pilot::startSegment(int power, double left, double right) {
  double now[2] = {left, right};
  double rest[2] = {goal[0] - left, goal[1] - right};
  double most = std::max(std::fabs(rest[0]), std::fabs(rest[1]));
  double slowest = 1e9;
  for (int i = 0; i < 2; ++i) {
    segmentFrom[i] = now[i];
    segmentPower[i] = 0;
    segmentLimit[i] = 0;
    if (std::fabs(rest[i]) <= config.toleranceDegrees) {
      continue;  // held where it is
    }
    // Both wheels end together: each runs at the power its share of the way needs.
    int p = static_cast<int>(std::lround(power * std::fabs(rest[i]) / most));
    p = std::min(100, std::max(kLeastPower, p));
    double aimed = std::fabs(rest[i]) - overshoot * p;
    segmentPower[i] = static_cast<int>(sign(rest[i])) * p;
    segmentLimit[i] = std::max(1L, std::lround(aimed));
    slowest = std::min(slowest, static_cast<double>(p));
  }
  if (segmentLimit[0] == 0 && segmentLimit[1] == 0) {
    phase = Phase::Idle;  // nothing to do after all
    legs.pop_front();
    return kBrickOk;
  }
  double seconds = most / slowest;  // at a tenth of nominal speed
  deadline = std::chrono::steady_clock::now() +
             std::chrono::milliseconds(static_cast<long>((seconds + kMoveSlackSeconds) * 1000));
  double s = config.reversed ? -1 : 1;
  long code = wheels.run(
      static_cast<int>(s * segmentPower[0]), static_cast<std::uint32_t>(segmentLimit[0]),
      static_cast<int>(s * segmentPower[1]), static_cast<std::uint32_t>(segmentLimit[1]));
  return code != kBrickOk ? fail(code) : kBrickOk;
}

void Pilot::learn(double left, double right) {
  double now[2] = {left, right};
  for (int i = 0; i < 2; ++i) {
    if (segmentLimit[i] == 0) {
      continue;
    }
    double moved = (now[i] - segmentFrom[i]) * sign(segmentPower[i]);
    double past = (moved - segmentLimit[i]) / std::abs(segmentPower[i]);
    // Half the old guess and half what was seen: one odd move does not throw it far.
    overshoot = std::min(2.0, std::max(0.0, (overshoot + past) / 2));
  }
}

}  // namespace Lib
}  // namespace Brick
