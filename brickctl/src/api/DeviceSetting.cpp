#include "brick/DeviceSetting.hpp"

#include <cstdlib>
#include <fstream>

#include "brick/Error.hpp"
#include "comm/FdTransport.h"

namespace brick {

namespace {

std::string trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return "";
  }
  std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::optional<DeviceSetting> DeviceSetting::parse(std::string_view text,
                                                  std::error_code& ec) noexcept {
  ec.clear();
  std::string value(text);
  if (value.empty() || value.size() > maxPath) {
    ec = make_error_code(Errc::bad_argument);
    return std::nullopt;
  }
  if (value == "usb") {
    return DeviceSetting(Kind::Usb, "");
  }
  if (Comm::FdTransport::isBluetoothAddress(value)) {
    return DeviceSetting(Kind::Bluetooth, value);
  }
  return DeviceSetting(Kind::Path, value);
}

bool DeviceSetting::splitConfigLine(std::string_view line, std::string& key, std::string& value) {
  std::string text = trimmed(std::string(line));
  key.clear();
  value.clear();
  if (text.empty() || text[0] == '#') {
    return false;
  }
  std::size_t equals = text.find('=');
  if (equals != std::string::npos) {
    key = trimmed(text.substr(0, equals));
    value = trimmed(text.substr(equals + 1));
  }
  return true;
}

std::string DeviceSetting::configPath() {
  std::string config = variable("XDG_CONFIG_HOME");
  if (!config.empty() && config[0] == '/') {  // a relative value is to be ignored
    return config + "/brick/config";
  }
  std::string home = variable("HOME");
  return home.empty() ? "" : home + "/.config/brick/config";
}

std::optional<DeviceSetting> DeviceSetting::configured(std::error_code& ec) noexcept {
  ec.clear();
  std::string named = variable("BRICK_DEVICE");
  if (!named.empty()) {
    return parse(named, ec);
  }
  std::string path = configPath();
  if (path.empty()) {
    return std::nullopt;
  }
  std::ifstream file(path);
  std::optional<std::string> device;
  for (std::string line, key, value; std::getline(file, line);) {
    if (splitConfigLine(line, key, value) && key == "device") {
      device = value;  // a later line overrides an earlier one
    }
  }
  return device ? parse(*device, ec) : std::nullopt;
}

}  // namespace brick
