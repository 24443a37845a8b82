#include "comm/LengthPrefixFraming.h"

#include <cstring>

#include "comm/LinkCode.h"
#include "comm/Nxt.h"

namespace Comm {

LengthPrefixFraming::~LengthPrefixFraming() = default;

long LengthPrefixFraming::send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                               const Deadline& deadline) {
  std::uint8_t frame[2 + Nxt::kMaxTelegram];
  if (n > Nxt::kMaxTelegram) {
    return kLinkBadArgument;
  }
  frame[0] = static_cast<std::uint8_t>(n & 0xFF);
  frame[1] = static_cast<std::uint8_t>(n >> 8);
  for (std::size_t i = 0; i < n; ++i) {
    frame[2 + i] = telegram[i];
  }
  return transport.write(frame, n + 2, deadline);
}

long LengthPrefixFraming::receive(Transport& transport, std::uint8_t* telegram,
                                  std::size_t capacity, std::size_t& length,
                                  const Deadline& deadline) {
  length = 0;
  long rc = fill(transport, 2, deadline);
  if (rc < 0) {
    return rc;
  }
  std::size_t n = pending[0] | (static_cast<std::size_t>(pending[1]) << 8);
  if (n == 0 || n > Nxt::kMaxTelegram) {
    pendingLength = 0;
    transport.discardInput();
    return kLinkBadFrame;
  }
  // Take the whole frame to stay in step, keeping only what fits.
  rc = fill(transport, 2 + n, deadline);
  if (rc < 0) {
    return rc;
  }
  length = n < capacity ? n : capacity;
  std::memcpy(telegram, pending + 2, length);
  pendingLength -= 2 + n;
  std::memmove(pending, pending + 2 + n, pendingLength);
  return kLinkOk;
}

long LengthPrefixFraming::fill(Transport& transport, std::size_t want, const Deadline& deadline) {
  while (pendingLength < want) {
    long got = transport.read(pending + pendingLength, sizeof pending - pendingLength, deadline);
    if (got < 0) {
      pendingLength = 0;
      return got;
    }
    pendingLength += static_cast<std::size_t>(got);
  }
  return kLinkOk;
}

}  // namespace Comm
