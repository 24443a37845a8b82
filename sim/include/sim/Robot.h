// A two-wheel robot built around a virtual brick, driving in a World: the motors named by the
// world turn its wheels, the free motor turns an arm, and whatever sensor a port is set to
// reads the world at the robot's front (bumper, light and colour spot on the floor,
// ultrasonic beam ahead). It keeps the robot's path and the events worth marking on a map.
//
// The robot only moves when advance() is called: the virtual brick calls it before it answers
// each telegram, and a host may call it in between. Time comes from a Clock.
#ifndef SIM_ROBOT_H
#define SIM_ROBOT_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/Environment.h"
#include "sim/MotorDrive.h"
#include "sim/VirtualBrick.h"
#include "sim/WheelSlip.h"
#include "sim/World.h"

namespace Sim {

class Robot : public Environment {
 public:
  struct Pose {
    double x;
    double y;
    double heading;  // degrees, 0 along +x, counter-clockwise
  };
  struct PathPoint {
    double time;
    double x;
    double y;
  };
  struct Event {
    double time;
    double x;
    double y;
    std::string kind;  // "touch", "tone", "bump", "turn", "lost"
    std::string text;
  };

  // A motor's speed per unit of power at a full battery (MotorDrive has the model).
  static constexpr double kDegreesPerSecondPerPower = MotorDrive::kDegreesPerSecondPerPower;
  // How long a distance measurement keeps the low-speed bus busy.
  static constexpr double kUltrasonicLatencySeconds = 0.004;
  // The ultrasonic beam: from this far ahead of the centre, this many degrees either side.
  static constexpr double kSonarAhead = 7.0;
  static constexpr double kSonarHalfAngle = 15.0;
  // A turn is marked once the heading has changed this much between two straight runs.
  static constexpr double kTurnMark = 30.0;

  Robot(const World& world, Clock& clock);
  Robot(const Robot&) = delete;
  Robot& operator=(const Robot&) = delete;

  // Makes this robot the brick's environment: its motors, sensors, battery and bus timing.
  void attach(VirtualBrick& brick);

  void advance() override;
  void outputChanged(int port, OutputState& state) override;
  void tachoCountReset(int port) override;
  void readInput(int port, InputState& state) override;
  std::uint8_t ultrasonicDistance(int port) override;
  void tonePlayed(const Tone& tone) override;
  void switchedOff() override;
  double worldSeconds() const override { return time; }
  Senses senses() const override;

  const World& world() const { return map; }
  Pose pose() const { return where; }
  const std::vector<PathPoint>& path() const { return trail; }
  // The first 2000 events of the run; eventCount() counts them all.
  const std::vector<Event>& events() const { return log; }
  std::size_t eventCount(const std::string& kind) const;
  double distanceTravelled() const { return travelled; }
  // Total degrees a motor has turned since the start, with the fraction the counters hide.
  double motorAngle(int port) const;
  bool bumperPressed() const;
  // The nearest echo the ultrasonic beam gets now, in cm (255: none).
  std::uint8_t sonarDistance() const;
  // The brick attached, if any.
  const VirtualBrick* attached() const { return brick; }
  // Where the light and colour sensors' spot falls on the floor.
  World::Point spot() const;
  // Marks an event the robot cannot see itself (a host gone, say) where the robot is now.
  void note(const std::string& kind, const std::string& text) { mark(kind, text); }
  // Floor colour under the light and colour sensors' spot.
  World::Colour floorColour() const;
  // The path in a few lines: start, end, distance, events, waypoints.
  std::string summary() const;

 private:
  struct Motor : MotorDrive {
    long long whole = 0;  // the whole degrees already passed on to the counters
  };

  void step(double dt);
  void synchronise(int port, const OutputState& state);
  void stepMotor(int port, double dt);
  void move(double leftDegrees, double rightDegrees);
  void tellRunState(int port);
  void keepPairsInStep();
  void record(bool force);
  void mark(const std::string& kind, const std::string& text);
  void markAt(const std::string& kind, const std::string& text, World::Point at);
  bool bumperContact(World::Point* contact) const;
  // Whether the world holds the motor on `port` still now ("hold" lines).
  bool held(int port) const;
  World::Point ahead(double distance, double angleOffset = 0) const;
  double spotReflectance(int channel) const;  // -1: brightness for the light sensor

  World map;
  Clock& clock;
  VirtualBrick* brick = nullptr;
  std::array<Motor, 3> motors{};
  WheelSlip slip;
  Pose where;
  double time = 0;
  double travelled = 0;
  double batteryMillivolts = 9000;
  double toneUntil = -1;
  bool blocked = false;
  bool pressed = false;
  double turned = 0;  // degrees turned since the last straight run or turn mark
  // The robot's motion as its inertial sensors feel it, smoothed over a few steps.
  double stepDistance = 0;  // cm the last step moved forward
  double stepTurn = 0;      // degrees it turned, counter-clockwise
  double velocity = 0;      // cm/s
  double forwardAccel = 0;  // cm/s^2
  double turnRate = 0;      // degrees a second, counter-clockwise
  void feel(double dt);
  std::vector<PathPoint> trail;
  std::vector<Event> log;
  std::map<std::string, std::size_t> counted;  // every event of the run, by kind
};

}  // namespace Sim

#endif
