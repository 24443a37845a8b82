// A client of no library of ours on the virtual brick's pseudo-terminal (the Bluetooth framing),
// and the hex helpers the tables of telegrams use.
#ifndef TESTS_WIRECLIENT_H
#define TESTS_WIRECLIENT_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "sim/PtyServer.h"
#include "sim/VirtualBrick.h"

namespace test {

// " 00" n times: the padding of a field after its text, as hex.
inline std::string zeros(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += " 00";
  }
  return out;
}

// A client of no library of ours: writes length-prefixed telegrams and reads one reply.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
  }
  ~RawClient() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  bool ok() const { return fd >= 0; }

  // Sends a telegram with its length prefix; returns the reply, or "" when none comes in 2 s.
  std::string exchange(const std::string& telegram) {
    return send(hex(telegram)) ? reply() : "write failed";
  }

  // Sends telegrams one behind the other, in one write, with their length prefixes.
  bool send(const std::vector<Sim::Bytes>& telegrams) {
    Sim::Bytes frames;
    for (const Sim::Bytes& t : telegrams) {
      frames.push_back(static_cast<std::uint8_t>(t.size() & 0xFF));
      frames.push_back(static_cast<std::uint8_t>(t.size() >> 8));
      frames.insert(frames.end(), t.begin(), t.end());
    }
    return ::write(fd, frames.data(), frames.size()) == static_cast<ssize_t>(frames.size());
  }
  bool send(const Sim::Bytes& telegram) { return send(std::vector<Sim::Bytes>{telegram}); }

  // The next reply, or "" when none comes in 2 s.
  std::string reply() {
    Sim::Bytes prefix = take(2);
    if (prefix.size() < 2) {
      return "";
    }
    return hex(take(prefix[0] | prefix[1] << 8));
  }

 private:
  Sim::Bytes take(std::size_t n) {
    Sim::Bytes out;
    while (out.size() < n) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) {
        break;
      }
      std::uint8_t buffer[512];
      ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, n - out.size()));
      if (got <= 0) {
        break;
      }
      out.insert(out.end(), buffer, buffer + got);
    }
    return out;
  }
  int fd = -1;
};

// `n` bytes counting up from `from`, as hex.
inline std::string counting(std::size_t n, std::size_t from = 0) {
  Sim::Bytes out;
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(static_cast<std::uint8_t>(from + i));
  }
  return hex(out);
}

// A file name in its 20-byte field, as hex.
inline std::string nameField(const std::string& name) {
  Sim::Bytes out(name.begin(), name.end());
  out.resize(20, 0);
  return hex(out);
}

// A virtual brick served on a pseudo-terminal, and a raw client on it.
class PtyPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    peer.reset(new RawClient(server.devicePath()));
    ASSERT_TRUE(peer->ok());
  }
  void TearDown() override { server.stop(); }
  std::string exchange(const std::string& telegram) { return peer->exchange(telegram); }

  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
  std::unique_ptr<RawClient> peer;
};

}  // namespace test

#endif
