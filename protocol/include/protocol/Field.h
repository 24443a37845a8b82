// Where a field sits in a telegram, and reading and writing it.
//
// Offsets count from the telegram's type byte (byte 0), the way the brick's tables number
// them. The link hands callers their reply, and takes their command, from the opcode on: those
// buffers start at byte kFromOpcode, and the accessors take that start as their last argument.
#ifndef PROTOCOL_FIELD_H
#define PROTOCOL_FIELD_H

#include <cstddef>
#include <cstdint>

namespace Nxt {

// A buffer that starts at the opcode, as the link's callers see telegrams.
const std::size_t kFromOpcode = 1;

struct Field {
  std::size_t offset;  // from the type byte
  std::size_t width;   // in bytes; numbers are little-endian
  constexpr std::size_t end() const { return offset + width; }
  // Where the field sits in a buffer that starts at byte `start` of the telegram.
  constexpr std::size_t at(std::size_t start = 0) const { return offset - start; }
};

// The unsigned number a field of at most 4 bytes holds.
inline std::uint32_t get(const std::uint8_t* bytes, Field field, std::size_t start = 0) {
  std::uint32_t value = 0;
  for (std::size_t i = field.width; i > 0; --i) {
    value = value << 8 | bytes[field.at(start) + i - 1];
  }
  return value;
}

inline void put(std::uint8_t* bytes, Field field, std::uint32_t value, std::size_t start = 0) {
  for (std::size_t i = 0; i < field.width; ++i) {
    bytes[field.at(start) + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace Nxt

#endif
