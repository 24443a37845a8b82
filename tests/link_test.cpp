// The link over a pseudo-terminal to the virtual brick: framing, time limits and faults.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "BrickFixture.h"
#include "comm/FdTransport.h"
#include "comm/LinkCode.h"
#include "comm/SerialCommunication.h"

using test::hex;
using test::PtyBrick;
using test::secondsSince;
using Fault = Sim::PtyServer::Fault;

namespace {

// The documented limit, with room for a loaded machine.
const double kLimitSeconds = Comm::kReplyTimeoutMs / 1000.0 + 0.5;

}  // namespace

TEST_F(PtyBrick, ToneGoesOnTheWireWithItsLengthPrefix) {
  // The server sees telegrams after taking the prefix off; check the prefix on a raw pipe below.
  EXPECT_EQ(block.playTone(440, 500), 1);
  EXPECT_EQ(wire(), std::vector<std::string>{"00 03 B8 01 F4 01"});
}

TEST_F(PtyBrick, BatteryReplyIsDecoded) {
  sim.batteryMillivolts = 300;
  EXPECT_EQ(block.getBatteryLevel(), 300);
  auto guard = server.lock();
  sim.scriptReply(0x0B, hex("02 0B 00 28 23"));
  guard.unlock();
  EXPECT_EQ(block.getBatteryLevel(), 9000);
  EXPECT_TRUE(block.getStatus().isSuccess());
}

TEST_F(PtyBrick, SilentBrickCostsOneTimeLimitAndLeavesThePrefill) {
  server.setFault(Fault::Silent, -1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_LT(secondsSince(start), kLimitSeconds);
  EXPECT_GE(secondsSince(start), Comm::kReplyTimeoutMs / 1000.0 - 0.05);
  EXPECT_TRUE(block.getStatus().isFatal());
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
  EXPECT_NE(std::string(block.getStatus().getFileName()), "");
  EXPECT_GT(block.getStatus().getLineNumber(), 0u);
}

// A brick whose answer to a battery request comes after the link has given up on it.
class LateReply : public PtyBrick {
 protected:
  void setBattery(int millivolts) {
    auto guard = server.lock();
    sim.batteryMillivolts = millivolts;
  }
  // The request that times out; its answer, 1111 mV, arrives `lateMs` after the time limit.
  void timeOut(int lateMs) {
    setBattery(1111);
    server.setFault(Fault::Late, 1, Comm::kReplyTimeoutMs + lateMs);
    EXPECT_EQ(block.getBatteryLevel(), 257);
  }
  // The next readings are the brick's own, not the late answer shifted onto them.
  void expectInStep(const std::string& why) {
    for (int millivolts : {2222, 3333}) {
      setBattery(millivolts);
      EXPECT_EQ(block.getBatteryLevel(), millivolts) << why;
    }
  }
};

TEST_F(LateReply, ArrivedBeforeTheNextCommandIsDiscarded) {
  timeOut(300);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the late reply arrives now
  expectInStep("late reply waiting");
}

TEST_F(PtyBrick, LongReplyIsCutToTheBuffer) {
  server.setFault(Fault::Long, 1);
  unsigned char reply[4 + 8];
  std::memset(reply, 0x77, sizeof reply);
  unsigned char command[] = {0x0B};
  block.getCommunication().sendDirectCommand(1, command, 1, reply, 4);
  EXPECT_EQ(hex(Sim::Bytes(reply, reply + sizeof reply)), "0B 00 28 23 77 77 77 77 77 77 77 77");
  EXPECT_EQ(block.getBatteryLevel(), 9000);  // the stream is still in step
}

// A reply of another opcode is passed over (and the call times out); a length prefix of 65535
// or 0 puts the stream out of step, which is given up at once and resynced.
TEST_F(PtyBrick, FaultyReplyFailsWithinTheLimitAndTheNextCallWorks) {
  const struct {
    Fault fault;
    long code;
  } cases[] = {{Fault::WrongOpcode, Comm::kLinkTimeout},
               {Fault::HugePrefix, Comm::kLinkBadFrame},
               {Fault::BadPrefix, Comm::kLinkBadFrame}};
  for (const auto& c : cases) {
    block.getCommunication().clearStatus();
    server.setFault(c.fault, 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(block.getBatteryLevel(), 257) << static_cast<int>(c.fault);
    EXPECT_LT(secondsSince(start), kLimitSeconds);
    EXPECT_EQ(block.getStatus().getCode(), c.code) << static_cast<int>(c.fault);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // what the brick sent after
    EXPECT_EQ(block.getBatteryLevel(), 9000) << static_cast<int>(c.fault);
  }
}

TEST_F(PtyBrick, VanishedBrickFailsFastAndReconnects) {
  server.setFault(Fault::Hangup, 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_LT(secondsSince(start), kLimitSeconds);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkClosedByPeer);

  block.disconnect();
  server.stop();
  ASSERT_TRUE(server.start());
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  EXPECT_TRUE(block.getStatus().isSuccess());
  EXPECT_EQ(block.getBatteryLevel(), 9000);
}

TEST_F(PtyBrick, NameRoundTrips) {
  char name[256];
  block.getName(name);
  EXPECT_STREQ(name, "NXT");
  block.setName(const_cast<char*>("Rover"));
  block.getName(name);
  EXPECT_STREQ(name, "Rover");
  EXPECT_EQ(wire().at(1), "01 98 52 6F 76 65 72 00 00 00 00 00 00 00 00 00 00 00");
}

// A 15-character name fills the reply's 15-byte field: no NUL after it, as the firmware answers.
TEST_F(PtyBrick, LongNameIsKeptToFifteenAndReportedWithoutANul) {
  std::string longName(300, 'n');
  block.setName(const_cast<char*>(longName.c_str()));
  char name[256];
  block.getName(name);
  EXPECT_EQ(std::string(name), std::string(15, 'n'));
  auto guard = server.lock();
  const std::uint8_t ask[] = {0x01, 0x9B};
  EXPECT_EQ(sim.answer(ask, sizeof ask).at(3 + 14), 'n');
  EXPECT_EQ(sim.answer(ask, sizeof ask).at(3 + 15), 0x00);  // the address's first byte
}

TEST_F(PtyBrick, SilentBrickGivesAnEmptyName) {
  server.setFault(Fault::Silent, -1);
  char name[256];
  std::memset(name, 'x', sizeof name);
  block.getName(name);
  EXPECT_STREQ(name, "");
}

TEST(Link, ClosedLinkRecordsNotOpenAndLeavesReplyAlone) {
  Comm::SerialCommunication link;
  unsigned char command[] = {0x0B};
  unsigned char reply[4] = {0x01, 0x01, 0x01, 0x01};
  link.sendDirectCommand(1, command, 1, reply, 4);
  EXPECT_EQ(hex(Sim::Bytes(reply, reply + 4)), "01 01 01 01");
  EXPECT_EQ(link.getStatus().getCode(), Comm::kLinkNotOpen);
  link.close();
  link.close();
}

TEST(Link, OpeningNothingFails) {
  Comm::SerialCommunication link;
  EXPECT_FALSE(link.openBT(const_cast<char*>("/nonexistent/rfcomm")));
  EXPECT_EQ(link.getStatus().getCode(), Comm::kLinkNoDevice);
  EXPECT_FALSE(link.openBT(const_cast<char*>("")));
  EXPECT_FALSE(link.openBT(const_cast<char*>("/dev/null")));  // not a serial device
  EXPECT_FALSE(link.isOpen());
}

// Hosts built against the link's layout rely on it: the status record, then two pointers.
static_assert(sizeof(Comm::SerialCommunication) == sizeof(nFANTOM100::tStatus) + 2 * sizeof(void*),
              "the link holds its status record and two pointers, nothing more");

TEST(Link, CopiesShareTheTransportAndFreeItOnce) {
  long* refs = nullptr;
  {
    Comm::SerialCommunication link;
    auto* transport = new Comm::MemoryTransport(nullptr);
    link.attach(transport, new Comm::PacketFraming());
    {
      Comm::SerialCommunication copy(link);
      EXPECT_EQ(transport->references(), 2);
    }
    EXPECT_EQ(transport->references(), 1);
    (void)refs;
  }
  SUCCEED();  // a double free aborts here under the sanitizers
}

TEST(Link, UnreachableBluetoothAddressFailsWithinTheConnectLimit) {
  Comm::SerialCommunication link;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link.openBT(const_cast<char*>("00:16:53:00:00:01")));
  EXPECT_LT(secondsSince(start), 11.0);
  EXPECT_TRUE(link.getStatus().isFatal());
  EXPECT_FALSE(link.isOpen());
}

TEST(Link, BluetoothAddressesAreRecognised) {
  EXPECT_TRUE(Comm::FdTransport::isBluetoothAddress("00:16:53:0A:bc:FF"));
  EXPECT_FALSE(Comm::FdTransport::isBluetoothAddress("00:16:53:0A:bc"));
  EXPECT_FALSE(Comm::FdTransport::isBluetoothAddress("/dev/rfcomm0"));
  EXPECT_FALSE(Comm::FdTransport::isBluetoothAddress("00-16-53-0A-BC-FF"));
}

// A raw pseudo-terminal, with no virtual brick: the test itself is the brick.
class RawPty : public ::testing::Test {
 protected:
  void SetUp() override {
    master = test::openPtyMaster(path);
    ASSERT_GE(master, 0);
  }
  void TearDown() override { ::close(master); }
  // Reads exactly n bytes the host wrote.
  Sim::Bytes take(std::size_t n) {
    Sim::Bytes out(n);
    std::size_t have = 0;
    while (have < n) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) {
        break;
      }
      ssize_t got = ::read(master, out.data() + have, n - have);
      if (got <= 0) {
        break;
      }
      have += static_cast<std::size_t>(got);
    }
    out.resize(have);
    return out;
  }
  void give(const std::string& bytes) {
    Sim::Bytes raw = hex(bytes);
    ASSERT_EQ(::write(master, raw.data(), raw.size()), static_cast<ssize_t>(raw.size()));
  }

  int master = -1;
  std::string path;
};

TEST_F(RawPty, ToneAndBatteryCarryTheirLengthPrefix) {
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(path.c_str())));
  std::thread brick([&] {
    EXPECT_EQ(hex(take(8)), "06 00 00 03 B8 01 F4 01");
    give("03 00 02 03 00");
    EXPECT_EQ(hex(take(4)), "02 00 00 0B");
    give("05 00 02 0B 00 2C 01");
  });
  EXPECT_EQ(block.playTone(440, 500), 1);
  EXPECT_TRUE(block.getStatus().isSuccess())
      << block.getStatus().getCode() << " at " << block.getStatus().getLineNumber();
  EXPECT_EQ(block.getBatteryLevel(), 300);
  brick.join();
  EXPECT_TRUE(block.getStatus().isSuccess());
}

TEST_F(RawPty, ReplyInPiecesIsReassembled) {
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(path.c_str())));
  std::thread brick([&] {
    take(4);
    give("05");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    give("00 02 0B");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    give("00 2C 01");
  });
  EXPECT_EQ(block.getBatteryLevel(), 300);
  brick.join();
}

TEST(Link, EndlessStaleRepliesCostNoMoreThanTheTimeLimit) {
  // A brick (or a line) that never stops sending replies to some other command must not keep
  // the caller past the time limit, even though every read finds bytes waiting. A socket pair
  // stands for an RFCOMM socket: what one end writes is there at once.
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
  Brick::Lib::Block block;
  block.getCommunication().attach(new Comm::FdTransport(ends[0]), new Comm::LengthPrefixFraming());
  std::atomic<bool> stop{false};
  std::thread brick([&] {
    Sim::Bytes replies;
    for (int i = 0; i < 200; ++i) {
      Sim::Bytes one = hex("03 00 02 03 00");
      replies.insert(replies.end(), one.begin(), one.end());
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stop && std::chrono::steady_clock::now() < until) {
      pollfd p{ends[1], POLLOUT, 0};
      if (::poll(&p, 1, 10) > 0 && ::send(ends[1], replies.data(), replies.size(), 0) < 0 &&
          errno != EAGAIN) {
        break;
      }
    }
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(block.getBatteryLevel(), 257);
  double took = secondsSince(start);
  // The next call first throws away what is pending: that too ends while the flood goes on.
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(block.getBatteryLevel(), 257);
  double tookAgain = secondsSince(start);
  stop = true;
  brick.join();
  ::close(ends[1]);
  EXPECT_LT(took, kLimitSeconds);
  EXPECT_LT(tookAgain, kLimitSeconds);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
}

TEST_F(LateReply, ArrivingAfterTheNextCommandDoesNotPutRepliesOneBehind) {
  // The brick answers the first request after the link gave up on it, but before it answers the
  // next one: both replies echo the same opcode, and only their order tells them apart.
  timeOut(100);
  expectInStep("late reply in flight");
}

TEST_F(LateReply, CommandWithoutReplyKeepsItFromSlippingIn) {
  // A command that wants no reply, sent between a failed exchange and the brick's late answer
  // to it, must not make the link forget that a late answer may still come.
  timeOut(100);
  unsigned char stop[] = {0x0C};
  block.getCommunication().sendDirectCommand(0, stop, 1, nullptr, 0);
  expectInStep("after a command without reply");
}

TEST_F(LateReply, TurningTracingOnOrOffKeepsTheLinkWaryOfIt) {
  // Tracing is what one turns on right after a command failed; the late answer to that command
  // must not slip in as the reply to the next one because of it.
  for (bool on : {true, false}) {
    timeOut(100);
    block.getCommunication().setTracer(
        on ? Comm::SerialCommunication::Tracer([](bool, const std::uint8_t*, std::size_t) {})
           : Comm::SerialCommunication::Tracer());
    expectInStep(on ? "tracing turned on" : "turned off");
  }
}

TEST_F(RawPty, RepliesArrivingTogetherAreTakenOneAtATime) {
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(path.c_str())));
  std::thread brick([&] {
    take(4);
    // A late reply to another command and ours, in one write: read together, taken apart.
    give("03 00 02 03 00 05 00 02 0B 00 2C 01");
    take(4);
    give("05 00 02 0B 00 90 01");
  });
  EXPECT_EQ(block.getBatteryLevel(), 300);
  EXPECT_EQ(block.getBatteryLevel(), 400);
  brick.join();
  EXPECT_TRUE(block.getStatus().isSuccess());
}

TEST_F(RawPty, PieceOfAReplyLeftByATimeOutIsDropped) {
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(path.c_str())));
  std::thread brick([&] {
    take(4);
    give("05 00 02 0B");  // then silence: the rest never comes
    // The next battery request could meet the rest of that reply: a keep-alive goes first.
    EXPECT_EQ(hex(take(4)), "02 00 00 0D");
    give("07 00 02 0D 00 60 EA 00 00");
    take(4);
    give("05 00 02 0B 00 2C 01");
  });
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
  block.getCommunication().clearStatus();
  EXPECT_EQ(block.getBatteryLevel(), 300);
  brick.join();
  EXPECT_TRUE(block.getStatus().isSuccess());
}
