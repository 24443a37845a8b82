// How a brick shows itself on USB: its identity, that of a brick waiting for new firmware, and
// the interface and endpoints that carry telegrams.
#ifndef PROTOCOL_USBIDS_H
#define PROTOCOL_USBIDS_H

#include <cstdint>

namespace Nxt {

const std::uint16_t kUsbVendor = 0x0694;
const std::uint16_t kUsbProduct = 0x0002;
const std::uint16_t kUsbFirmwareVendor = 0x03EB;
const std::uint16_t kUsbFirmwareProduct = 0x6124;
const std::uint8_t kUsbInterface = 0;
const std::uint8_t kUsbOutEndpoint = 0x01;
const std::uint8_t kUsbInEndpoint = 0x82;

}  // namespace Nxt

#endif
