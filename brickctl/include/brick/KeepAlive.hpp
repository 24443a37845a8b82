/// @file
/// @brief brick::KeepAlive, keeping a brick from switching itself off.
#ifndef BRICK_KEEPALIVE_HPP
#define BRICK_KEEPALIVE_HPP

#include <chrono>
#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/KeepAlive.h"

namespace brick {

class Brick;

/// @brief Keeps a brick awake from a loop the program already runs: a brick left without
/// telegrams for its sleep time switches itself off.
///
/// tick() sends nothing until a keep-alive is due, so calling it every turn of a loop costs
/// nothing; the first asks the brick for its sleep time, and from then on one goes every third
/// of it (every minute when the brick never sleeps). No thread is started. Use it only while
/// its brick::Brick is open.
class BRICKCTL_API KeepAlive {
 public:
  /// @brief A keep-alive for `brick`.
  /// @param brick the open brick.
  /// @param period how often to send; zero for a third of the brick's sleep time.
  explicit KeepAlive(Brick& brick, std::chrono::milliseconds period = {});

  /// @brief Sends a keep-alive when one is due.
  /// @throws brick::Error a link failure, or the brick's refusal; the next tick() tries again.
  void tick() {
    std::error_code ec;
    tick(ec);
    Error::throwIf(ec, "brick::KeepAlive::tick");
  }
  /// @brief Same as tick(), setting `ec` instead of throwing.
  /// @param ec cleared when sent or not due, else the failure.
  void tick(std::error_code& ec) noexcept;

  /// @brief How long until the next keep-alive is due: how long a loop may sleep.
  /// @return the time; zero when one is due now.
  std::chrono::milliseconds dueIn() const noexcept;

  /// @brief The brick's sleep time, as it last reported it.
  /// @return the time; zero before the first reply, or when the brick never sleeps.
  std::chrono::milliseconds sleepTime() const noexcept;

 private:
  ::Brick::Lib::KeepAlive timer;
};

}  // namespace brick

#endif
