/// @file
/// @brief brick::MotorPair, two motors driven in step.
#ifndef BRICK_MOTORPAIR_HPP
#define BRICK_MOTORPAIR_HPP

#include <chrono>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Port.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief Two motors the brick keeps in step, got from Brick::pair(): a two-wheeled robot
/// drives straight, curves or spins as the turn ratio says, whatever the wheels' loads. Copy it
/// freely, but use it only while its brick::Brick is open.
///
/// Power is -100 to 100 and the turn ratio -100 to 100: 0 drives straight, 50 stops the inner
/// wheel, 100 spins on the spot; positive turns towards the second motor's side. Values out of
/// range are refused with Errc::bad_value before anything is sent.
class BRICKCTL_API MotorPair {
 public:
  /// @brief The first motor's port.
  /// @return the port.
  Port first() const noexcept { return one; }
  /// @brief The second motor's port.
  /// @return the port.
  Port second() const noexcept { return two; }

  /// @brief Drives until told otherwise.
  /// @param power -100 to 100, negative backwards.
  /// @param turnRatio -100 to 100.
  /// @throws brick::Error Errc::bad_value, a link failure, or the brick's refusal.
  void run(int power, int turnRatio = 0) {
    std::error_code ec;
    run(power, turnRatio, ec);
    Error::throwIf(ec, "brick::MotorPair::run");
  }
  /// @brief Same as run(int, int), setting `ec` instead of throwing.
  /// @param power -100 to 100, negative backwards.
  /// @param turnRatio -100 to 100.
  /// @param ec cleared on success, else the failure.
  void run(int power, int turnRatio, std::error_code& ec) noexcept;

  /// @brief Drives until the leading motor has turned `degrees`, then holds (braked); returns
  /// at once: wait() waits for the end.
  /// @param power -100 to 100, negative backwards.
  /// @param degrees how far the leading motor turns, 1 or more.
  /// @param turnRatio -100 to 100.
  /// @throws brick::Error Errc::bad_value, a link failure, or the brick's refusal.
  void turn(int power, long degrees, int turnRatio = 0) {
    std::error_code ec;
    turn(power, degrees, turnRatio, ec);
    Error::throwIf(ec, "brick::MotorPair::turn");
  }
  /// @brief Same as turn(int, long, int), setting `ec` instead of throwing.
  /// @param power -100 to 100, negative backwards.
  /// @param degrees how far the leading motor turns, 1 or more.
  /// @param turnRatio -100 to 100.
  /// @param ec cleared on success, else the failure.
  void turn(int power, long degrees, int turnRatio, std::error_code& ec) noexcept;

  /// @brief Stops both motors.
  /// @param brake true holds them still; false lets them coast.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void stop(bool brake = true) {
    std::error_code ec;
    stop(brake, ec);
    Error::throwIf(ec, "brick::MotorPair::stop");
  }
  /// @brief Same as stop(bool), setting `ec` instead of throwing.
  /// @param brake true holds them still; false lets them coast.
  /// @param ec cleared on success, else the failure.
  void stop(bool brake, std::error_code& ec) noexcept;

  /// @brief Waits until both motors' move has ended, asking the brick every 20 ms.
  /// @param timeout how long to wait at most.
  /// @return true when the move ended, false when `timeout` ran out first.
  /// @throws brick::Error a link failure, or the brick's refusal.
  bool wait(std::chrono::milliseconds timeout) {
    std::error_code ec;
    bool ended = wait(timeout, ec);
    Error::throwIf(ec, "brick::MotorPair::wait");
    return ended;
  }
  /// @brief Same as wait(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param timeout how long to wait at most.
  /// @param ec cleared unless the link or the brick failed (a time-out is no failure).
  /// @return true when the move ended; false when `timeout` ran out or `ec` is set.
  bool wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept;

 private:
  friend class Brick;
  MotorPair(Comm::SerialCommunication* link, Port first, Port second) noexcept
      : link(link), one(first), two(second) {}

  Comm::SerialCommunication* link;
  Port one;
  Port two;
};

}  // namespace brick

#endif
