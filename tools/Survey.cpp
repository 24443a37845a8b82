#include "Survey.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "protocol/RfcommDevices.h"
#include "protocol/UsbIds.h"

namespace BrickTool {

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The value of `key` in a rule line, e.g. GROUP="plugdev" -> plugdev; empty when absent.
std::string ruleValue(const std::string& line, const std::string& key) {
  std::size_t at = 0;
  while ((at = line.find(key, at)) != std::string::npos) {
    bool startsKey = at == 0 || line[at - 1] == ' ' || line[at - 1] == ',' || line[at - 1] == '\t';
    std::size_t quote = line.find('"', at + key.size());
    if (startsKey && quote != std::string::npos) {
      std::string between = line.substr(at + key.size(), quote - at - key.size());
      if (between == "=" || between == ":=") {
        std::size_t end = line.find('"', quote + 1);
        if (end != std::string::npos) {
          return line.substr(quote + 1, end - quote - 1);
        }
      }
    }
    at += key.size();
  }
  return "";
}

// A rule line that matches the brick: our vendor id, and our product id or none at all.
bool matchesBrick(const std::string& line) {
  std::string text = lower(line);
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos || text[first] == '#') {
    return false;
  }
  if (text.find("idvendor") == std::string::npos || text.find("0694") == std::string::npos) {
    return false;
  }
  return text.find("idproduct") == std::string::npos || text.find("0002") != std::string::npos;
}

}  // namespace

std::string Survey::place(const Comm::UsbDeviceInfo& device) {
  char text[64];
  std::snprintf(text, sizeof text, "bus %03d device %03d", device.bus, device.address);
  return text;
}

const std::vector<std::string>& Survey::ruleDirectories() {
  static const std::vector<std::string> directories{"/etc/udev/rules.d", "/run/udev/rules.d",
                                                    "/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                                    BRICK_UDEV_RULES_DIR};
  return directories;
}

Survey::Survey(const Host& host) {
  std::vector<Comm::UsbDeviceInfo> devices;
  usbEnumerated = Comm::UsbBackend::current().enumerate(devices);
  Comm::UsbBackend::current().forget();  // only the list is kept, not libusb's context
  usbDeviceCount = devices.size();
  for (const Comm::UsbDeviceInfo& device : devices) {
    bool brick = device.vendor == Nxt::kUsbVendor && device.product == Nxt::kUsbProduct;
    bool waiting =
        device.vendor == Nxt::kUsbFirmwareVendor && device.product == Nxt::kUsbFirmwareProduct;
    if (brick || waiting) {
      UsbBrick found;
      found.device = device;
      found.firmwareUpdate = waiting;
      found.accessible = host.accessible(device.node);
      usbBricks.push_back(found);
    }
  }

  for (const std::string& directory : ruleDirectories()) {
    for (const std::string& name : host.listDirectory(directory)) {
      if (name.size() < 6 || name.compare(name.size() - 6, 6, ".rules") != 0) {
        continue;
      }
      std::istringstream text(host.readFile(directory + "/" + name));
      std::string line;
      while (std::getline(text, line)) {
        if (matchesBrick(line)) {
          UdevRule rule;
          rule.file = directory + "/" + name;
          rule.group = ruleValue(line, "GROUP");
          rule.uaccess = line.find("uaccess") != std::string::npos;
          rules.push_back(rule);
          break;
        }
      }
    }
  }

  for (int i = 0; i < Nxt::kRfcommDeviceCount; ++i) {
    std::string path = Nxt::rfcommDevicePath(i);
    if (host.exists(path)) {
      RfcommDevice device;
      device.path = path;
      device.accessible = host.accessible(path);
      device.group = host.ownerGroup(path);
      rfcomm.push_back(device);
    }
  }
}

}  // namespace BrickTool
