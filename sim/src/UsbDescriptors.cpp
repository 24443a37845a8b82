#include "sim/UsbDescriptors.h"

#include <cstdio>

#include "protocol/UsbIds.h"

namespace Sim {

namespace {

// Standard requests (USB 2.0, chapter 9).
const std::uint8_t kGetStatus = 0;
const std::uint8_t kClearFeature = 1;
const std::uint8_t kGetDescriptor = 6;
const std::uint8_t kGetConfiguration = 8;
const std::uint8_t kSetConfiguration = 9;
const std::uint8_t kGetInterface = 10;
const std::uint8_t kSetInterface = 11;
const std::uint8_t kDeviceType = 1;
const std::uint8_t kConfigurationType = 2;
const std::uint8_t kStringType = 3;
const std::uint8_t kConfigurationValue = 1;
const std::uint16_t kEnglish = 0x0409;

std::uint8_t low(unsigned value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t high(unsigned value) {
  return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

UsbDescriptors::UsbDescriptors(const std::array<std::uint8_t, 6>& address) {
  char digits[13];
  std::snprintf(digits, sizeof digits, "%02X%02X%02X%02X%02X%02X", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  serialNumber = digits;
  nodeBytes = device();
  Bytes config = configuration();
  nodeBytes.insert(nodeBytes.end(), config.begin(), config.end());
}

UsbDescriptors::Bytes UsbDescriptors::device() const {
  // USB 2.0, class at the interface; no manufacturer or product string, only the serial.
  return {18,
          kDeviceType,
          0x00,
          0x02,
          0x00,
          0x00,
          0x00,
          kEndpoint0Size,
          low(Nxt::kUsbVendor),
          high(Nxt::kUsbVendor),
          low(Nxt::kUsbProduct),
          high(Nxt::kUsbProduct),
          0x00,
          0x00,
          0,
          0,
          kSerialIndex,
          1};
}

UsbDescriptors::Bytes UsbDescriptors::configuration() const {
  const std::uint8_t packet = 64;
  return {// configuration: 32 bytes in all, one interface, self-powered
          9, kConfigurationType, 32, 0, 1, kConfigurationValue, 0, 0xC0, 0,
          // interface 0: two endpoints, the vendor's own class
          9, 4, Nxt::kUsbInterface, 0, 2, 0xFF, 0xFF, 0xFF, 0,
          // bulk OUT and bulk IN
          7, 5, Nxt::kUsbOutEndpoint, 2, packet, 0, 0, 7, 5, Nxt::kUsbInEndpoint, 2, packet, 0, 0};
}

UsbDescriptors::Bytes UsbDescriptors::string(std::uint8_t index) const {
  if (index == 0) {
    return {4, kStringType, low(kEnglish), high(kEnglish)};
  }
  if (index != kSerialIndex) {
    return {};
  }
  Bytes text{static_cast<std::uint8_t>(2 + 2 * serialNumber.size()), kStringType};
  for (char c : serialNumber) {
    text.push_back(static_cast<std::uint8_t>(c));  // UTF-16LE of ASCII
    text.push_back(0);
  }
  return text;
}

bool UsbDescriptors::control(const std::uint8_t* setup, Bytes& data) const {
  const std::uint8_t type = setup[0];
  const std::uint8_t request = setup[1];
  const unsigned value = setup[2] | (setup[3] << 8);
  const std::size_t length = setup[6] | (setup[7] << 8);
  data.clear();
  bool toHost = (type & 0x80) != 0;
  switch ((type & 0x60) == 0 ? request : 0xFF) {  // standard requests only
    case kGetDescriptor:
      if (type == 0x80 && high(value) == kDeviceType) {
        data = device();
      } else if (type == 0x80 && high(value) == kConfigurationType && low(value) == 0) {
        data = configuration();
      } else if (type == 0x80 && high(value) == kStringType) {
        data = string(low(value));
      }
      if (data.empty()) {
        return false;
      }
      break;
    case kGetStatus:
      if (!toHost) {
        return false;
      }
      data = {static_cast<std::uint8_t>(type == 0x80 ? 0x01 : 0x00), 0x00};  // self-powered
      break;
    case kGetConfiguration:
      data = {kConfigurationValue};
      break;
    case kGetInterface:
      data = {0};
      break;
    case kSetConfiguration:
      return value == 0 || value == kConfigurationValue;
    case kSetInterface:
      return value == 0;  // the interface has no other setting
    case kClearFeature:
      return true;
    default:
      return false;
  }
  if (data.size() > length) {
    data.resize(length);
  }
  return true;
}

}  // namespace Sim
