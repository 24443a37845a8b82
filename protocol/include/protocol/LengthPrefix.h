// Telegrams on a byte stream, as over Bluetooth or a serial line: each is preceded by its
// length in two bytes, little-endian. A length of 0 or beyond one telegram means the stream is
// out of step. The link's framing and the virtual brick's server both frame with this.
#ifndef PROTOCOL_LENGTHPREFIX_H
#define PROTOCOL_LENGTHPREFIX_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "protocol/Nxt.h"

namespace Nxt {
namespace LengthPrefix {

const std::size_t kPrefixBytes = 2;
const std::size_t kMaxFrame = kPrefixBytes + kMaxTelegram;

// Writes the frame of an n-byte telegram into `frame` (room for kPrefixBytes + n) and returns
// its length. It does not judge n: senders that must keep to one telegram check first.
inline std::size_t encode(const std::uint8_t* telegram, std::size_t n, std::uint8_t* frame) {
  frame[0] = static_cast<std::uint8_t>(n & 0xFF);
  frame[1] = static_cast<std::uint8_t>(n >> 8);
  if (n > 0) {
    std::memmove(frame + kPrefixBytes, telegram, n);
  }
  return kPrefixBytes + n;
}

enum class Scan {
  kNeedMore,  // the prefix or the telegram it announces has not all arrived
  kComplete,  // a whole frame is there
  kOutOfStep  // the prefix is 0 or beyond one telegram: drop what is pending
};

// What the first `available` bytes of a stream hold. Once the prefix is there, `telegramLength`
// is the length it announces. A reader that takes over-long telegrams in whole, to refuse them
// and stay in step, gives a larger `most`.
inline Scan scan(const std::uint8_t* bytes, std::size_t available, std::size_t& telegramLength,
                 std::size_t most = kMaxTelegram) {
  telegramLength = 0;
  if (available < kPrefixBytes) {
    return Scan::kNeedMore;
  }
  std::size_t n = bytes[0] | static_cast<std::size_t>(bytes[1]) << 8;
  if (n == 0 || n > most) {
    return Scan::kOutOfStep;
  }
  telegramLength = n;
  return available < kPrefixBytes + n ? Scan::kNeedMore : Scan::kComplete;
}

}  // namespace LengthPrefix
}  // namespace Nxt

#endif
