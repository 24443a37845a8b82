// Test peers: a virtual brick served on a pseudo-terminal (the real Bluetooth path end to end)
// or answering in memory, and hex helpers so that telegrams read as the protocol writes them.
#ifndef TESTS_BRICKFIXTURE_H
#define TESTS_BRICKFIXTURE_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "brick/Block.h"
#include "comm/LengthPrefixFraming.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "sim/PtyServer.h"
#include "sim/VirtualBrick.h"

namespace test {

// A 300 x 200 room; the robot starts at (50, 100) facing +x, a wall 100 cm ahead of its
// centre, a dark line across its way at x = 100 and a red mat at x = 20..40.
inline constexpr char kRoom[] = R"(name room
arena 300 200
wall 150 60 150 140
line 2 100 10 100 190
area red 20 20 20 160
robot 50 100 0
)";

// "03 B8 01" -> {0x03, 0xB8, 0x01}
inline Sim::Bytes hex(const std::string& text) {
  Sim::Bytes out;
  std::istringstream in(text);
  std::string byte;
  while (in >> byte) {
    out.push_back(static_cast<std::uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
  }
  return out;
}

inline std::string hex(const Sim::Bytes& bytes) {
  std::string out;
  char two[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(two, sizeof two, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += two;
  }
  return out;
}

// Telegrams a virtual brick received, as hex text, the type byte first.
inline std::vector<std::string> wireOf(const Sim::VirtualBrick& sim) {
  std::vector<std::string> out;
  for (const Sim::Bytes& t : sim.received()) {
    out.push_back(hex(t));
  }
  return out;
}

// Opens a pseudo-terminal's master end and gives the path of its other end; -1 when none is
// to be had.
inline int openPtyMaster(std::string& path) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  char name[128];
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    if (master >= 0) {
      ::close(master);
    }
    return -1;
  }
  path = name;
  return master;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A Block connected through openBT(path) to a virtual brick on a pseudo-terminal.
class PtyBrick : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  }
  void TearDown() override {
    block.disconnect();
    server.stop();
  }
  // Telegrams the brick received, as hex text, the type byte first.
  std::vector<std::string> wire() {
    auto guard = server.lock();
    return wireOf(sim);
  }
  void clearWire() {
    auto guard = server.lock();
    sim.clearRecord();
  }

  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
  Brick::Lib::Block block;
};

// Connects `block` to `sim`, which answers in memory, at once. `heard`, when given, sees each
// telegram first and drops it (no answer, nothing carried out) by returning false.
inline void answerInMemory(Brick::Lib::Block& block, Sim::VirtualBrick& sim,
                           std::function<bool(const std::uint8_t*, std::size_t)> heard = nullptr) {
  block.getCommunication().attach(
      new Comm::MemoryTransport(
          [&sim, heard](const std::uint8_t* p, std::size_t n, std::deque<Sim::Bytes>& replies) {
            if (heard && !heard(p, n)) {
              return;
            }
            Sim::Bytes reply = sim.answer(p, n);
            if (!reply.empty()) {
              replies.push_back(reply);
            }
          }),
      new Comm::PacketFraming());
}

// A Block whose link is a virtual brick answering in memory, at once.
class MemoryBrick : public ::testing::Test {
 protected:
  void SetUp() override { attach(block); }
  void attach(Brick::Lib::Block& target) {
    target.getCommunication().attach(
        new Comm::MemoryTransport(
            [this](const std::uint8_t* p, std::size_t n, std::deque<Sim::Bytes>& replies) {
              if (silent || (n > 1 && p[1] == silentOpcode)) {
                sim.answer(p, n);
                answers.emplace_back();
                return;
              }
              Sim::Bytes reply = sim.answer(p, n);
              answers.push_back(reply);
              if (!reply.empty()) {
                replies.push_back(reply);
              }
            }),
        new Comm::PacketFraming());
  }
  std::vector<std::string> wire() { return wireOf(sim); }

  void clearWire() {
    sim.clearRecord();
    answers.clear();
  }
  // Telegrams the brick answered with a status other than success, as "telegram -> reply".
  std::vector<std::string> refused() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < answers.size() && i < sim.received().size(); ++i) {
      if (answers[i].size() > 2 && answers[i][2] != 0x00) {
        out.push_back(hex(sim.received()[i]) + " -> " + hex(answers[i]));
      }
    }
    return out;
  }

  bool silent = false;
  int silentOpcode = -1;            // telegrams with this opcode go unanswered
  std::vector<Sim::Bytes> answers;  // one per telegram received, empty when none was sent
  Sim::VirtualBrick sim;
  Brick::Lib::Block block;
};

}  // namespace test

#endif
