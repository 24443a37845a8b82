#include "sim/Robot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "protocol/Nxt.h"

namespace Sim {

namespace {

const double kPi = 3.14159265358979323846;
const double kStep = 0.005;  // integration step, seconds
const std::size_t kMaxPath = 200000;
// A picture numbers a few hundred events at most: beyond this many only their count goes on,
// so that a long run (a tone every few telegrams, say) keeps its memory flat.
const std::size_t kMaxEvents = 2000;

double radians(double degrees) {
  return degrees * kPi / 180;
}

// Adds whole degrees to a signed 32-bit counter the way the brick's counters wrap.
void count(std::int32_t& counter, long long delta) {
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) +
                                      static_cast<std::uint32_t>(delta));
}

}  // namespace

Robot::Robot(const World& world, Clock& source)
    : map(world),
      clock(source),
      slip(world.slip.lost, world.slip.error, world.slip.seed),
      where{world.robot.x, world.robot.y, world.robot.heading} {
  time = 0;
  trail.push_back(PathPoint{0, where.x, where.y});
}

void Robot::attach(VirtualBrick& target) {
  brick = &target;
  brick->setEnvironment(this);
  brick->ultrasonicLatencySeconds = kUltrasonicLatencySeconds;
  brick->batteryMillivolts = static_cast<int>(batteryMillivolts);
  // The world's programs stand in flash as small files a host can list, fetch and start.
  for (const std::string& name : map.programs) {
    std::string body = "program " + name + "\n";
    brick->flash.store(name, Bytes(body.begin(), body.end()));
  }
  for (const World::MailboxAnswer& a : map.answers) {
    brick->program.rules.push_back(BrickProgram::Rule{a.inbox, a.outbox, a.prefix});
  }
  // A port without a device of the world's keeps the ultrasonic sensor.
  brick->devices = {};
  brick->sonarFitted = {{true, true, true, true}};
  for (const World::Device& d : map.devices) {
    brick->devices[static_cast<std::size_t>(d.port)] = I2cModel::make(d.kind);
    brick->sonarFitted[static_cast<std::size_t>(d.port)] = d.kind == "ultrasonic";
  }
}

void Robot::advance() {
  double now = clock.now();
  if (now <= time) {
    return;
  }
  // Whole steps, then the remainder, so that the same times give the same path.
  while (now - time > kStep) {
    step(kStep);
  }
  step(now - time);
  if (brick != nullptr) {
    brick->switchedOff();  // a brick that sleeps stops its motors even with no host asking
  }
}

void Robot::switchedOff() {
  for (Motor& m : motors) {
    m.drive = MotorDrive::Drive::Coast;
  }
  mark("lost", "brick switched itself off: no KEEPALIVE within its sleep time");
}

void Robot::step(double dt) {
  if (dt <= 0) {
    return;
  }
  keepPairsInStep();
  double before[3];
  double load = 0;
  for (int p = 0; p < 3; ++p) {
    before[p] = motors[static_cast<std::size_t>(p)].angle;
    stepMotor(p, dt);
    load += std::fabs(motors[static_cast<std::size_t>(p)].speed) / kDegreesPerSecondPerPower;
  }
  time += dt;
  int left = map.robot.leftPort;
  int right = map.robot.rightPort;
  move(slip.travel(motors[static_cast<std::size_t>(left)].angle - before[left]),
       slip.travel(motors[static_cast<std::size_t>(right)].angle - before[right]));
  feel(dt);

  // A full battery lasts hours idle and about an hour driving flat out.
  batteryMillivolts = std::max(6000.0, batteryMillivolts - dt * (0.2 + 0.004 * load));
  if (brick != nullptr) {
    brick->batteryMillivolts = static_cast<int>(std::lround(batteryMillivolts));
    bool touchFitted = false;
    for (const InputState& in : brick->inputs) {
      touchFitted = touchFitted || in.type == Nxt::kSwitch;
    }
    World::Point contact{where.x, where.y};
    bool now = touchFitted && bumperContact(&contact);
    if (now && !pressed) {
      markAt("touch", "bumper closed", contact);  // where the bumper met the wall
    }
    pressed = now;
  }
}

void Robot::stepMotor(int port, double dt) {
  Motor& m = motors[static_cast<std::size_t>(port)];
  int partner = m.partner;  // finishing forgets it
  if (held(port)) {
    m.speed = 0;  // jammed: powered or not, it does not turn, and its run goes on
  } else if (m.step(dt, batteryMillivolts)) {
    // The goal is reached: the run state turns idle and the motor coasts on. A partner still
    // running ends at its own goal (a moment later when its telegram came later); the pivot of
    // a turn, held still, ends with the move.
    tellRunState(port);
    if (partner >= 0) {
      // The pair ends together: the regulator has kept them in step, so both coast from here.
      motors[static_cast<std::size_t>(partner)].finish();
      tellRunState(partner);
    }
  } else if (brick != nullptr &&
             brick->outputs[static_cast<std::size_t>(port)].runState != m.runState) {
    tellRunState(port);  // a ramp-up that has reached its speed runs on
  }
  long long whole = static_cast<long long>(std::floor(m.angle + 1e-9));
  long long delta = whole - m.whole;
  m.whole = whole;
  if (delta != 0 && brick != nullptr) {
    OutputState& out = brick->outputs[static_cast<std::size_t>(port)];
    count(out.tachoCount, delta);
    count(out.blockTachoCount, delta);
    count(out.rotationCount, delta);
  }
}

void Robot::keepPairsInStep() {
  // The sync regulator holds the pair's positions together: the wheel ahead slows and the one
  // behind speeds up, in proportion to how far apart they are (the one whose telegram came
  // first has started alone).
  const double kGain = 20;  // per second
  for (Motor& m : motors) {
    m.trim = 0;
    if (m.partner < 0 || m.drive != MotorDrive::Drive::Run) {
      continue;
    }
    const Motor& other = motors[static_cast<std::size_t>(m.partner)];
    if (other.drive != MotorDrive::Drive::Run) {
      continue;
    }
    double apart = m.progress() - other.progress();
    m.trim = -kGain * apart / 2 * m.way() * m.share();
  }
}

void Robot::tellRunState(int port) {
  if (brick != nullptr) {
    brick->outputs[static_cast<std::size_t>(port)].runState =
        motors[static_cast<std::size_t>(port)].runState;
  }
}

void Robot::synchronise(int port, const OutputState& state) {
  if (brick == nullptr) {
    return;
  }
  int other = -1;
  for (int q = 0; q < 3; ++q) {
    const OutputState& o = brick->outputs[static_cast<std::size_t>(q)];
    if (q != port && o.regulation == Nxt::kRegulationMotorSync &&
        o.runState != Nxt::kRunStateIdle && (o.mode & Nxt::kModeMotorOn) != 0 &&
        o.power == state.power) {
      other = q;
    }
  }
  if (other < 0) {
    return;  // the partner's telegram is still to come; until then this motor runs alone
  }
  // The regulator locks the pair's positions: the wheel on the turn's inner side runs slower
  // by the turn ratio, standing still at 50 and running backwards beyond, and both end their
  // move at the same moment. A positive ratio slows the higher-numbered port.
  int first = std::min(port, other);
  int second = std::max(port, other);
  int ratio = std::max(-100, std::min(100, static_cast<int>(state.turnRatio)));
  int inner = ratio > 0 ? second : first;
  int outer = inner == first ? second : first;
  Motor& lead = motors[static_cast<std::size_t>(outer)];
  Motor& slow = motors[static_cast<std::size_t>(inner)];
  lead.partner = inner;
  slow.partner = outer;
  slow.scaleRun(1.0 - 2.0 * std::abs(ratio) / 100.0);
}

void Robot::move(double leftDegrees, double rightDegrees) {
  double radius = map.robot.wheelDiameter / 2;
  double dl = radians(leftDegrees) * radius;
  double dr = radians(rightDegrees) * radius;
  double ds = (dl + dr) / 2;
  double turn = (dr - dl) / map.robot.track * 180 / kPi;
  stepDistance = ds;
  stepTurn = turn;
  double mid = radians(where.heading + turn / 2);
  World::Point next{where.x + ds * std::cos(mid), where.y + ds * std::sin(mid)};
  // A turn is one event however many steps it takes: marked when the robot drives on.
  turned += turn;
  if (std::fabs(turn) < 0.05 && ds > 0.01) {
    if (std::fabs(turned) >= kTurnMark) {
      char text[48];
      std::snprintf(text, sizeof text, "turned %.0f degrees %s", std::fabs(turned),
                    turned > 0 ? "left" : "right");
      mark("turn", text);
    }
    turned = 0;
  }
  where.heading = std::fmod(where.heading + turn, 360.0);
  if (where.heading < 0) {
    where.heading += 360;
  }
  double clearance = map.wallDistance(next);
  if (ds != 0 && clearance < map.robot.bodyRadius &&
      clearance < map.wallDistance(World::Point{where.x, where.y})) {
    stepDistance = 0;
    // Against a wall the wheels slip: the robot turns on the spot but goes no further.
    // One mark per encounter, not one per step of pushing.
    const Event* last = nullptr;
    for (auto e = log.rbegin(); e != log.rend() && last == nullptr; ++e) {
      last = e->kind == "bump" ? &*e : nullptr;
    }
    if (!blocked && (last == nullptr || std::hypot(last->x - where.x, last->y - where.y) > 5)) {
      mark("bump", "against a wall");
    }
    blocked = true;
  } else {
    if (ds != 0) {
      blocked = false;
    }
    travelled += std::hypot(next.x - where.x, next.y - where.y);
    where.x = next.x;
    where.y = next.y;
  }
  record(false);
}

void Robot::record(bool force) {
  const PathPoint& last = trail.back();
  if (trail.size() < kMaxPath && (force || std::hypot(where.x - last.x, where.y - last.y) >= 0.5)) {
    trail.push_back(PathPoint{time, where.x, where.y});
  }
}

void Robot::mark(const std::string& kind, const std::string& text) {
  markAt(kind, text, World::Point{where.x, where.y});
}

void Robot::markAt(const std::string& kind, const std::string& text, World::Point at) {
  ++counted[kind];
  if (log.size() < kMaxEvents) {
    log.push_back(Event{time, at.x, at.y, kind, text});
  }
}

void Robot::outputChanged(int port, OutputState& state) {
  if (port < 0 || port > 2) {
    return;
  }
  Motor& m = motors[static_cast<std::size_t>(port)];
  state.runState = m.command(state);
  if (m.drive == MotorDrive::Drive::Run && state.regulation == Nxt::kRegulationMotorSync) {
    synchronise(port, state);
  }
}

void Robot::tachoCountReset(int port) {
  if (port >= 0 && port <= 2) {
    motors[static_cast<std::size_t>(port)].clearGoal();
  }
}

World::Point Robot::ahead(double distance, double angleOffset) const {
  double a = radians(where.heading + angleOffset);
  return World::Point{where.x + distance * std::cos(a), where.y + distance * std::sin(a)};
}

void Robot::tonePlayed(const Tone& tone) {
  toneUntil = time + tone.duration / 1000.0;
  char text[64];
  std::snprintf(text, sizeof text, "%d Hz, %d ms", tone.frequency, tone.duration);
  mark("tone", text);
}

std::size_t Robot::eventCount(const std::string& kind) const {
  auto found = counted.find(kind);
  return found == counted.end() ? 0 : found->second;
}

double Robot::motorAngle(int port) const {
  return motors.at(static_cast<std::size_t>(port)).angle;
}

std::string Robot::summary() const {
  char line[256];
  std::string out;
  std::snprintf(line, sizeof line,
                "path: %.1f s, %.0f cm driven, from (%.0f, %.0f) heading %.0f to (%.0f, %.0f) "
                "heading %.0f\n",
                time, travelled, map.robot.x, map.robot.y, map.robot.heading, where.x, where.y,
                where.heading);
  out += line;
  std::snprintf(line, sizeof line, "events: %zu touch, %zu bump, %zu tone\n", eventCount("touch"),
                eventCount("bump"), eventCount("tone"));
  out += line;
  // Waypoints about every 40 cm of path, so that a run reads as a route.
  out += "waypoints:";
  double since = 1e9;
  int shown = 0;
  for (std::size_t i = 0; i < trail.size(); ++i) {
    if (i > 0) {
      double d = std::hypot(trail[i].x - trail[i - 1].x, trail[i].y - trail[i - 1].y);
      since += d;
    }
    if ((since >= 40 || i + 1 == trail.size()) && shown < 60) {
      std::snprintf(line, sizeof line, " (%.0f,%.0f)", trail[i].x, trail[i].y);
      out += line;
      since = 0;
      ++shown;
    }
  }
  out += "\n";
  return out;
}

}  // namespace Sim
