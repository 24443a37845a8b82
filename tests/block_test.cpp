// Block's own commands, checked on the wire of a virtual brick answering in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "BrickFixture.h"

using test::hex;
using test::MemoryBrick;
using Strings = std::vector<std::string>;

TEST_F(MemoryBrick, ToneTelegrams) {
  EXPECT_EQ(block.playTone(440, 500), 1);
  EXPECT_EQ(block.playTone(-1, 0), 1);
  EXPECT_EQ(block.playTone(70000, 65535), 1);  // larger values keep their low 16 bits
  EXPECT_EQ(block.stopTone(), 1);
  EXPECT_EQ(wire(),
            (Strings{"00 03 B8 01 F4 01", "00 03 FF 00 00 00", "00 03 70 11 FF FF", "00 0C"}));
}

TEST_F(MemoryBrick, BatteryIsUnsignedLittleEndian) {
  sim.scriptReply(0x0B, hex("02 0B 00 2C 01"));
  EXPECT_EQ(block.getBatteryLevel(), 300);
  sim.scriptReply(0x0B, hex("02 0B 00 FF FF"));
  EXPECT_EQ(block.getBatteryLevel(), 65535);
  silent = true;
  EXPECT_EQ(block.getBatteryLevel(), 257);
}

TEST_F(MemoryBrick, DisconnectWithoutConnectReturnsOne) {
  Brick::Lib::Block fresh;
  EXPECT_EQ(fresh.disconnect(), 1);
  EXPECT_EQ(block.disconnect(), 1);
  EXPECT_EQ(block.getBatteryLevel(), 257);  // sent to a closed link: nothing comes back
}

TEST_F(MemoryBrick, CopyListsTheSameAttachmentsOnTheOriginalLink) {
  Brick::Lib::Motor motor;
  Brick::Lib::Sensor touch;
  touch.setSensorType(Brick::Lib::SENSOR_TOUCH);
  ASSERT_EQ(block.setMotor(&motor, 1), 1);
  ASSERT_EQ(block.setSensor(&touch, 0), 2);
  {
    Brick::Lib::Block copy(block);
    EXPECT_EQ(copy.getMotor(1), &motor);
    EXPECT_EQ(copy.getSensor(0), &touch);
    EXPECT_EQ(copy.getBatteryLevel(), 9000);  // the copy shares the open link
  }
  // The copy is gone; the original's link and what is attached to it still work.
  EXPECT_EQ(motor.moveForward(10), 1);
  EXPECT_EQ(block.getBatteryLevel(), 9000);
}

TEST_F(MemoryBrick, DestroyingABlockLeavesAttachmentsAlive) {
  Brick::Lib::Motor motor;
  {
    Brick::Lib::Block other;
    other.setMotor(&motor, 2);
  }
  Brick::Lib::Motor copy(motor);  // still a whole object
  SUCCEED();
}

TEST_F(MemoryBrick, TextsOverTheWorkingBufferAreCut) {
  std::string huge(10000, 'q');
  block.setName(const_cast<char*>(huge.c_str()));
  EXPECT_EQ(sim.name, std::string(15, 'q'));
  char name[256 + 16];
  std::memset(name, 'z', sizeof name);
  block.getName(name);
  EXPECT_EQ(std::string(name), std::string(15, 'q'));  // the whole 15-byte field, no NUL
  EXPECT_EQ(name[sizeof name - 1], 'z');
  Brick::Lib::Block other;
  EXPECT_FALSE(other.connectBluetooth(const_cast<char*>(huge.c_str())));
}
