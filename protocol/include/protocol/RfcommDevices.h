// Where a brick bound over Bluetooth appears: the serial devices /dev/rfcomm0 to /dev/rfcomm9,
// the ones looked through when no device is named.
#ifndef PROTOCOL_RFCOMMDEVICES_H
#define PROTOCOL_RFCOMMDEVICES_H

#include <string>

namespace Nxt {

const int kRfcommDeviceCount = 10;

// The path of bound device `index`, 0 to kRfcommDeviceCount - 1.
inline std::string rfcommDevicePath(int index) {
  return "/dev/rfcomm" + std::to_string(index);
}

}  // namespace Nxt

#endif
