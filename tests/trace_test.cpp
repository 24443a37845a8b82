// The link's tracer: what it reports is the telegrams themselves, framing taken off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrickFixture.h"
#include "comm/SerialCommunication.h"

using test::hex;
using test::MemoryBrick;
using test::PtyBrick;
using Fault = Sim::PtyServer::Fault;

namespace {

// Records "> 01 9B" for a telegram sent and "< 02 9B 00 ..." for one received.
Comm::SerialCommunication::Tracer recorder(std::vector<std::string>& lines) {
  return [&lines](bool sent, const std::uint8_t* t, std::size_t n) {
    lines.push_back((sent ? "> " : "< ") + hex(Sim::Bytes(t, t + n)));
  };
}

}  // namespace

TEST_F(PtyBrick, TracerSeesTelegramsWithoutTheLengthPrefix) {
  std::vector<std::string> lines;
  block.getCommunication().setTracer(recorder(lines));
  auto guard = server.lock();
  sim.batteryMillivolts = 9000;
  guard.unlock();
  EXPECT_EQ(block.getBatteryLevel(), 9000);
  block.playTone(440, 500);
  EXPECT_EQ(lines, (std::vector<std::string>{"> 00 0B", "< 02 0B 00 28 23", "> 00 03 B8 01 F4 01",
                                             "< 02 03 00"}));
}

TEST_F(PtyBrick, TracerSeesAStaleReplyAndSurvivesReopening) {
  std::vector<std::string> lines;
  block.getCommunication().setTracer(recorder(lines));
  server.setFault(Fault::WrongOpcode, 1);
  block.getBatteryLevel();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "> 00 0B");
  EXPECT_EQ(lines[1].substr(0, 5), "< 02 ");
  EXPECT_NE(lines[1].substr(0, 8), "< 02 0B ");  // the wrong echo is shown as it came

  lines.clear();
  block.disconnect();
  ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  block.stopTone();
  EXPECT_EQ(lines, (std::vector<std::string>{"> 00 0C", "< 02 0C 00"}));

  lines.clear();
  block.getCommunication().setTracer(nullptr);
  block.stopTone();
  EXPECT_TRUE(lines.empty());
}

TEST_F(MemoryBrick, TracerSeesUsbTelegramsAndASilentBrickOnlyAsSent) {
  std::vector<std::string> lines;
  block.getCommunication().setTracer(recorder(lines));
  silent = true;
  block.stopTone();
  EXPECT_EQ(lines, std::vector<std::string>{"> 00 0C"});
}
