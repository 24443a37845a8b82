#include "comm/UsbTransport.h"

#include <vector>

#include "comm/LinkCode.h"
#include "protocol/Nxt.h"
#include "protocol/UsbIds.h"

namespace Comm {

UsbTransport::UsbTransport(UsbBackend& b, void* h, const UsbDeviceInfo& device)
    : backend(b), handle(h), info(device) {}

UsbTransport::~UsbTransport() {
  close();
}

UsbTransport* UsbTransport::openFirst(long& code) {
  UsbBackend& backend = UsbBackend::current();
  std::vector<UsbDeviceInfo> devices;
  if (!backend.enumerate(devices)) {
    backend.forget();
    code = kLinkIoError;
    return nullptr;
  }
  code = kLinkNoDevice;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].vendor != Nxt::kUsbVendor || devices[i].product != Nxt::kUsbProduct) {
      continue;
    }
    void* handle = backend.open(i, Nxt::kUsbInterface, code);
    if (handle != nullptr) {
      backend.forget();
      code = kLinkOk;
      return new UsbTransport(backend, handle, devices[i]);
    }
  }
  backend.forget();
  return nullptr;
}

long UsbTransport::write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) {
  if (handle == nullptr) {
    return kLinkNotOpen;
  }
  int ms = deadline.remainingMs();
  if (ms == 0) {
    return kLinkTimeout;
  }
  long put =
      backend.bulkTransfer(handle, Nxt::kUsbOutEndpoint, const_cast<std::uint8_t*>(data), n, ms);
  if (put < 0) {
    return put;
  }
  return static_cast<std::size_t>(put) == n ? kLinkOk : kLinkIoError;
}

long UsbTransport::read(std::uint8_t* data, std::size_t n, const Deadline& deadline) {
  if (handle == nullptr) {
    return kLinkNotOpen;
  }
  // A bulk IN transfer must accept a whole packet, or libusb reports an overflow.
  std::uint8_t packet[Nxt::kMaxTelegram];
  int ms = deadline.remainingMs();
  if (ms == 0) {
    return kLinkTimeout;
  }
  long got = backend.bulkTransfer(handle, Nxt::kUsbInEndpoint, packet, sizeof packet, ms);
  if (got <= 0) {
    return got < 0 ? got : kLinkTimeout;
  }
  std::size_t take = static_cast<std::size_t>(got) < n ? static_cast<std::size_t>(got) : n;
  for (std::size_t i = 0; i < take; ++i) {
    data[i] = packet[i];
  }
  return static_cast<long>(take);
}

void UsbTransport::discardInput() {
  if (handle == nullptr) {
    return;
  }
  std::uint8_t packet[Nxt::kMaxTelegram];
  // Packets of an abandoned reply are already queued on the device: a 1 ms wait collects them.
  // They are a few at most; a device that never stops sending is given up on, not emptied.
  for (int i = 0;
       i < 64 && backend.bulkTransfer(handle, Nxt::kUsbInEndpoint, packet, sizeof packet, 1) > 0;
       ++i) {
  }
}

void UsbTransport::close() {
  if (handle != nullptr) {
    backend.close(handle, Nxt::kUsbInterface);
    handle = nullptr;
  }
}

}  // namespace Comm
