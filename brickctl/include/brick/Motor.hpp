/// @file
/// @brief brick::Motor, one motor on an output port.
#ifndef BRICK_MOTOR_HPP
#define BRICK_MOTOR_HPP

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

/// @brief One motor, got from Brick::motor(). A small handle: copy it freely, but use it only
/// while its brick::Brick is open.
///
/// Moves are speed-regulated: the brick keeps the speed under load. Power is -100 to 100,
/// negative backwards; a value outside that range is refused with Errc::bad_value before
/// anything is sent. Each call is one exchange with the brick (wait() polls).
class BRICKCTL_API Motor {
 public:
  /// @brief The port the motor is on.
  /// @return its port.
  Port port() const noexcept { return where; }

  /// @brief Runs the motor at `power` until told otherwise.
  /// @param power -100 to 100, negative backwards.
  /// @throws brick::Error Errc::bad_value for a power out of range, a link failure, or the
  /// brick's refusal.
  void run(int power) {
    std::error_code ec;
    run(power, ec);
    Error::throwIf(ec, "brick::Motor::run");
  }
  /// @brief Same as run(int), setting `ec` instead of throwing.
  /// @param power -100 to 100, negative backwards.
  /// @param ec cleared on success, else the failure.
  void run(int power, std::error_code& ec) noexcept;

  /// @brief Turns the motor by `degrees` at `power`, then holds it there (braked); returns at
  /// once: wait() waits for the end of the move.
  /// @param power -100 to 100, negative backwards.
  /// @param degrees how far, 1 or more.
  /// @throws brick::Error Errc::bad_value for a power or a number of degrees out of range, a
  /// link failure, or the brick's refusal.
  void turn(int power, long degrees) {
    std::error_code ec;
    turn(power, degrees, ec);
    Error::throwIf(ec, "brick::Motor::turn");
  }
  /// @brief Same as turn(int, long), setting `ec` instead of throwing.
  /// @param power -100 to 100, negative backwards.
  /// @param degrees how far, 1 or more.
  /// @param ec cleared on success, else the failure.
  void turn(int power, long degrees, std::error_code& ec) noexcept;

  /// @brief Stops the motor.
  /// @param brake true holds it still; false lets it coast.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void stop(bool brake = true) {
    std::error_code ec;
    stop(brake, ec);
    Error::throwIf(ec, "brick::Motor::stop");
  }
  /// @brief Same as stop(bool), setting `ec` instead of throwing.
  /// @param brake true holds it still; false lets it coast.
  /// @param ec cleared on success, else the failure.
  void stop(bool brake, std::error_code& ec) noexcept;

  /// @brief Waits until the motor's move has ended, asking the brick every 20 ms.
  /// @param timeout how long to wait at most.
  /// @return true when the move ended, false when `timeout` ran out first.
  /// @throws brick::Error a link failure, or the brick's refusal.
  bool wait(std::chrono::milliseconds timeout) {
    std::error_code ec;
    bool ended = wait(timeout, ec);
    Error::throwIf(ec, "brick::Motor::wait");
    return ended;
  }
  /// @brief Same as wait(std::chrono::milliseconds), setting `ec` instead of throwing.
  /// @param timeout how long to wait at most.
  /// @param ec cleared unless the link or the brick failed (a time-out is no failure).
  /// @return true when the move ended; false when `timeout` ran out or `ec` is set.
  bool wait(std::chrono::milliseconds timeout, std::error_code& ec) noexcept;

  /// @brief The motor's position: degrees turned since the brick started or the last
  /// resetPosition(), negative backwards.
  /// @return the position in degrees.
  /// @throws brick::Error a link failure, or the brick's refusal.
  long position() {
    std::error_code ec;
    long degrees = position(ec);
    Error::throwIf(ec, "brick::Motor::position");
    return degrees;
  }
  /// @brief Same as position(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the position in degrees; 0 when `ec` is set.
  long position(std::error_code& ec) noexcept;

  /// @brief Makes the motor's present position 0.
  /// @throws brick::Error a link failure, or the brick's refusal.
  void resetPosition() {
    std::error_code ec;
    resetPosition(ec);
    Error::throwIf(ec, "brick::Motor::resetPosition");
  }
  /// @brief Same as resetPosition(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  void resetPosition(std::error_code& ec) noexcept;

 private:
  friend class Brick;
  Motor(Comm::SerialCommunication* link, Port port) noexcept : link(link), where(port) {}

  Comm::SerialCommunication* link;
  Port where;
};

}  // namespace brick

#endif
