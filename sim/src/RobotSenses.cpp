// What the robot's sensors make of the world around it: the bumper against the walls, the
// light and colour spot on the floor, the ultrasonic beam ahead.
#include "sim/Robot.h"

#include <algorithm>
#include <cmath>

#include "protocol/Nxt.h"

namespace Sim {

namespace {

const double kSpotAhead = 7.0;  // light/colour spot, cm ahead of the centre
const double kSpotRadius = 1.0;
const double kSonarRange = 254.5;  // beyond this there is no echo: 255
// Nearer than this the echo returns while the sensor is still sending: it reads no less.
const double kSonarMinimum = 7.0;
const double kBumperReach = 1.0;  // the bumper closes this close to a wall
const double kDegreesPerRadian = 57.29577951308232;
const double kGravity = 981;             // cm/s^2
const double kInertialSmoothing = 0.05;  // s: a reading is not one step's jolt

bool analogType(std::uint8_t type) {
  return type != Nxt::kNoSensor && type != Nxt::kLowSpeed && type != Nxt::kLowSpeed9V &&
         (type < Nxt::kColorFull || type > Nxt::kColorNone);
}

// What an analog sensor reports for a level of 0 to 100, by its mode.
void analog(InputState& in, double percent) {
  percent = std::max(0.0, std::min(100.0, percent));
  in.valid = true;
  in.raw = static_cast<std::uint16_t>(std::lround(1023 - percent * 10.23));
  in.normalized = in.raw;
  switch (in.mode & 0xE0) {
    case Nxt::kRawMode:
      in.scaled = static_cast<std::int16_t>(in.raw);
      break;
    case Nxt::kBooleanMode:
      in.scaled = in.raw < 512 ? 1 : 0;
      break;
    default:
      in.scaled = static_cast<std::int16_t>(std::lround(percent));
      break;
  }
}

}  // namespace

bool Robot::bumperPressed() const {
  for (const World::Press& p : map.presses) {
    if (time >= p.at && time < p.at + p.seconds) {
      return true;
    }
  }
  return bumperContact(nullptr);
}

bool Robot::held(int port) const {
  for (const World::Hold& h : map.holds) {
    if (h.port == port && time >= h.at && time < h.at + h.seconds) {
      return true;
    }
  }
  return false;
}

World::Point Robot::spot() const {
  return ahead(kSpotAhead);
}

bool Robot::bumperContact(World::Point* contact) const {
  // A bumper bar across the robot's front half: it closes when a wall comes within reach of
  // the body anywhere within 80 degrees of straight ahead.
  for (const World::Wall& w : map.walls) {
    double dx = w.b.x - w.a.x;
    double dy = w.b.y - w.a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((where.x - w.a.x) * dx + (where.y - w.a.y) * dy) / len2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    double nx = w.a.x + t * dx - where.x;
    double ny = w.a.y + t * dy - where.y;
    if (std::hypot(nx, ny) >= map.robot.bodyRadius + kBumperReach) {
      continue;
    }
    double off =
        std::fabs(std::remainder(std::atan2(ny, nx) * kDegreesPerRadian - where.heading, 360.0));
    if (off <= 80) {
      if (contact != nullptr) {
        *contact = World::Point{where.x + nx, where.y + ny};
      }
      return true;
    }
  }
  return false;
}

World::Colour Robot::floorColour() const {
  return map.colourAt(ahead(kSpotAhead));
}

double Robot::spotReflectance(int channel) const {
  // The spot is a small disc: averaging five points gives a line's edge a gradient to follow.
  World::Point centre = ahead(kSpotAhead);
  const double d[5][2] = {
      {0, 0}, {kSpotRadius, 0}, {-kSpotRadius, 0}, {0, kSpotRadius}, {0, -kSpotRadius}};
  double sum = 0;
  for (const auto& o : d) {
    int rgb[3];
    World::rgb(map.colourAt(World::Point{centre.x + o[0], centre.y + o[1]}), rgb[0], rgb[1],
               rgb[2]);
    // The light sensor's red lamp and its photodiode favour red.
    sum += channel < 0 ? (0.5 * rgb[0] + 0.3 * rgb[1] + 0.2 * rgb[2]) / 255 : rgb[channel] / 255.0;
  }
  return sum / 5;
}

void Robot::feel(double dt) {
  double v = stepDistance / dt;
  double keep = std::exp(-dt / kInertialSmoothing);
  forwardAccel = keep * forwardAccel + (1 - keep) * (v - velocity) / dt;
  turnRate = keep * turnRate + (1 - keep) * stepTurn / dt;
  velocity = v;
}

Senses Robot::senses() const {
  Senses s;
  // North is the world's +y, up in the picture; a compass counts clockwise from it.
  s.compassHeading = std::fmod(450 - where.heading, 360.0);
  s.accelForward = forwardAccel / kGravity;
  // Turning, the robot pulls its sensors toward the centre of the turn.
  s.accelLeft = velocity * turnRate / kDegreesPerRadian / kGravity;
  s.accelUp = 1;
  s.turnRate = turnRate;
  if (map.hasBeacon) {
    World::Point from = ahead(kSonarAhead);
    double dx = map.beacon.x - from.x;
    double dy = map.beacon.y - from.y;
    s.beaconDistance = std::hypot(dx, dy);
    s.beaconBearing = std::remainder(where.heading - std::atan2(dy, dx) * kDegreesPerRadian, 360.0);
  }
  s.celsius = map.celsius;
  World::Colour under = floorColour();
  World::rgb(under, s.floorRed, s.floorGreen, s.floorBlue);
  s.floorColour = static_cast<int>(under);
  return s;
}

void Robot::readInput(int port, InputState& in) {
  in.valid = true;
  in.calibrated = false;
  in.calibratedValue = 0;
  const World::Device* fitted = map.deviceAt(port);
  if (fitted != nullptr && fitted->kind == "gyro" && analogType(in.type)) {
    // About a count per degree a second, rising as the robot turns clockwise, on an offset
    // that wanders as the sensor warms.
    double counts = fitted->gyroOffset + fitted->gyroDrift * time / 60 - turnRate;
    in.raw = static_cast<std::uint16_t>(std::lround(std::max(0.0, std::min(1023.0, counts))));
    in.normalized = in.raw;
    in.scaled = static_cast<std::int16_t>(in.raw);
    return;
  }
  switch (in.type) {
    case Nxt::kSwitch: {
      bool closed = bumperPressed();
      in.raw = closed ? 183 : 1023;
      in.normalized = in.raw;
      in.scaled =
          (in.mode & 0xE0) == Nxt::kRawMode ? static_cast<std::int16_t>(in.raw) : (closed ? 1 : 0);
      if ((in.mode & 0xE0) == Nxt::kPctFullScaleMode) {
        // Scaled from the raw value as for any analog sensor: a closed switch is not 100.
        in.scaled = static_cast<std::int16_t>(std::lround((1023 - in.raw) * 100 / 1023.0));
      }
      break;
    }
    case Nxt::kLightActive:
      analog(in, 22 + 40 * spotReflectance(-1));
      break;
    case Nxt::kLightInactive:
      analog(in, map.ambientLight * (0.3 + 0.7 * spotReflectance(-1)));
      break;
    case Nxt::kSoundDb:
    case Nxt::kSoundDba:
      // The brick's own speaker drowns the room while a tone plays.
      analog(in, time < toneUntil ? std::max(map.soundLevel, 80) : map.soundLevel);
      break;
    case Nxt::kColorFull:
      in.raw = in.normalized = 0;
      in.scaled = static_cast<std::int16_t>(floorColour());
      break;
    case Nxt::kColorRed:
    case Nxt::kColorGreen:
    case Nxt::kColorBlue: {
      // Each lamp sees its own share of the floor's colour, scaled to 0 to 100.
      double level = spotReflectance(in.type - Nxt::kColorRed) * 100;
      analog(in, level);
      break;
    }
    case Nxt::kColorNone:
      analog(in, map.ambientLight);
      break;
    case Nxt::kLowSpeed:
    case Nxt::kLowSpeed9V:
      in.raw = in.normalized = 0;
      in.scaled = 0;
      break;
    default:
      in.raw = in.normalized = 1023;
      in.scaled = 0;
      break;
  }
}

std::uint8_t Robot::ultrasonicDistance(int port) {
  (void)port;
  return sonarDistance();
}

std::uint8_t Robot::sonarDistance() const {
  // The beam is a cone: the nearest wall within 15 degrees of straight ahead answers.
  World::Point origin = ahead(kSonarAhead);
  double best = -1;
  for (double offset : {-15.0, -10.0, -5.0, 0.0, 5.0, 10.0, 15.0}) {
    double d = map.rayDistance(origin, where.heading + offset, kSonarRange);
    if (d >= 0 && (best < 0 || d < best)) {
      best = d;
    }
  }
  if (best < 0) {
    return 255;
  }
  return static_cast<std::uint8_t>(std::lround(std::max(best, kSonarMinimum)));
}

}  // namespace Sim
