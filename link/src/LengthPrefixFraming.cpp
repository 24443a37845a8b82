#include "comm/LengthPrefixFraming.h"

#include "comm/LinkCode.h"
#include "comm/Nxt.h"

namespace Comm {

namespace {

// Reads exactly n bytes, or fails at the deadline.
long readExactly(Transport& transport, std::uint8_t* data, std::size_t n,
                 const Deadline& deadline) {
  std::size_t have = 0;
  while (have < n) {
    long got = transport.read(data + have, n - have, deadline);
    if (got < 0) {
      return got;
    }
    have += static_cast<std::size_t>(got);
  }
  return kLinkOk;
}

}  // namespace

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
  std::uint8_t prefix[2];
  long rc = readExactly(transport, prefix, 2, deadline);
  if (rc < 0) {
    return rc;
  }
  std::size_t n = prefix[0] | (static_cast<std::size_t>(prefix[1]) << 8);
  if (n == 0 || n > Nxt::kMaxTelegram) {
    transport.discardInput();
    return kLinkBadFrame;
  }
  // Read the whole frame to stay in step, keeping only what fits.
  std::uint8_t frame[Nxt::kMaxTelegram];
  rc = readExactly(transport, frame, n, deadline);
  if (rc < 0) {
    return rc;
  }
  length = n < capacity ? n : capacity;
  for (std::size_t i = 0; i < length; ++i) {
    telegram[i] = frame[i];
  }
  return kLinkOk;
}

}  // namespace Comm
