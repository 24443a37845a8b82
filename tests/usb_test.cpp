// The USB transport through a scripted stand-in for libusb.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <vector>

#include "BrickFixture.h"
#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

using test::hex;

namespace {

// Enumerates what a test lists and answers bulk reads from a virtual brick.
class FakeUsb : public Comm::UsbBackend {
 public:
  FakeUsb() { install(this); }
  ~FakeUsb() override { install(nullptr); }

  bool enumerate(std::vector<Comm::UsbDeviceInfo>& out) override {
    out = devices;
    return true;
  }
  void* open(std::size_t i, int interface, long& code) override {
    opened.push_back(i);
    claimed = interface;
    if (openCode != 0) {
      code = openCode;
      return nullptr;
    }
    return this;
  }
  long bulkTransfer(void*, std::uint8_t endpoint, std::uint8_t* data, std::size_t n,
                    int timeoutMs) override {
    if (unplugged) {
      return Comm::kLinkClosedByPeer;
    }
    if (endpoint == 0x01) {
      out.emplace_back(data, data + n);
      Sim::Bytes reply = sim.answer(data, n);
      if (!reply.empty()) {
        in.push_back(reply);
      }
      return static_cast<long>(n);
    }
    EXPECT_EQ(endpoint, 0x82);
    EXPECT_EQ(n, 64u);  // a whole packet, or libusb reports an overflow
    EXPECT_GT(timeoutMs, 0);
    if (std::chrono::steady_clock::now() < floodUntil) {
      Sim::Bytes packet = test::hex("02 03 00");  // a reply to some other command, at once
      std::copy(packet.begin(), packet.end(), data);
      return static_cast<long>(packet.size());
    }
    if (in.empty()) {
      return Comm::kLinkTimeout;
    }
    Sim::Bytes packet = in.front();
    in.pop_front();
    std::copy(packet.begin(), packet.end(), data);
    return static_cast<long>(packet.size());
  }
  void close(void*, int) override { ++closes; }

  std::vector<Comm::UsbDeviceInfo> devices;
  std::vector<std::size_t> opened;
  int claimed = -1;
  long openCode = 0;
  bool unplugged = false;
  // Until then every bulk read returns a packet without waiting: a device that never stops.
  std::chrono::steady_clock::time_point floodUntil;
  int closes = 0;
  Sim::VirtualBrick sim;
  std::vector<Sim::Bytes> out;
  std::deque<Sim::Bytes> in;
};

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
