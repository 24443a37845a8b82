// The port registries of Block: what attaching, detaching and looking up do, in which order,
// and what reaches the brick while they do it.
#include <gtest/gtest.h>

#include <string>

#include "BrickFixture.h"

using Brick::Lib::Motor;
using Brick::Lib::Sensor;
using test::MemoryBrick;
using Strings = std::vector<std::string>;
namespace L = Brick::Lib;

TEST_F(MemoryBrick, MotorRegistry) {
  Motor a, b;
  EXPECT_EQ(block.setMotor(nullptr, 0), -1);
  EXPECT_EQ(block.getMotor(0), nullptr);
  EXPECT_EQ(block.setMotor(&a, 0), 1);
  EXPECT_EQ(block.setMotor(&b, 0), -1);  // taken, even for another motor
  EXPECT_EQ(block.setMotor(&a, 0), -1);  // and for the same one
  EXPECT_EQ(block.getMotor(0), &a);
  EXPECT_EQ(block.setMotor(&a, -1), 1);  // any port is a key
  EXPECT_EQ(block.getMotor(-1), &a);
  EXPECT_EQ(block.remMotor(1), -1);
  EXPECT_EQ(block.remMotor(0), 1);
  EXPECT_EQ(block.getMotor(0), nullptr);
  EXPECT_EQ(block.remMotor(0), -1);
  EXPECT_EQ(block.setMotor(&b, 0), 1);
  EXPECT_EQ(block.getMotor(0), &b);
  EXPECT_TRUE(sim.received().empty());

  // Detached, a motor keeps its port and link.
  block.remMotor(0);
  b.moveForward(20);
  EXPECT_EQ(wire(), Strings{"00 04 00 14 05 01 00 20 00 00 00 00"});
}

TEST_F(MemoryBrick, SensorRegistry) {
  Sensor a, b, noKind;
  a.setSensorType(L::SENSOR_TOUCH);
  b.setSensorType(L::SENSOR_LIGHT_ACTIVE);
  EXPECT_EQ(block.setSensor(nullptr, 0), -1);
  EXPECT_EQ(block.setSensor(&noKind, 0), -1);
  EXPECT_EQ(block.getSensor(0), nullptr);
  EXPECT_EQ(noKind.getValue(), -1);  // still detached
  EXPECT_TRUE(sim.received().empty());

  EXPECT_EQ(block.setSensor(&a, 0), 2);
  EXPECT_EQ(block.setSensor(&b, 0), -1);  // taken
  EXPECT_EQ(block.setSensor(&a, 0), -1);  // even for the same sensor
  EXPECT_EQ(b.getValue(), -1);            // the refused one stays detached
  EXPECT_EQ(block.setSensor(&a, 1), 2);   // listed under both; its port is the later one
  EXPECT_EQ(block.getSensor(0), &a);
  EXPECT_EQ(block.getSensor(1), &a);
  EXPECT_EQ(block.setSensor(&b, -1), 1);  // port -1: registered, nothing sent
  EXPECT_EQ(block.getSensor(-1), &b);
  EXPECT_EQ(wire(), (Strings{"00 05 00 01 20", "00 05 01 01 20"}));

  EXPECT_EQ(block.remSensor(2), -1);
  EXPECT_EQ(block.remSensor(0), 1);
  EXPECT_EQ(block.getSensor(0), nullptr);
  EXPECT_EQ(block.remSensor(0), -1);
  clearWire();
  a.getValue();  // detached, it keeps its port and link
  EXPECT_EQ(block.setSensor(&b, 0), 2);
  EXPECT_EQ(wire(), (Strings{"00 07 01", "00 05 00 05 80"}));
}

TEST(Registry, SensorAttachedBeforeConnecting) {
  // The mode command goes to a link that is not open: the result is still 2, and the link
  // records why nothing reached a brick.
  L::Block block;
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_TOUCH);
  EXPECT_EQ(block.setSensor(&sensor, 0), 2);
  EXPECT_EQ(block.getSensor(0), &sensor);
  EXPECT_TRUE(block.getStatus().isFatal());
}
