#include "comm/LengthPrefixFraming.h"

#include <algorithm>
#include <cstring>

#include "comm/LinkCode.h"
#include "protocol/LengthPrefix.h"

namespace Comm {

LengthPrefixFraming::~LengthPrefixFraming() = default;

long LengthPrefixFraming::send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                               const Deadline& deadline) {
  if (n > Nxt::kMaxStreamTelegram) {
    return kLinkBadArgument;
  }
  std::uint8_t small[Nxt::LengthPrefix::kMaxFrame];
  std::vector<std::uint8_t> large;
  std::uint8_t* frame = small;
  if (n > Nxt::kMaxTelegram) {
    large.resize(Nxt::LengthPrefix::kPrefixBytes + n);
    frame = large.data();
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
  const std::size_t most = capacity > Nxt::kMaxTelegram ? capacity : Nxt::kMaxTelegram;
  if (Nxt::LengthPrefix::scan(pending.data(), pendingLength, n, most) ==
      Nxt::LengthPrefix::Scan::kOutOfStep) {
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
  std::memcpy(telegram, pending.data() + kPrefixBytes, length);
  pendingLength -= kPrefixBytes + n;
  std::memmove(pending.data(), pending.data() + kPrefixBytes + n, pendingLength);
  return kLinkOk;
}

long LengthPrefixFraming::fill(Transport& transport, std::size_t want, const Deadline& deadline) {
  while (pendingLength < want) {
    // As much as has come, up to one frame of the usual largest size (or the long one awaited),
    // so that what follows stays in the transport for discardInput() to drop.
    std::size_t room = std::max(want, Nxt::LengthPrefix::kMaxFrame) - pendingLength;
    long got = transport.read(pending.data() + pendingLength, room, deadline);
    if (got < 0) {
      pendingLength = 0;
      return got;
    }
    pendingLength += static_cast<std::size_t>(got);
  }
  return kLinkOk;
}

}  // namespace Comm
