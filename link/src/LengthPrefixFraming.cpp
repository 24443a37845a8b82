#include "comm/LengthPrefixFraming.h"

#include <cstring>

#include "comm/LinkCode.h"
#include "protocol/LengthPrefix.h"

namespace Comm {

LengthPrefixFraming::~LengthPrefixFraming() = default;

long LengthPrefixFraming::send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                               const Deadline& deadline) {
  std::uint8_t frame[Nxt::LengthPrefix::kMaxFrame];
  if (n > Nxt::kMaxTelegram) {
    return kLinkBadArgument;
  }
  return transport.write(frame, Nxt::LengthPrefix::encode(telegram, n, frame), deadline);
}

long LengthPrefixFraming::receive(Transport& transport, std::uint8_t* telegram,
                                  std::size_t capacity, std::size_t& length,
                                  const Deadline& deadline) {
  using Nxt::LengthPrefix::kPrefixBytes;
  length = 0;
  long rc = fill(transport, kPrefixBytes, deadline);
  if (rc < 0) {
    return rc;
  }
  std::size_t n = 0;
  if (Nxt::LengthPrefix::scan(pending, pendingLength, n) == Nxt::LengthPrefix::Scan::kOutOfStep) {
    pendingLength = 0;
    transport.discardInput();
    return kLinkBadFrame;
  }
  // Take the whole frame to stay in step, keeping only what fits.
  rc = fill(transport, kPrefixBytes + n, deadline);
  if (rc < 0) {
    return rc;
  }
  length = n < capacity ? n : capacity;
  std::memcpy(telegram, pending + kPrefixBytes, length);
  pendingLength -= kPrefixBytes + n;
  std::memmove(pending, pending + kPrefixBytes + n, pendingLength);
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
