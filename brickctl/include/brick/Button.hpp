/// @file
/// @brief brick::Button, the brick's four buttons.
#ifndef BRICK_BUTTON_HPP
#define BRICK_BUTTON_HPP

namespace brick {

/// @brief One of the brick's buttons, as brick::Buttons presses them.
enum class Button {
  Left,   ///< the left arrow
  Enter,  ///< the orange button in the middle
  Right,  ///< the right arrow
  Exit,   ///< the dark grey button below
};

}  // namespace brick

#endif
