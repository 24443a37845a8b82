// Fewer round trips on the wire: commands whose reply says only "done" go as 0x80 telegrams
// unless the link asks for replies; a refusal the brick would give is caught before sending;
// a Batch sends its requests back to back, at most `inFlight` awaited, and hands each reply to
// its request; I2C reads poll LSREAD alone, with the published order as the fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "brick/Batch.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"
#include "brick/I2cDevice.h"
#include "brick/Input.h"
#include "brick/Output.h"
#include "brick/SyncDrive.h"
#include "comm/LinkCode.h"
#include "comm/PacketFraming.h"
#include "protocol/Nxt.h"
#include "sim/LinkModel.h"

using test::MemoryBrick;
using namespace Brick::Lib;
using Strings = std::vector<std::string>;

namespace {

const std::string kNoData = " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char* kSonarWrite = "00 0F 03 02 01 02 42";
const char* kSonarRead = "00 10 03";
const char* kSonarStatus = "00 0E 03";

// A brick in memory that counts the replies written and not yet read: how many are in flight.
class CountingTransport : public Comm::Transport {
 public:
  explicit CountingTransport(Sim::VirtualBrick& brick) : sim(brick) {}
  long write(const std::uint8_t* data, std::size_t n, const Comm::Deadline&) override {
    Sim::Bytes reply = sim.answer(data, n);
    if (!reply.empty()) {
      replies.push_back(reply);
      most = std::max(most, replies.size());
    }
    return Comm::kLinkOk;
  }
  long read(std::uint8_t* data, std::size_t n, const Comm::Deadline&) override {
    if (replies.empty()) {
      return Comm::kLinkTimeout;
    }
    std::size_t got = std::min(n, replies.front().size());
    std::memcpy(data, replies.front().data(), got);
    replies.pop_front();
    return static_cast<long>(got);
  }
  void discardInput() override { replies.clear(); }
  void close() override {}
  bool isPacketBased() const override { return true; }

  Sim::VirtualBrick& sim;
  std::deque<Sim::Bytes> replies;
  std::size_t most = 0;
};

// The control loop of a robot: touch, light, ultrasonic, both rotation counts, both motors.
struct Loop {
  std::size_t touch, light, sonar, left, right;
};

Loop controlLoop(Batch& batch, int power) {
  Loop loop{batch.input(0), batch.input(2), batch.ultrasonic(3), batch.output(1), batch.output(2)};
  batch.runRegulated(1, power);
  batch.runRegulated(2, -power);
  return loop;
}

const Strings kLoopWire = {kSonarWrite,
                           "00 07 00",
                           "00 07 02",
                           "00 06 01",
                           "00 06 02",
                           kSonarRead,
                           "80 04 01 32 07 01 00 20 00 00 00 00",
                           "80 04 02 CE 07 01 00 20 00 00 00 00"};

}  // namespace

class Batches : public MemoryBrick {
 protected:
  void SetUp() override {
    MemoryBrick::SetUp();
    ASSERT_EQ(Input(block, 0).setMode(Nxt::kSwitch, Nxt::kBooleanMode), 0);
    ASSERT_EQ(Input(block, 2).setMode(Nxt::kLightActive, Nxt::kPctFullScaleMode), 0);
    ASSERT_EQ(Input(block, 3).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode), 0);
    sim.inputs[0].scaled = 1;
    sim.inputs[2].scaled = 47;
    sim.outputs[1].rotationCount = 360;
    sim.outputs[2].rotationCount = -90;
    sim.ultrasonic[3].distance = 42;
    sim.ultrasonicLatencyPolls = 0;
    clearWire();
  }
};

TEST_F(Batches, CommandsGoWithoutReplyUnlessTheLinkAsks) {
  struct Case {
    const char* what;
    std::function<long()> call;
    const char* wire;  // as sent without replies; with them the type byte is 00
  };
  const Case cases[] = {
      {"SETOUTPUTSTATE", [&] { return Output(block, 1).runRegulated(50, 360); },
       "80 04 01 32 07 01 00 20 68 01 00 00"},
      {"RESETMOTORPOSITION", [&] { return Output(block, 2).resetPosition(false); }, "80 0A 02 00"},
      {"SETINPUTMODE", [&] { return Input(block, 1).setMode(Nxt::kSwitch, Nxt::kRawMode); },
       "80 05 01 01 00"},
      {"PLAYTONE", [&] { return BrickInfo(block).playTone(440, 500); }, "80 03 B8 01 F4 01"},
      {"STOPSOUNDPLAYBACK", [&] { return BrickInfo(block).stopSoundPlayback(); }, "80 0C"},
  };
  for (bool confirm : {false, true}) {
    block.getCommunication().setConfirmCommands(confirm);
    EXPECT_EQ(block.getCommunication().confirmsCommands(), confirm);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (confirm ? " with a reply" : " without"));
      clearWire();
      EXPECT_EQ(c.call(), kBrickOk);
      std::string expected = c.wire;
      if (confirm) {
        expected.replace(0, 2, "00");
      }
      EXPECT_EQ(wire(), Strings{expected});
    }
  }
  // The brick's refusal reaches only a link that asks: a sound file it does not hold.
  EXPECT_EQ(BrickInfo(block).playSoundFile("nothere.rso"), kBrickStatus + 0xC0);  // not in flash
  block.getCommunication().setConfirmCommands(false);
  EXPECT_EQ(BrickInfo(block).playSoundFile("nothere.rso"), kBrickOk);
  EXPECT_TRUE(sim.received().back()[0] == 0x80);
}

TEST_F(Batches, RefusalsTheBrickWouldGiveAreCaughtBeforeSending) {
  struct Case {
    const char* what;
    std::function<long()> call;
    long code;
  };
  const Case cases[] = {
      {"output port 3", [&] { return Output(block, 3).runRegulated(50); }, kBrickBadPort},
      {"power 101", [&] { return Output(block, 0).setState(101, 1, 1, 0, 0x20, 0); },
       kBrickBadValue},
      {"turn ratio -101", [&] { return Output(block, 0).setState(50, 1, 2, -101, 0x20, 0); },
       kBrickBadValue},
      {"input port 4", [&] { return Input(block, 4).setMode(Nxt::kSwitch, 0); }, kBrickBadPort},
      {"tone 100 Hz", [&] { return BrickInfo(block).playTone(100, 10); }, kBrickBadValue},
      {"tone of 70 s", [&] { return BrickInfo(block).playTone(440, 70000); }, kBrickBadValue},
      {"sync on one port", [&] { return SyncDrive(block, 2, 2).drive(50); }, kBrickBadPort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clearWire();
    EXPECT_EQ(c.call(), c.code);
    EXPECT_TRUE(wire().empty());
  }
}

TEST_F(Batches, ControlLoopGoesBackToBackAndEachReplyReachesItsRequest) {
  Batch batch(block);
  Loop loop = controlLoop(batch, 50);
  ASSERT_EQ(batch.run(), kBrickOk);
  EXPECT_EQ(wire(), kLoopWire);
  EXPECT_EQ(batch.result(loop.touch).input.scaled, 1);
  EXPECT_EQ(batch.result(loop.light).input.port, 2);
  EXPECT_EQ(batch.result(loop.light).input.scaled, 47);
  EXPECT_EQ(batch.result(loop.sonar).centimetres, 42);
  EXPECT_EQ(batch.result(loop.left).output.rotationCount, 360);
  EXPECT_EQ(batch.result(loop.right).output.port, 2);
  EXPECT_EQ(batch.result(loop.right).output.rotationCount, -90);
  EXPECT_EQ(sim.outputs[2].power, -50);

  // Replies asked for: the motor commands are answered too, and checked.
  block.getCommunication().setConfirmCommands(true);
  clearWire();
  ASSERT_EQ(batch.run(), kBrickOk);
  EXPECT_EQ(wire().back(), "00 04 02 CE 07 01 00 20 00 00 00 00");

  // A port out of range is that item's refusal; the rest still goes.
  batch.clear();
  std::size_t bad = batch.output(3);
  std::size_t good = batch.input(2);
  clearWire();
  EXPECT_EQ(batch.run(), kBrickBadPort);
  EXPECT_EQ(batch.result(bad).code, kBrickBadPort);
  EXPECT_EQ(batch.result(good).code, kBrickOk);
  EXPECT_EQ(wire(), Strings{"00 07 02"});
}

TEST_F(Batches, LostReplyFailsOnlyItsOwnRequest) {
  Batch batch(block);
  std::size_t touch = batch.input(0);
  std::size_t left = batch.output(1);
  std::size_t light = batch.input(2);
  std::size_t right = batch.output(2);
  silentOpcode = Nxt::kGetInputValues;  // both sensor replies go missing
  EXPECT_EQ(batch.run(), Comm::kLinkTimeout);
  EXPECT_EQ(wire(), (Strings{"00 07 00", "00 06 01", "00 07 02", "00 06 02"}));
  EXPECT_EQ(batch.result(touch).code, Comm::kLinkTimeout);
  EXPECT_EQ(batch.result(light).code, Comm::kLinkTimeout);
  EXPECT_EQ(batch.result(left).code, kBrickOk);
  EXPECT_EQ(batch.result(left).output.rotationCount, 360);
  EXPECT_EQ(batch.result(right).output.rotationCount, -90);
  // The link stays in step for the next run.
  silentOpcode = -1;
  ASSERT_EQ(batch.run(), kBrickOk);
  EXPECT_EQ(batch.result(light).input.scaled, 47);
}

TEST(BatchInFlight, NeverMoreRepliesAwaitedThanAllowed) {
  const std::size_t allowed[] = {1, 2, 3, 8};
  for (std::size_t inFlight : allowed) {
    SCOPED_TRACE(inFlight);
    Sim::VirtualBrick sim;
    Block block;
    auto* transport = new CountingTransport(sim);
    block.getCommunication().attach(transport, new Comm::PacketFraming());
    Batch batch(block);
    batch.inFlight = inFlight;
    for (int port = 0; port < 4; ++port) {
      batch.input(port);
    }
    batch.output(0);
    batch.output(1);
    ASSERT_EQ(batch.run(), kBrickOk);
    EXPECT_EQ(transport->most, std::min<std::size_t>(inFlight, 6));
    EXPECT_EQ(sim.received().size(), 6u);
  }
}

TEST_F(Batches, UltrasonicInTwoTelegramsAndItsFallbacks) {
  const std::string pending = "02 10 20 00" + kNoData;
  const std::string nothing = "02 10 00 00" + kNoData;
  struct Case {
    const char* what;
    std::vector<std::string> lsRead;  // scripted LSREAD replies, then the brick's own
    int latencyPolls;
    int runningPolls;  // a transaction from before still on the bus, -1 for none
    Strings wire;
  };
  const Case cases[] = {
      {"quick sensor", {}, 0, -1, {kSonarWrite, "00 07 02", kSonarRead}},
      {"pending once: LSREAD again, alone (both replies scripted: the brick's own would hand the "
       "byte over at once)",
       {pending, "02 10 00 01 2A" + kNoData.substr(0, 15 * 3)},
       0,
       -1,
       {kSonarWrite, "00 07 02", kSonarRead, kSonarRead}},
      {"a brick that reads nothing instead of pending: LSGETSTATUS, then LSREAD",
       {nothing},
       1,
       -1,
       {kSonarWrite, "00 07 02", kSonarRead, kSonarStatus, kSonarStatus, kSonarRead}},
      {"a transaction from before refuses the request: the reading again",
       {},
       0,
       1,
       {kSonarWrite, "00 07 02", kSonarRead, kSonarWrite, kSonarStatus, kSonarWrite, kSonarStatus,
        kSonarWrite, kSonarRead}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& r : c.lsRead) {
      sim.scriptReply(Nxt::kLsRead, test::hex(r));
    }
    sim.ultrasonicLatencyPolls = c.latencyPolls;
    sim.ultrasonic[3].pendingPolls = c.runningPolls;
    clearWire();
    Batch batch(block);
    std::size_t sonar = batch.ultrasonic(3);
    batch.input(2);
    EXPECT_EQ(batch.run(), kBrickOk);
    EXPECT_EQ(batch.result(sonar).centimetres, 42);
    EXPECT_EQ(wire(), c.wire);
  }
}

TEST_F(Batches, I2cReadPollsLsReadAloneAndFallsBack) {
  const std::string nothing = "02 10 00 00" + kNoData;
  struct Case {
    const char* what;
    bool nothingRead;
    int latencyPolls;
    Strings wire;
  };
  const Case cases[] = {
      {"quick device: two telegrams", false, 0, {"00 0F 03 02 08 02 00", kSonarRead}},
      {"a brick that reads nothing instead of pending",
       true,
       1,
       {"00 0F 03 02 08 02 00", kSonarRead, kSonarStatus, kSonarStatus, kSonarRead}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.nothingRead) {
      sim.scriptReply(Nxt::kLsRead, test::hex(nothing));
    }
    sim.ultrasonicLatencyPolls = c.latencyPolls;
    clearWire();
    I2cDevice sonar(block, 3);
    sonar.pollMs = 0;
    std::string version;
    EXPECT_EQ(sonar.readText(0x00, version), kBrickOk);
    EXPECT_EQ(version, "V1.0");
    EXPECT_EQ(wire(), c.wire);
  }
}

// Over bricksim's link models in real time, as a robot program runs: the same telegrams, each
// reply its own request's. Nothing here is timed.
TEST(BatchInRealTime, ControlLoopOverBothLinkModels) {
  for (auto kind : {Sim::LinkModel::Kind::Usb, Sim::LinkModel::Kind::Bluetooth}) {
    SCOPED_TRACE(kind == Sim::LinkModel::Kind::Usb ? "usb" : "bluetooth");
    Sim::VirtualBrick sim;
    Sim::PtyServer server{sim};
    server.setLinkModel(Sim::LinkModel(kind));
    ASSERT_TRUE(server.start());
    Block block;
    ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
    ASSERT_EQ(Input(block, 0).setMode(Nxt::kSwitch, Nxt::kBooleanMode), 0);
    ASSERT_EQ(Input(block, 2).setMode(Nxt::kLightActive, Nxt::kPctFullScaleMode), 0);
    ASSERT_EQ(Input(block, 3).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode), 0);
    // Commands without a reply are carried out in order: a reply to what follows them says
    // they are done.
    std::uint32_t sleepMs = 0;
    ASSERT_EQ(BrickInfo(block).keepAlive(sleepMs), 0);
    {
      auto guard = server.lock();
      sim.inputs[2].scaled = 47;
      sim.outputs[2].rotationCount = -90;
      sim.ultrasonic[3].distance = 42;
    }
    Batch batch(block);
    Loop loop = controlLoop(batch, 50);
    for (int cycle = 0; cycle < 3; ++cycle) {
      {
        auto guard = server.lock();
        sim.clearRecord();
      }
      ASSERT_EQ(batch.run(), kBrickOk);
      EXPECT_EQ(batch.result(loop.light).input.scaled, 47);
      EXPECT_EQ(batch.result(loop.right).output.rotationCount, -90);
      EXPECT_EQ(batch.result(loop.sonar).centimetres, 42);
      ASSERT_EQ(BrickInfo(block).keepAlive(sleepMs), 0);
      auto guard = server.lock();
      Strings sent = test::wireOf(sim);
      ASSERT_EQ(sent.back(), "00 0D");
      sent.pop_back();
      // LSREAD may have been asked again while the sensor measured.
      sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
      EXPECT_EQ(sent, kLoopWire);
    }
    block.disconnect();
    server.stop();
  }
}
