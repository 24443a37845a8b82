// Drives a two-wheel robot in centimetres and degrees: travel, rotate on the spot, arc, go to
// a point, stop; each either waits until the move is over or returns at once, the program then
// calling update() from its own loop (or waitUntilDone()) to carry the move through. The pose
// is reckoned from the wheels' counts as they turn (Odometry).
//
// A motor the brick stops at a tacho limit coasts past it, further the faster it ran. So a
// move is aimed short by the overshoot the pilot has seen so far (learnt per unit of power from
// every move it ends), and once both wheels are still, what is left either way is trimmed at
// low power, a few times at most. The wheels' goals are kept as absolute counts from move to
// move, so what one move leaves over is made good by the next instead of adding up. Where the
// brick stops the motors is its own business (Bluetooth's latency does not enter); the pilot
// only watches, and brakes a wheel that runs far past its goal.
//
// One thread drives a Pilot; other threads may use the brick between its exchanges
// (docs/threads.md). Every operation returns 0 or a code of BrickCode.h.
#ifndef BRICK_PILOT_H
#define BRICK_PILOT_H

#include <chrono>
#include <deque>

#include "brick/Export.h"
#include "brick/Odometry.h"
#include "brick/Pose.h"
#include "brick/WheelPair.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Pilot {
 public:
  struct Config {
    double wheelDiameter = 5.6;  // cm
    double track = 12.0;         // cm between the wheels
    int leftPort = 1;            // B
    int rightPort = 2;           // C
    bool reversed = false;       // the motors turn backwards to drive the robot forwards
    int power = 50;              // of the faster wheel in a move
    int trimPower = 12;          // of the corrections after a move
    int toleranceDegrees = 2;    // per wheel: a move is over within this of its goal
    int maxTrims = 4;
    int pollMs = 20;
  };

  Pilot(Block& block, const Config& config);
  Pilot(Comm::SerialCommunication& link, const Config& config);

  // Each queues its move behind those still to come; with `wait` it returns when all are over.
  long travel(double cm, bool wait = true);
  // Counter-clockwise for positive degrees, on the spot.
  long rotate(double degrees, bool wait = true);
  // Along a circle of `radius` cm whose centre is on the left (positive) or right (negative),
  // for `degrees` of it (negative: backwards). A radius of 0 rotates.
  long arc(double radius, double degrees, bool wait = true);
  // Faces the point (cm, in the pose's frame) and drives to it.
  long goTo(double x, double y, bool wait = true);
  // Brakes both wheels and forgets the moves still to come.
  long stop();

  // One look at the wheels: updates the pose, and carries the move on (trims, the next move).
  long update();
  // update() every pollMs until no move is left, for at most `timeoutMs`.
  long waitUntilDone(int timeoutMs = 120000);
  bool moving() const { return phase != Phase::Idle || !legs.empty(); }

  const Pose& pose() const { return odometry.pose(); }
  void setPose(const Pose& at) { odometry.setPose(at); }
  // What the pilot expects a wheel to run past its tacho limit, per unit of power (degrees).
  double overshootPerPower() const { return overshoot; }
  // Trims the last move took.
  int trims() const { return trimCount; }

 private:
  enum class Phase { Idle, Moving };
  enum class Kind { Wheels, Face, Drive };
  struct Leg {
    Kind kind;
    double a;  // left wheel degrees, or x
    double b;  // right wheel degrees, or y
  };

  long queue(const Leg& leg, bool wait);
  long beginLeg(double left, double right);
  long startSegment(int power, double left, double right);
  void learn(double left, double right);
  long fail(long code);

  Comm::SerialCommunication* link;
  Config config;
  WheelPair wheels;
  Odometry odometry;
  std::deque<Leg> legs;
  Phase phase = Phase::Idle;
  bool started = false;
  double goal[2] = {0, 0};  // absolute counts the wheels are to reach
  double segmentFrom[2] = {0, 0};
  int segmentPower[2] = {0, 0};
  long segmentLimit[2] = {0, 0};
  double last[2] = {0, 0};
  bool runaway = false;
  int trimCount = 0;
  double overshoot = 0;
  std::chrono::steady_clock::time_point deadline;
};

}  // namespace Lib
}  // namespace Brick

#endif
