#include "comm/PacketFraming.h"

#include "comm/LinkCode.h"
#include "protocol/Nxt.h"

namespace Comm {

PacketFraming::~PacketFraming() = default;

long PacketFraming::send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                         const Deadline& deadline) {
  return transport.write(telegram, n, deadline);
}

long PacketFraming::receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
                            std::size_t& length, const Deadline& deadline) {
  length = 0;
  long got = transport.read(telegram, capacity, deadline);
  if (got < 0) {
    return got;
  }
  length = static_cast<std::size_t>(got);
  return kLinkOk;
}

}  // namespace Comm
