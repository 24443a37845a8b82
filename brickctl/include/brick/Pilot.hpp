/// @file
/// @brief brick::Pilot, a two-wheeled robot driven in centimetres and degrees.
#ifndef BRICK_PILOT_HPP
#define BRICK_PILOT_HPP

#include <chrono>
#include <memory>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Port.hpp"
#include "brick/Pose.hpp"

namespace brick {

class Brick;

/// @brief Drives a two-wheeled robot in centimetres and degrees: travel, rotate on the spot,
/// arc, go to a point, stop; and reckons its brick::Pose from the wheels' counts as they turn.
///
/// Each move waits until the robot stands still (Wait::untilDone), or returns as soon as it has
/// started (Wait::no), the program then calling update() from its own loop, or wait(), to carry
/// it through. Moves queue behind those still to come. A motor the brick stops at its limit
/// coasts past it: the pilot aims each move short by the overshoot it has seen so far and trims
/// what is left at low power, so the robot ends within a few degrees of a wheel's goal.
///
/// Move-only. One thread drives a Pilot; other threads may use the same brick::Brick between
/// its exchanges (docs/threads.md). The library starts no thread for it. Use it only while its
/// brick::Brick is open. A Pilot moved from, or made with its `std::error_code` set, sends
/// nothing: each call sets Errc::not_open.
class BRICKCTL_API Pilot {
 public:
  /// @brief The robot's build and how it drives. Checked when the Pilot is made.
  struct Config {
    double wheelDiameter = 5.6;  ///< centimetres, more than 0
    double track = 12.0;         ///< centimetres between the wheels' contact points, more than 0
    Port left = Port::B;         ///< the left wheel's motor
    Port right = Port::C;        ///< the right wheel's motor, not the left one's
    bool reversed = false;       ///< the motors turn backwards to drive the robot forwards
    int power = 50;              ///< of the faster wheel in a move, 1 to 100
    int trimPower = 12;          ///< of the corrections after a move, 1 to 100
    int toleranceDegrees = 2;    ///< per wheel: a move is over within this of its goal, 0 to 360
    int maxTrims = 4;            ///< corrections a move takes at most, 0 to 100
    /// How often a waiting move asks the brick how far the wheels are, 0 to 10 s: 0 asks again
    /// as soon as the last reply came (for the virtual brick's stepped clock).
    std::chrono::milliseconds pollPeriod{20};
  };

  /// @brief Whether a move returns when it is over or as soon as it has started.
  enum class Wait {
    untilDone,  ///< return when every move queued is over and the robot stands still
    no,         ///< return once the move is queued (and started, if none was running)
  };

  /// @brief A pilot for the robot `config` describes; sends nothing.
  /// @param brick the open brick whose motors drive the wheels.
  /// @param config the robot's build.
  /// @throws brick::Error Errc::bad_value for a diameter, track, power, tolerance, trim count or
  /// poll period out of range, Errc::bad_port for the same port twice, Errc::not_open for a
  /// moved-from brick.
  Pilot(Brick& brick, const Config& config);
  /// @brief Same as Pilot(Brick&, const Config&), setting `ec` instead of throwing.
  /// @param brick the open brick.
  /// @param config the robot's build.
  /// @param ec cleared on success, else the failure; the Pilot is then unusable.
  Pilot(Brick& brick, const Config& config, std::error_code& ec) noexcept;
  /// @brief Takes over `other`'s robot, moves and pose; `other` is left unusable.
  /// @param other the pilot to take over.
  Pilot(Pilot&& other) noexcept;
  /// @brief Takes over `other`'s robot, moves and pose; `other` is left unusable.
  /// @param other the pilot to take over.
  /// @return this pilot.
  Pilot& operator=(Pilot&& other) noexcept;
  /// @brief Not copyable: two pilots would fight over the wheels.
  Pilot(const Pilot&) = delete;
  /// @brief Not copyable: two pilots would fight over the wheels.
  /// @return never.
  Pilot& operator=(const Pilot&) = delete;
  /// @brief Forgets the pilot; leaves the wheels as they are.
  ~Pilot();

  /// @brief Drives straight ahead (negative: backwards).
  /// @param cm how far, in centimetres.
  /// @param wait whether to return when the robot stands still or at once.
  /// @throws brick::Error Errc::bad_value for a distance that is not finite, Errc::wait_timeout
  /// when the moves took over 120 s (the wheels are then braked), a link failure, or the
  /// brick's refusal.
  void travel(double cm, Wait wait = Wait::untilDone) {
    std::error_code ec;
    travel(cm, wait, ec);
    Error::throwIf(ec, "brick::Pilot::travel");
  }
  /// @brief Same as travel(double, Wait), setting `ec` instead of throwing.
  /// @param cm how far, in centimetres.
  /// @param wait whether to return when the robot stands still or at once.
  /// @param ec cleared on success, else the failure.
  void travel(double cm, Wait wait, std::error_code& ec) noexcept;

  /// @brief Turns on the spot, counter-clockwise for positive degrees.
  /// @param degrees how far.
  /// @param wait whether to return when the robot stands still or at once.
  /// @throws brick::Error as travel(double, Wait) does.
  void rotate(double degrees, Wait wait = Wait::untilDone) {
    std::error_code ec;
    rotate(degrees, wait, ec);
    Error::throwIf(ec, "brick::Pilot::rotate");
  }
  /// @brief Same as rotate(double, Wait), setting `ec` instead of throwing.
  /// @param degrees how far, counter-clockwise positive.
  /// @param wait whether to return when the robot stands still or at once.
  /// @param ec cleared on success, else the failure.
  void rotate(double degrees, Wait wait, std::error_code& ec) noexcept;

  /// @brief Drives along a circle whose centre is `radius` cm to the left (positive) or to the
  /// right (negative), for `degrees` of it (negative: backwards). A radius of 0 rotates.
  /// @param radius centimetres, signed.
  /// @param degrees how much of the circle.
  /// @param wait whether to return when the robot stands still or at once.
  /// @throws brick::Error as travel(double, Wait) does.
  void arc(double radius, double degrees, Wait wait = Wait::untilDone) {
    std::error_code ec;
    arc(radius, degrees, wait, ec);
    Error::throwIf(ec, "brick::Pilot::arc");
  }
  /// @brief Same as arc(double, double, Wait), setting `ec` instead of throwing.
  /// @param radius centimetres, signed.
  /// @param degrees how much of the circle.
  /// @param wait whether to return when the robot stands still or at once.
  /// @param ec cleared on success, else the failure.
  void arc(double radius, double degrees, Wait wait, std::error_code& ec) noexcept;

  /// @brief Turns to face the point (`x`, `y`) of the pose's frame, then drives to it.
  /// @param x centimetres.
  /// @param y centimetres.
  /// @param wait whether to return when the robot stands still or at once.
  /// @throws brick::Error as travel(double, Wait) does.
  void goTo(double x, double y, Wait wait = Wait::untilDone) {
    std::error_code ec;
    goTo(x, y, wait, ec);
    Error::throwIf(ec, "brick::Pilot::goTo");
  }
  /// @brief Same as goTo(double, double, Wait), setting `ec` instead of throwing.
  /// @param x centimetres.
  /// @param y centimetres.
  /// @param wait whether to return when the robot stands still or at once.
  /// @param ec cleared on success, else the failure.
  void goTo(double x, double y, Wait wait, std::error_code& ec) noexcept;

  /// @brief Brakes both wheels and forgets the moves still to come; the next move starts from
  /// where the wheels stand.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void stop() {
    std::error_code ec;
    stop(ec);
    Error::throwIf(ec, "brick::Pilot::stop");
  }
  /// @brief Same as stop(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void stop(std::error_code& ec) noexcept;

  /// @brief One look at the wheels: updates the pose and carries the moves on (a correction,
  /// the next move). A program that moves with Wait::no calls it from its loop.
  /// @throws brick::Error a link failure, or the brick's refusal; the moves still to come are
  /// then forgotten.
  void update() {
    std::error_code ec;
    update(ec);
    Error::throwIf(ec, "brick::Pilot::update");
  }
  /// @brief Same as update(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void update(std::error_code& ec) noexcept;

  /// @brief Calls update() every Config::pollPeriod until no move is left.
  /// @param timeout how long to wait at most; the moves go on when it runs out.
  /// @return true when every move is over, false when `timeout` ran out first.
  /// @throws brick::Error a link failure, or the brick's refusal.
  bool wait(std::chrono::milliseconds timeout) {
    std::error_code ec;
    bool over = wait(timeout, ec);
    Error::throwIf(ec, "brick::Pilot::wait");
    return over;
  }
  /// @brief Same as wait(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param timeout how long to wait at most.
  /// @param ec cleared unless the link or the brick failed (a time-out is no failure).
  /// @return true when every move is over; false when `timeout` ran out or `ec` is set.
  bool wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept;

  /// @brief Whether a move is running or queued; asks the brick nothing.
  /// @return true until the last move is over or stop().
  bool moving() const noexcept;

  /// @brief Where the robot reckons it is, as of the last look at the wheels; asks the brick
  /// nothing, so it cannot fail.
  /// @return the pose; the start's when the Pilot is unusable.
  Pose pose() const noexcept;
  /// @brief Says where the robot is now: later poses are reckoned from this one (the wheels'
  /// counts are not touched). Asks the brick nothing.
  /// @param at the pose, in the frame goTo() then uses.
  void setPose(const Pose& at) noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace brick

#endif
