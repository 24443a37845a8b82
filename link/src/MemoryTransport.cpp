#include "comm/MemoryTransport.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "comm/LinkCode.h"

namespace Comm {

MemoryTransport::MemoryTransport(Peer p) : peer(std::move(p)) {}
MemoryTransport::~MemoryTransport() = default;

long MemoryTransport::write(const std::uint8_t* data, std::size_t n, const Deadline&) {
  if (!open) {
    return kLinkNotOpen;
  }
  if (peer) {
    peer(data, n, pending);
  }
  return kLinkOk;
}

long MemoryTransport::read(std::uint8_t* data, std::size_t n, const Deadline&) {
  if (!open) {
    return kLinkNotOpen;
  }
  if (pending.empty()) {
    return kLinkTimeout;  // nothing will ever arrive: no need to wait for it
  }
  std::vector<std::uint8_t>& packet = pending.front();
  std::size_t take = std::min(n, packet.size());
  std::memcpy(data, packet.data(), take);
  // A reader that takes less than a packet (a stream framing reading a prefix) gets the rest
  // next time, as from a byte stream.
  if (take < packet.size()) {
    packet.erase(packet.begin(), packet.begin() + static_cast<long>(take));
  } else {
    pending.pop_front();
  }
  return static_cast<long>(take);
}

void MemoryTransport::discardInput() {
  pending.clear();
}

void MemoryTransport::close() {
  open = false;
  pending.clear();
}

}  // namespace Comm
