// The few facts about the brick the tool relies on without talking to it: how it shows up on
// USB, and where a brick bound over Bluetooth appears. Kept in one place so that the tool takes
// them from wherever the protocol's constants live.
#ifndef TOOLS_BRICKIDS_H
#define TOOLS_BRICKIDS_H

#include <cstdint>
#include <string>

#include "comm/Nxt.h"

namespace BrickTool {

const std::uint16_t kBrickVendor = Nxt::kUsbVendor;
const std::uint16_t kBrickProduct = Nxt::kUsbProduct;
// A brick with no firmware to talk to, waiting for a firmware-update program.
const std::uint16_t kFirmwareUpdateVendor = 0x03EB;
const std::uint16_t kFirmwareUpdateProduct = 0x6124;

// The bound RFCOMM devices looked through: /dev/rfcomm0 to /dev/rfcomm9.
const int kRfcommDeviceCount = 10;
inline std::string rfcommDevicePath(int index) {
  return "/dev/rfcomm" + std::to_string(index);
}

// The udev rule we ship, and the group it gives the brick to.
const char* const kRuleFile = "70-nxt-brick.rules";
const char* const kRuleGroup = "plugdev";

}  // namespace BrickTool

#endif
