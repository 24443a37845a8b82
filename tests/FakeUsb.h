// A stand-in for libusb: enumerates the devices a test lists and answers bulk transfers from a
// virtual brick, recording what was sent.
#ifndef TESTS_FAKEUSB_H
#define TESTS_FAKEUSB_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

namespace test {

class FakeUsb : public Comm::UsbBackend {
 public:
  FakeUsb() { install(this); }
  ~FakeUsb() override { install(nullptr); }

  // Lists a device as libusb would, with its node under /dev/bus/usb.
  void add(std::uint16_t vendor, std::uint16_t product, int bus = 1, int address = 1) {
    Comm::UsbDeviceInfo info;
    info.vendor = vendor;
    info.product = product;
    info.bus = bus;
    info.address = address;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    info.node = node;
    devices.push_back(info);
  }
  bool enumerate(std::vector<Comm::UsbDeviceInfo>& out) override {
    out = devices;
    return enumerates;
  }
  void* open(std::size_t i, int interface, long& code) override {
    opened.push_back(i);
    claimed = interface;
    auto refused = openCodes.find(devices[i].node);
    if (openCode != 0 || refused != openCodes.end()) {
      code = refused != openCodes.end() ? refused->second : openCode;
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
  bool enumerates = true;
  std::vector<std::size_t> opened;
  int claimed = -1;
  long openCode = 0;
  std::map<std::string, long> openCodes;  // a device's own, by node
  bool unplugged = false;
  // Until then every bulk read returns a packet without waiting: a device that never stops.
  std::chrono::steady_clock::time_point floodUntil;
  int closes = 0;
  Sim::VirtualBrick sim;
  std::vector<Sim::Bytes> out;
  std::deque<Sim::Bytes> in;
};

}  // namespace test

#endif
