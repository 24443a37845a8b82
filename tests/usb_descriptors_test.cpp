// What the emulated USB brick says of itself on endpoint 0 and on its node, in hex, for a brick
// whose Bluetooth address is 00:16:53:0A:BC:DE: the device descriptor (endpoint 0 of 8 bytes,
// the serial number as string 1), the configuration, and the standard requests, answered or
// stalled.
#include <gtest/gtest.h>

#include "BrickFixture.h"
#include "sim/UsbDescriptors.h"

using test::hex;

namespace {

const std::array<std::uint8_t, 6> kAddress{{0x00, 0x16, 0x53, 0x0A, 0xBC, 0xDE}};

const char kDevice[] = "12 01 00 02 00 00 00 08 94 06 02 00 00 00 00 00 01 01";
const char kConfiguration[] =
    "09 02 20 00 01 01 00 C0 00 09 04 00 00 02 FF FF FF 00 07 05 01 02 40 00 00 07 05 82 02 40 "
    "00 00";

TEST(UsbDescriptors, TheNodeReadsAsTheKernelLaysItOut) {
  Sim::UsbDescriptors usb(kAddress);
  EXPECT_EQ(hex(usb.node()), std::string(kDevice) + " " + kConfiguration);
  EXPECT_EQ(usb.serial(), "0016530ABCDE");
}

TEST(UsbDescriptors, StandardRequestsOnEndpointZero) {
  Sim::UsbDescriptors usb(kAddress);
  struct Case {
    const char* what;
    const char* setup;
    const char* data;  // nullptr: stalled
  };
  const Case cases[] = {
      {"device descriptor", "80 06 00 01 00 00 12 00", kDevice},
      {"its first 8 bytes, as a host asks first", "80 06 00 01 00 00 08 00",
       "12 01 00 02 00 00 00 08"},
      {"configuration", "80 06 00 02 00 00 FF 00", kConfiguration},
      {"configuration head", "80 06 00 02 00 00 09 00", "09 02 20 00 01 01 00 C0 00"},
      {"no second configuration", "80 06 01 02 00 00 FF 00", nullptr},
      {"languages", "80 06 00 03 00 00 FF 00", "04 03 09 04"},
      {"serial number", "80 06 01 03 09 04 FF 00",
       "1A 03 30 00 30 00 31 00 36 00 35 00 33 00 30 00 41 00 42 00 43 00 44 00 45 00"},
      {"no string 2", "80 06 02 03 09 04 FF 00", nullptr},
      {"no other descriptor", "80 06 00 06 00 00 0A 00", nullptr},
      {"status: self-powered", "80 00 00 00 00 00 02 00", "01 00"},
      {"configuration in use", "80 08 00 00 00 00 01 00", "01"},
      {"set configuration 1", "00 09 01 00 00 00 00 00", ""},
      {"set configuration 0", "00 09 00 00 00 00 00 00", ""},
      {"no configuration 2", "00 09 02 00 00 00 00 00", nullptr},
      {"interface 0's only setting", "01 0B 00 00 00 00 00 00", ""},
      {"no second setting", "01 0B 01 00 00 00 00 00", nullptr},
      {"clear an endpoint's halt", "02 01 00 00 82 00 00 00", ""},
      {"a vendor request", "C0 01 00 00 00 00 04 00", nullptr},
  };
  for (const Case& c : cases) {
    Sim::Bytes setup = test::hex(std::string(c.setup));
    Sim::Bytes data;
    bool answered = usb.control(setup.data(), data);
    EXPECT_EQ(answered, c.data != nullptr) << c.what;
    if (c.data != nullptr) {
      EXPECT_EQ(hex(data), c.data) << c.what;
    }
  }
}

}  // namespace
