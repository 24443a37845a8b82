// The ultrasonic reading on the wire: one distance request, status polls while the bus
// transaction runs, one read; the request goes out again only when no transaction is running.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrickFixture.h"

using test::hex;
using test::MemoryBrick;
using Strings = std::vector<std::string>;

namespace {

const char* const kRequest = "00 0F 03 02 01 02 42";
const char* const kPoll = "00 0E 03";
const char* const kRead = "00 10 03";

class Ultrasonic : public MemoryBrick {
 protected:
  void SetUp() override {
    MemoryBrick::SetUp();
    sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
    ASSERT_EQ(block.setSensor(&sonar, 3), 2);
    sim.ultrasonic[3].distance = 42;
    sim.clearRecord();
  }
  Brick::Lib::Sensor sonar;
};

}  // namespace

TEST_F(Ultrasonic, ReadyAtTheFirstPollCostsThreeTelegrams) {
  EXPECT_EQ(sonar.getValue(), 42);
  EXPECT_EQ(wire(), (Strings{kRequest, kPoll, kRead}));
}

TEST_F(Ultrasonic, PendingPollsDoNotRestartTheTransaction) {
  for (int latency : {1, 3}) {
    sim.ultrasonicLatencyPolls = latency;
    sim.clearRecord();
    EXPECT_EQ(sonar.getValue(), 42) << "latency " << latency;
    Strings expected{kRequest};
    expected.insert(expected.end(), static_cast<std::size_t>(latency) + 1, kPoll);
    expected.push_back(kRead);
    EXPECT_EQ(wire(), expected) << "latency " << latency;
  }
}

TEST_F(Ultrasonic, RequestIsSentAgainWhenNoTransactionRuns) {
  // A bus error ends the transaction; so does "success, nothing to read".
  sim.scriptReply(0x0E, hex("02 0E DD 00"));
  sim.scriptReply(0x0E, hex("02 0E 00 00"));
  EXPECT_EQ(sonar.getValue(), 42);
  EXPECT_EQ(wire(), (Strings{kRequest, kPoll, kRequest, kPoll, kRequest, kPoll, kRead}));
}
