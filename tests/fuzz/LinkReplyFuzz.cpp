#include "LinkReplyFuzz.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "comm/LengthPrefixFraming.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "comm/SerialCommunication.h"

namespace fuzz {

namespace {

const std::uint8_t kGuard = 0xA5;
const std::size_t kSlack = 32;

void expectGuard(const std::uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] != kGuard) {
      std::abort();
    }
  }
}

}  // namespace

int linkReply(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  // Byte 0 picks the framing and how the rest is cut into deliveries; every write to the
  // "brick" releases the next delivery.
  bool stream = (data[0] & 1) == 0;
  std::size_t chunk = 1 + (data[0] >> 1) % 80;
  std::size_t at = 1;
  auto peer = [&](const std::uint8_t*, std::size_t, std::deque<std::vector<std::uint8_t>>& out) {
    for (int i = 0; i < 2 && at < size; ++i) {
      std::size_t n = size - at < chunk ? size - at : chunk;
      out.emplace_back(data + at, data + at + n);
      at += n;
    }
  };
  Comm::SerialCommunication link;
  Comm::Framing* framing = stream ? static_cast<Comm::Framing*>(new Comm::LengthPrefixFraming())
                                  : static_cast<Comm::Framing*>(new Comm::PacketFraming());
  link.attach(new Comm::MemoryTransport(peer), framing);

  const int lengths[] = {2, 3, 4, 15, 19, 24, 0, 1};
  const unsigned char opcodes[] = {0x03, 0x0E, 0x0B, 0x07, 0x10, 0x06, 0x0C, 0x0A};
  for (std::size_t i = 0; i < sizeof lengths / sizeof lengths[0]; ++i) {
    std::uint8_t reply[24 + kSlack];
    std::memset(reply, kGuard, sizeof reply);
    unsigned char command[2] = {opcodes[i], 0x01};
    link.sendDirectCommand(1, command, 2, reply, lengths[i]);
    expectGuard(reply + lengths[i], sizeof reply - static_cast<std::size_t>(lengths[i]));
  }
  char name[256 + kSlack];
  std::memset(name, static_cast<char>(kGuard), sizeof name);
  link.getName(name);
  if (std::memchr(name, '\0', 256) == nullptr) {
    std::abort();
  }
  expectGuard(reinterpret_cast<std::uint8_t*>(name) + 256, kSlack);
  link.setName(const_cast<char*>("fuzz"));
  return 0;
}

}  // namespace fuzz
