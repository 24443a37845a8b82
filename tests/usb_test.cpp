// The USB transport through a scripted stand-in for libusb.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <vector>

#include "BrickFixture.h"
#include "FakeUsb.h"
#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

using test::FakeUsb;
using test::hex;

namespace {

Comm::UsbDeviceInfo device(std::uint16_t vendor, std::uint16_t product) {
  Comm::UsbDeviceInfo info;
  info.vendor = vendor;
  info.product = product;
  return info;
}

}  // namespace

TEST(Usb, OpensTheFirstBrickAndSendsTelegramsBare) {
  FakeUsb usb;
  usb.devices = {device(0x046D, 0xC52B), device(0x03EB, 0x6124), device(0x0694, 0x0002)};
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  EXPECT_EQ(usb.opened, std::vector<std::size_t>{2});  // not the one in firmware-update mode
  EXPECT_EQ(usb.claimed, 0);
  block.playTone(440, 500);
  usb.sim.batteryMillivolts = 300;
  EXPECT_EQ(block.getBatteryLevel(), 300);
  ASSERT_EQ(usb.out.size(), 2u);
  EXPECT_EQ(hex(usb.out[0]), "00 03 B8 01 F4 01");
  EXPECT_EQ(hex(usb.out[1]), "00 0B");
  block.disconnect();
  block.disconnect();
  EXPECT_EQ(usb.closes, 1);
}

TEST(Usb, NoBrickMeansFalse) {
  FakeUsb usb;
  usb.devices = {device(0x03EB, 0x6124)};
  Brick::Lib::Block block;
  EXPECT_FALSE(block.connect());
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkNoDevice);
  EXPECT_EQ(block.getBatteryLevel(), 257);
}

TEST(Usb, PermissionDeniedIsReported) {
  FakeUsb usb;
  usb.devices = {device(0x0694, 0x0002)};
  usb.openCode = Comm::kLinkAccessDenied;
  Brick::Lib::Block block;
  EXPECT_FALSE(block.connect());
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkAccessDenied);
}

TEST(Usb, UnpluggedBrickFailsEveryLaterCall) {
  FakeUsb usb;
  usb.devices = {device(0x0694, 0x0002)};
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  usb.unplugged = true;
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkClosedByPeer);
  usb.unplugged = false;
  block.disconnect();
  ASSERT_TRUE(block.connect());
  EXPECT_EQ(block.getBatteryLevel(), 9000);
}

TEST(Usb, StaleReplyIsDiscardedBeforeTheNextCommand) {
  FakeUsb usb;
  usb.devices = {device(0x0694, 0x0002)};
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  usb.sim.scriptReply(0x0B, Sim::Bytes());  // the brick says nothing in time...
  EXPECT_EQ(block.getBatteryLevel(), 257);
  usb.in.push_back(test::hex("02 0B 00 11 11"));  // ...then its late answer arrives
  usb.sim.batteryMillivolts = 300;
  EXPECT_EQ(block.getBatteryLevel(), 300);
}

TEST(Usb, DeviceThatNeverStopsSendingCostsNoMoreThanTheTimeLimit) {
  // Neither waiting for the reply nor throwing away what is pending before the next command
  // may go on for as long as packets keep coming.
  FakeUsb usb;
  usb.devices = {device(0x0694, 0x0002)};
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  usb.floodUntil = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  const double limit = Comm::kReplyTimeoutMs / 1000.0 + 0.5;
  for (int call = 0; call < 2; ++call) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(block.getBatteryLevel(), 257);
    EXPECT_LT(test::secondsSince(start), limit) << "call " << call;
  }
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
}
