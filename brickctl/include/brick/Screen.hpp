/// @file
/// @brief brick::Screen, the brick's display.
#ifndef BRICK_SCREEN_HPP
#define BRICK_SCREEN_HPP

#include <system_error>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Picture.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief The brick's 100 x 64 display, read through its module's IO map. Made from a
/// brick::Brick, sending nothing; copy it freely, but use it only while its brick is open.
class BRICKCTL_API Screen {
 public:
  /// @brief The display of `brick`; sends nothing.
  /// @param brick the brick.
  explicit Screen(Brick& brick) noexcept;

  /// @brief What the display shows now: the normal screen, or the popup when that is up. Some
  /// fifteen exchanges (the map read in pieces a telegram carries).
  /// @return the picture.
  /// @throws brick::Error a link failure, or the brick's refusal.
  Picture capture() {
    std::error_code ec;
    Picture picture = capture(ec);
    Error::throwIf(ec, "brick::Screen::capture");
    return picture;
  }
  /// @brief Same as capture(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the picture; a blank one when `ec` is set.
  Picture capture(std::error_code& ec) noexcept;

 private:
  Comm::SerialCommunication* link;
};

}  // namespace brick

#endif
