// The brick's USB interface: bulk OUT endpoint 0x01, bulk IN endpoint 0x82, one telegram per
// packet, through the current UsbBackend.
#ifndef COMM_USBTRANSPORT_H
#define COMM_USBTRANSPORT_H

#include "comm/Export.h"
#include "comm/Transport.h"
#include "comm/UsbBackend.h"

namespace Comm {

class COMM_API UsbTransport : public Transport {
 public:
  // Opens the first brick (0x0694:0x0002) found. Null on failure, with a LinkCode in `code`.
  static UsbTransport* openFirst(long& code);
  ~UsbTransport() override;

  long write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  long read(std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  void discardInput() override;
  void close() override;
  bool isPacketBased() const override { return true; }
  // Which device was opened: of several bricks, the first that could be.
  const UsbDeviceInfo& device() const { return info; }

 private:
  UsbTransport(UsbBackend& backend, void* handle, const UsbDeviceInfo& info);

  UsbBackend& backend;
  void* handle;
  UsbDeviceInfo info;
};

}  // namespace Comm

#endif
