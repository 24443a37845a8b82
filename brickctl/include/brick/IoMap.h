// The brick's firmware modules and their IO maps: the memory through which the firmware's
// parts (outputs, inputs, display, buttons, sound, menu, ...) share their state. Reading a map
// shows that state; writing one asks the firmware to act, as its own parts do.
//
// Modules are found by name pattern (FIND FIRST / NEXT MODULE, and a CLOSE MODULE HANDLE
// always after, as the brick keeps one module search open until then). A map is read in pieces
// of 55 bytes and written in pieces of 54, what one telegram carries over USB (Bluetooth
// carries more, but these fit both). Every operation returns 0 or a code of BrickCode.h
// (kBrickStatus + 0x90 module not found, + 0x91 out of the map's bounds), recorded in the
// link's status record.
#ifndef BRICK_IOMAP_H
#define BRICK_IOMAP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API IoMap {
 public:
  struct Module {
    std::string name;  // e.g. "Display.mod"
    std::uint32_t id = 0;
    std::uint32_t moduleSize = 0;
    std::uint16_t ioMapSize = 0;
  };

  explicit IoMap(Block& block);
  explicit IoMap(Comm::SerialCommunication& link);

  // The modules whose names match `pattern`: "*.*" all, "Name.*", "*.mod", or a whole name,
  // compared without regard to case. None matching is an empty list and 0.
  long find(const std::string& pattern, std::vector<Module>& out);
  // The module `text` names: a module name ("Display.mod"; "display" gets ".mod" added) or an
  // id in hex or decimal ("0x000A0001"). None such: kBrickStatus + 0x90.
  long lookup(const std::string& text, Module& out);
  // `count` bytes of module `id`'s map from `offset`.
  long read(std::uint32_t id, std::size_t offset, std::size_t count,
            std::vector<std::uint8_t>& out);
  long write(std::uint32_t id, std::size_t offset, const std::vector<std::uint8_t>& data);

  // Most bytes one READ IO MAP and one WRITE IO MAP carry here.
  static constexpr std::size_t kReadPiece = 55;
  static constexpr std::size_t kWritePiece = 54;

 private:
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
