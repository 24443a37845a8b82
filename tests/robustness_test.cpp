// Callers' bad input and a brick that goes away: never a crash, never a hang.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "BrickFixture.h"
#include "comm/LinkCode.h"

using test::hex;
using test::MemoryBrick;
using test::PtyBrick;
using test::secondsSince;
using Fault = Sim::PtyServer::Fault;

TEST_F(MemoryBrick, NamesOfEveryLengthAreCutNotOverflowed) {
  char name[256];
  for (std::size_t length = 0; length <= 10000; length += length < 300 ? 1 : 97) {
    std::string text(length, static_cast<char>('a' + length % 26));
    block.setName(const_cast<char*>(text.c_str()));
    block.getName(name);
    ASSERT_EQ(std::string(name), text.substr(0, 15)) << length;  // a 15-character name whole
  }
}

TEST(Robustness, DeviceTextsOfEveryLengthFailCleanly) {
  Brick::Lib::Block block;
  for (std::size_t length = 0; length <= 10000; length += length < 300 ? 1 : 97) {
    std::string text(length, 'x');
    ASSERT_FALSE(block.connectBluetooth(const_cast<char*>(text.c_str()))) << length;
    ASSERT_TRUE(block.getStatus().isFatal());
  }
  std::string address = "00:16:53:0A:0B:0C" + std::string(300, '0');
  EXPECT_FALSE(block.connectBluetooth(const_cast<char*>(address.c_str())));
}

TEST_F(PtyBrick, OverlongDeviceTextIsRefusedNotCut) {
  // Cut to 255 characters, this path would name the virtual brick's device.
  std::string path = server.devicePath();
  std::string trick = std::string(255 - path.size(), '/') + path + std::string(10, 'x');
  ASSERT_EQ(trick.substr(0, 255), std::string(255 - path.size(), '/') + path);
  Brick::Lib::Block other;
  EXPECT_FALSE(other.connectBluetooth(const_cast<char*>(trick.c_str())));
  EXPECT_EQ(other.getStatus().getCode(), Comm::kLinkBadArgument);
  std::string exact = std::string(255 - path.size(), '/') + path;
  EXPECT_TRUE(other.connectBluetooth(const_cast<char*>(exact.c_str())));
}

TEST_F(MemoryBrick, AnyPortNumberIsSentAsItsLowByte) {
  Brick::Lib::Motor motor;
  Brick::Lib::Sensor sensor;
  sensor.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
  for (int port : {INT_MIN, INT_MIN + 1, -257, -1, 3, 255, 256, 0x12345, INT_MAX}) {
    sim.clearRecord();
    ASSERT_EQ(block.setMotor(&motor, port), 1);
    ASSERT_EQ(block.setSensor(&sensor, port), port == -1 ? 1 : 2);
    motor.moveForward(INT_MIN);
    motor.moveBackwardDegrees(INT_MIN, INT_MIN);
    motor.getRotationCount();
    motor.resetRotationCount();
    sensor.getValue();  // the brick refuses a bad port; the reading still ends
    sensor.enableSonar();
    const std::uint8_t low = static_cast<std::uint8_t>(port);
    for (const Sim::Bytes& telegram : sim.received()) {
      ASSERT_GE(telegram.size(), 3u);
      EXPECT_EQ(telegram[2], low) << hex(telegram);
    }
    EXPECT_EQ(hex(sim.received().at(port == -1 ? 0 : 1)).substr(0, 11),
              "00 04 " + hex(Sim::Bytes{low}) + " 00");  // -INT_MIN wraps to 0x00 power
    block.remMotor(port);
    block.remSensor(port);
  }
}

TEST_F(PtyBrick, EveryOperationReturnsPromptlyOnceTheBrickIsGone) {
  Brick::Lib::Motor motor;
  Brick::Lib::Sensor sonar;
  Brick::Lib::Sensor light;
  sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
  light.setSensorType(Brick::Lib::SENSOR_LIGHT_ACTIVE);
  block.setMotor(&motor, 0);
  block.setSensor(&sonar, 3);
  block.setSensor(&light, 1);
  server.setFault(Fault::Hangup, 1);
  auto start = std::chrono::steady_clock::now();
  block.playTone(440, 10);  // the brick hangs up on this one
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_EQ(motor.moveForward(50), 1);
  EXPECT_EQ(motor.getRotationCount(), 16843009);
  EXPECT_EQ(sonar.getValue(), 1);
  EXPECT_EQ(light.getValue(), 257);
  char name[256];
  block.getName(name);
  EXPECT_STREQ(name, "");
  EXPECT_LT(secondsSince(start), Comm::kReplyTimeoutMs / 1000.0 + 0.5);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkClosedByPeer);
}
