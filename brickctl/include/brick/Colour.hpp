/// @file
/// @brief brick::Colour, what a colour sensor sees.
#ifndef BRICK_COLOUR_HPP
#define BRICK_COLOUR_HPP

namespace brick {

/// @brief A colour as the colour sensor names it; the values are the brick's colour numbers.
enum class Colour {
  None = 0,    ///< no colour reported (the sensor not ready)
  Black = 1,   ///< black, or too dark to tell
  Blue = 2,    ///< blue
  Green = 3,   ///< green
  Yellow = 4,  ///< yellow
  Red = 5,     ///< red
  White = 6,   ///< white
};

/// @brief The colour's name in lower case, e.g. "red"; "none" for Colour::None or a value out
/// of the table.
/// @param colour the colour.
/// @return a static text, never null.
inline const char* name(Colour colour) noexcept {
  static const char* const names[] = {"none", "black", "blue", "green", "yellow", "red", "white"};
  int index = static_cast<int>(colour);
  return index >= 0 && index <= 6 ? names[index] : names[0];
}

}  // namespace brick

#endif
