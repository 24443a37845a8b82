// The few USB operations the link needs, behind an interface so that tests can stand in for
// libusb and the hardware.
#ifndef COMM_USBBACKEND_H
#define COMM_USBBACKEND_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/Export.h"

namespace Comm {

struct UsbDeviceInfo {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  int bus = 0;
  int address = 0;
  std::string node;  // /dev/bus/usb/BBB/DDD
};

class COMM_API UsbBackend {
 public:
  virtual ~UsbBackend();

  // Every USB device present; false when enumeration itself failed.
  virtual bool enumerate(std::vector<UsbDeviceInfo>& devices) = 0;
  // Opens the device at index `i` of the last enumeration and claims `interface`. Returns an
  // opaque handle, or null with a negative LinkCode in `code`.
  virtual void* open(std::size_t i, int interface, long& code) = 0;
  // One bulk transfer. Returns the bytes moved, or a negative LinkCode.
  virtual long bulkTransfer(void* handle, std::uint8_t endpoint, std::uint8_t* data, std::size_t n,
                            int timeoutMs) = 0;
  virtual void close(void* handle, int interface) = 0;
  // Drops the last enumeration. A backend may hold resources (libusb's context and its event
  // thread) from the first enumeration until the last enumeration is dropped and the last
  // handle is closed.
  virtual void forget() {}

  // The backend the link uses: libusb unless a test installed another. The link does not own
  // an installed backend; pass null to go back to libusb.
  static UsbBackend& current();
  static void install(UsbBackend* backend);
};

}  // namespace Comm

#endif
