/// @file
/// @brief brick::Input, the brick's sensor inputs.
#ifndef BRICK_INPUT_HPP
#define BRICK_INPUT_HPP

#include <cstdint>

namespace brick {

/// @brief A sensor input, named as the brick prints it (1 to 4). There is no conversion from
/// an integer, so an input counted from 0 does not compile.
enum class Input : std::uint8_t {
  S1,  ///< input 1
  S2,  ///< input 2
  S3,  ///< input 3
  S4,  ///< input 4
};

}  // namespace brick

#endif
