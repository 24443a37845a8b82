#include "LinkReplyFuzz.h"

#include <sys/socket.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "comm/FdTransport.h"
#include "comm/LengthPrefixFraming.h"
#include "comm/LinkCode.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "comm/SerialCommunication.h"
#include "comm/UsbBackend.h"

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

// USB as libusb presents it: every bulk read returns one transfer of at most 64 bytes, the
// brick's packet size; a byte of the input may stand for a zero-length packet, and a brick with
// nothing more to say times out at once.
class PacketBrick : public Comm::UsbBackend {
 public:
  PacketBrick(const std::uint8_t* d, std::size_t n) : data(d), size(n) { install(this); }
  ~PacketBrick() override { install(nullptr); }
  bool enumerate(std::vector<Comm::UsbDeviceInfo>& devices) override {
    devices.assign(1, Comm::UsbDeviceInfo());
    devices[0].vendor = 0x0694;
    devices[0].product = 0x0002;
    return true;
  }
  void* open(std::size_t, int, long& code) override {
    code = Comm::kLinkOk;
    return this;
  }
  long bulkTransfer(void*, std::uint8_t endpoint, std::uint8_t* out, std::size_t n, int) override {
    if (endpoint != 0x82) {
      return static_cast<long>(n);
    }
    if (at >= size) {
      return Comm::kLinkTimeout;
    }
    std::size_t length = data[at++] % 66;  // 0: a zero-length packet; 65: past the packet size
    if (length > 64) {
      return Comm::kLinkIoError;
    }
    length = length < size - at ? length : size - at;
    length = length < n ? length : n;
    std::memcpy(out, data + at, length);
    at += length;
    return static_cast<long>(length);
  }
  void close(void*, int) override {}

 private:
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
};

// Opens `link` on the transport byte 0 names, fed with the rest of the input. Returns a
// descriptor the caller closes afterwards, or -1.
int attach(Comm::SerialCommunication& link, const std::uint8_t* data, std::size_t size,
           std::size_t& at,
           const std::function<void(const std::uint8_t*, std::size_t,
                                    std::deque<std::vector<std::uint8_t>>&)>& peer) {
  switch (data[0] & 3) {
    case 0:
      link.attach(new Comm::MemoryTransport(peer), new Comm::LengthPrefixFraming());
      return -1;
    case 1:
      link.attach(new Comm::MemoryTransport(peer), new Comm::PacketFraming());
      return -1;
    case 2: {
      // A real descriptor with real deadlines: the brick's bytes are all there at once, then
      // the brick hangs up, so that a read past them ends at once instead of at the deadline.
      int ends[2];
      if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        return -1;
      }
      std::size_t n = size - at;
      if (n > 0 && ::send(ends[1], data + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) {
        std::abort();  // a socket buffer holds far more than -max_len
      }
      at = size;
      ::shutdown(ends[1], SHUT_WR);
      link.attach(new Comm::FdTransport(ends[0]), new Comm::LengthPrefixFraming());
      return ends[1];
    }
    default:
      link.open();
      return -1;
  }
}

}  // namespace

int linkReply(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  // Byte 0 picks the transport (and framing) and how the rest is cut into deliveries; in
  // memory, every write to the "brick" releases the next delivery.
  std::size_t chunk = 1 + (data[0] >> 2) % 80;
  std::size_t at = 1;
  auto peer = [&](const std::uint8_t*, std::size_t, std::deque<std::vector<std::uint8_t>>& out) {
    for (int i = 0; i < 2 && at < size; ++i) {
      std::size_t n = size - at < chunk ? size - at : chunk;
      out.emplace_back(data + at, data + at + n);
      at += n;
    }
  };
  PacketBrick usb(data + 1, size - 1);
  Comm::SerialCommunication link;
  int brickEnd = attach(link, data, size, at, peer);

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
  link.close();
  if (brickEnd >= 0) {
    ::close(brickEnd);
  }
  return 0;
}

}  // namespace fuzz
