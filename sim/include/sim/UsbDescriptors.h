// What a brick says of itself on USB before any telegram: its device and configuration
// descriptors, its strings, and the answers to the standard requests on endpoint 0. Plain
// bytes, no I/O: the emulated device (UsbDevice) serves them, and tests read them directly.
//
// As the brick's firmware has it: endpoint 0 of 8 bytes, one configuration with one interface of
// the vendor's own class (bulk OUT 0x01 and IN 0x82, 64-byte packets), and a serial number
// (string 1) that is the Bluetooth address as 12 hex digits.
#ifndef SIM_USBDESCRIPTORS_H
#define SIM_USBDESCRIPTORS_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Sim {

class UsbDescriptors {
 public:
  using Bytes = std::vector<std::uint8_t>;
  static constexpr std::uint8_t kEndpoint0Size = 8;
  static constexpr std::uint8_t kSerialIndex = 1;
  static constexpr std::size_t kSetupBytes = 8;

  explicit UsbDescriptors(const std::array<std::uint8_t, 6>& address);

  Bytes device() const;
  Bytes configuration() const;  // with its interface and endpoint descriptors
  // What reading the device's /dev/bus/usb node gives, as the kernel lays it out: the device
  // descriptor, then each configuration's.
  const Bytes& node() const { return nodeBytes; }
  // String descriptor `index` (0: the languages); empty when the brick has none of that index.
  Bytes string(std::uint8_t index) const;
  const std::string& serial() const { return serialNumber; }

  // A request on endpoint 0, its 8-byte setup packet first. True with the data stage's bytes
  // (cut to the length asked for) for a request the brick answers; false for one it stalls.
  bool control(const std::uint8_t* setup, Bytes& data) const;

 private:
  std::string serialNumber;
  Bytes nodeBytes;
};

}  // namespace Sim

#endif
