/// @file
/// @brief brick::Module, one of the brick's firmware modules.
#ifndef BRICK_MODULE_HPP
#define BRICK_MODULE_HPP

#include <cstdint>
#include <string>

namespace brick {

/// @brief A firmware module as brick::IoMap finds it: its name, id and sizes.
struct Module {
  std::string name;              ///< e.g. "Display.mod"
  std::uint32_t id = 0;          ///< e.g. 0x000A0001
  std::uint32_t moduleSize = 0;  ///< the module's size in the firmware, in bytes
  std::uint16_t ioMapSize = 0;   ///< its IO map's size in bytes: offsets run below it
};

}  // namespace brick

#endif
