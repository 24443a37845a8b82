// The UsbBackend that talks to real devices through libusb-1.0.
#include <libusb-1.0/libusb.h>

#include <cstdio>
#include <mutex>

#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

namespace Comm {

namespace {

long codeFromLibusb(int rc) {
  switch (rc) {
    case LIBUSB_ERROR_TIMEOUT:
      return kLinkTimeout;
    case LIBUSB_ERROR_ACCESS:
      return kLinkAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
      return kLinkClosedByPeer;
    case LIBUSB_ERROR_NOT_FOUND:
      return kLinkNoDevice;
    case LIBUSB_ERROR_BUSY:
      return kLinkBusy;
    default:
      return kLinkIoError;
  }
}

// The context lives while something needs it: an enumeration not yet forgotten or an open
// device. libusb starts a thread with its context, and a program that has closed its bricks
// should be left with none of ours.
class LibusbBackend : public UsbBackend {
 public:
  ~LibusbBackend() override {
    forget();
    if (context != nullptr) {
      libusb_exit(context);
    }
  }

  bool enumerate(std::vector<UsbDeviceInfo>& devices) override {
    std::lock_guard<std::mutex> hold(lock);
    devices.clear();
    dropList();
    if (context == nullptr && libusb_init(&context) != 0) {
      context = nullptr;
      return false;
    }
    ssize_t n = libusb_get_device_list(context, &list);
    if (n < 0) {
      list = nullptr;
      exitWhenUnused();
      return false;
    }
    count = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor{};
      libusb_get_device_descriptor(list[i], &descriptor);
      UsbDeviceInfo info;
      info.vendor = descriptor.idVendor;
      info.product = descriptor.idProduct;
      info.bus = libusb_get_bus_number(list[i]);
      info.address = libusb_get_device_address(list[i]);
      char node[64];
      std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", info.bus, info.address);
      info.node = node;
      devices.push_back(info);
    }
    return true;
  }

  void* open(std::size_t i, int interface, long& code) override {
    std::lock_guard<std::mutex> hold(lock);
    if (list == nullptr || i >= count) {
      code = kLinkNoDevice;
      return nullptr;
    }
    libusb_device_handle* handle = nullptr;
    int rc = libusb_open(list[i], &handle);
    if (rc != 0) {
      code = codeFromLibusb(rc);
      return nullptr;
    }
    libusb_set_auto_detach_kernel_driver(handle, 1);
    rc = libusb_claim_interface(handle, interface);
    if (rc != 0) {
      code = codeFromLibusb(rc);
      libusb_close(handle);
      return nullptr;
    }
    code = kLinkOk;
    ++handles;
    return handle;
  }

  long bulkTransfer(void* handle, std::uint8_t endpoint, std::uint8_t* data, std::size_t n,
                    int timeoutMs) override {
    int moved = 0;
    int rc = libusb_bulk_transfer(static_cast<libusb_device_handle*>(handle), endpoint, data,
                                  static_cast<int>(n), &moved, static_cast<unsigned>(timeoutMs));
    if (rc != 0 && moved == 0) {
      return codeFromLibusb(rc);
    }
    return moved;
  }

  void close(void* handle, int interface) override {
    std::lock_guard<std::mutex> hold(lock);
    auto* h = static_cast<libusb_device_handle*>(handle);
    libusb_release_interface(h, interface);
    libusb_close(h);
    --handles;
    exitWhenUnused();
  }

  void forget() override {
    std::lock_guard<std::mutex> hold(lock);
    dropList();
    exitWhenUnused();
  }

 private:
  void dropList() {
    if (list != nullptr) {
      libusb_free_device_list(list, 1);
      list = nullptr;
      count = 0;
    }
  }
  void exitWhenUnused() {
    if (context != nullptr && list == nullptr && handles == 0) {
      libusb_exit(context);
      context = nullptr;
    }
  }

  std::mutex lock;
  libusb_context* context = nullptr;
  libusb_device** list = nullptr;
  std::size_t count = 0;
  int handles = 0;
};

UsbBackend* installed = nullptr;

}  // namespace

UsbBackend& UsbBackend::current() {
  if (installed != nullptr) {
    return *installed;
  }
  // Never destroyed: a link that is still open when the program ends (a Block with static
  // storage, say) closes its device after static objects constructed later, this one among
  // them, are gone. The object is a few bytes; the libusb context it holds goes with the last
  // device closed.
  static LibusbBackend* libusb = new LibusbBackend();
  return *libusb;
}

void UsbBackend::install(UsbBackend* backend) {
  installed = backend;
}

}  // namespace Comm
