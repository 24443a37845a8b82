// UsbDevice in a bricksim built without umockdev: there is no emulated device to offer.
#include "sim/UsbDevice.h"

namespace Sim {

struct UsbDevice::State {};

bool UsbDevice::available() {
  return false;
}

UsbDevice::UsbDevice(VirtualBrick&, std::function<std::unique_lock<std::mutex>()>) {}

UsbDevice::~UsbDevice() = default;

void UsbDevice::setTrace(std::function<void(const Bytes&, const Bytes&)>) {}

void UsbDevice::setLinkModel(const LinkModel&, std::function<void(double)>) {}

bool UsbDevice::start(std::string& error) {
  error = "not built with USB emulation (libumockdev-dev was not installed when it was built)";
  return false;
}

void UsbDevice::stop() {}

std::string UsbDevice::node() const {
  return "";
}

}  // namespace Sim
