/// @file
/// @brief brick::Buttons, the brick's buttons pressed from the host.
#ifndef BRICK_BUTTONS_HPP
#define BRICK_BUTTONS_HPP

#include <system_error>

#include "brick/Button.hpp"
#include "brick/Error.hpp"
#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief The brick's four buttons pressed from the host: each press goes through the UI
/// module's IO map, where the brick's menu takes it as a short press and its release. Made from
/// a brick::Brick, sending nothing; copy it freely, but use it only while its brick is open.
class BRICKCTL_API Buttons {
 public:
  /// @brief The buttons of `brick`; sends nothing.
  /// @param brick the brick.
  explicit Buttons(Brick& brick) noexcept;

  /// @brief Presses `button` once (one WRITE IO MAP).
  /// @param button the button.
  /// @throws brick::Error Errc::bad_value for a button not named in brick::Button, a link
  /// failure, or the brick's refusal.
  void press(Button button) {
    std::error_code ec;
    press(button, ec);
    Error::throwIf(ec, "brick::Buttons::press");
  }
  /// @brief Same as press(Button), setting `ec` instead of throwing.
  /// @param button the button.
  /// @param ec cleared on success, else the failure.
  void press(Button button, std::error_code& ec) noexcept;

 private:
  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
