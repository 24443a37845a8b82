/// @file
/// @brief brick::Port, the brick's motor outputs.
#ifndef BRICK_PORT_HPP
#define BRICK_PORT_HPP

#include <cstdint>

namespace brick {

/// @brief An output port, named as the brick prints it. There is no conversion from an
/// integer, so a port counted from 0 does not compile.
enum class Port : std::uint8_t {
  A,  ///< output A
  B,  ///< output B
  C,  ///< output C
};

}  // namespace brick

#endif
