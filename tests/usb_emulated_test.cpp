// The real libusb backend on bricks that umockdev emulates below libusb: enumeration through
// sysfs, the /dev/bus/usb node opened, the interface claimed and every telegram a bulk
// transfer, answered by a virtual brick (EmulatedUsb.h). Runs under libumockdev-preload.
#include <gtest/gtest.h>

#include "BrickFixture.h"
#include "EmulatedUsb.h"
#include "brick/Motor.h"
#include "comm/LinkCode.h"

using test::EmulatedUsb;
using test::hex;
using Strings = std::vector<std::string>;

namespace {

Strings wireOf(EmulatedUsb& usb, EmulatedUsb::Device& device) {
  return usb.inspect([&] {
    Strings out;
    for (const Sim::Bytes& t : device.out) {
      out.push_back(hex(t));
    }
    return out;
  });
}

}  // namespace

TEST(EmulatedUsb, WholeSessionOnTheBrickOnly) {
  EmulatedUsb usb;
  EmulatedUsb::Device& mouse = usb.add(0x046D, 0xC52B, 1, 2);
  EmulatedUsb::Device& waiting = usb.add(0x03EB, 0x6124, 1, 3);
  EmulatedUsb::Device& brick = usb.add(0x0694, 0x0002, 1, 5);
  brick.sim.name = "Emulated";
  brick.sim.batteryMillivolts = 7300;
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect()) << block.getStatus().getCode();
  EXPECT_EQ(block.getBatteryLevel(), 7300);
  char name[256] = {};
  block.getName(name);
  EXPECT_STREQ(name, "Emulated");
  Brick::Lib::Motor motor;
  block.setMotor(&motor, 1);
  EXPECT_EQ(motor.moveForward(75), 1);
  EXPECT_TRUE(block.getStatus().isSuccess()) << block.getStatus().getCode();
  block.disconnect();
  EXPECT_EQ(wireOf(usb, brick), (Strings{"00 0B", "01 9B", "00 04 01 4B 05 01 00 20 00 00 00 00"}));
  usb.inspect([&] {
    EXPECT_EQ(brick.claims, 1);
    EXPECT_EQ(brick.releases, 1);
    EXPECT_EQ(mouse.opens + waiting.opens, 0);  // neither is opened, not even to look
    return 0;
  });
}
