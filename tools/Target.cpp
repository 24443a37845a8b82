// Which brick a command talks to when the command line names none: the one BRICK_DEVICE or the
// config file names, else the first that `brick list` would show.
#include <optional>
#include <sstream>

#include "Connection.h"
#include "Survey.h"
#include "brick/DeviceSetting.hpp"

namespace BrickTool {

namespace {

// A device setting: "usb", a Bluetooth address, or a device path, read as brick::Brick reads
// one, so that a setting means the same to the tool and to a program.
bool fromSetting(const std::string& value, const std::string& source, Target& target,
                 std::string& error) {
  target = Target();
  target.source = source;
  if (value.empty()) {
    error = source + ": no device given (usb, a Bluetooth address or a device path)";
    return false;
  }
  std::error_code ec;
  std::optional<brick::DeviceSetting> setting = brick::DeviceSetting::parse(value, ec);
  if (!setting) {
    error = source + ": the device path must have at most " + std::to_string(kMaxDevicePath) +
            " characters";
    return false;
  }
  switch (setting->kind()) {
    case brick::DeviceSetting::Kind::Usb:
      target.kind = Target::Usb;
      break;
    case brick::DeviceSetting::Kind::Bluetooth:
      target.kind = Target::Bluetooth;
      break;
    case brick::DeviceSetting::Kind::Path:
      target.kind = Target::Device;
      break;
  }
  target.text = setting->text();
  return true;
}

// Reads `device = ...` from the config file; true when it names one.
bool fromConfig(const Host& host, Target& target, bool& named, std::string& error,
                std::ostream& err) {
  named = false;
  std::string path = configPath(host);
  if (path.empty()) {
    return true;
  }
  std::istringstream text(host.readFile(path));
  std::string line;
  std::string key;
  std::string value;
  for (int number = 1; std::getline(text, line); ++number) {
    std::string where = path + ":" + std::to_string(number);
    if (!brick::DeviceSetting::splitConfigLine(line, key, value)) {
      continue;
    }
    if (key.empty()) {
      err << "brick: warning: " << shown(where) << ": not a setting (KEY = VALUE), ignored\n";
    } else if (key != "device") {
      err << "brick: warning: " << shown(where) << ": unknown setting '" << shown(key)
          << "', ignored\n";
    } else if (!fromSetting(value, where, target, error)) {
      return false;
    } else {
      named = true;  // a later line overrides an earlier one
    }
  }
  return true;
}

}  // namespace

std::string configPath(const Host& host) {
  std::string config = host.variable("XDG_CONFIG_HOME");
  if (!config.empty() && config[0] == '/') {  // a relative value is to be ignored
    return config + "/brick/config";
  }
  std::string home = host.variable("HOME");
  return home.empty() ? "" : home + "/.config/brick/config";
}

bool nameTarget(const Options& options, const Host& host, Target& target, std::string& error,
                std::ostream& err) {
  if (options.linkChoices > 0) {
    target = Target();
    // run() has checked the values; --device takes its path as given, even one named "usb".
    if (!options.device.empty()) {
      target.kind = Target::Device;
      target.text = options.device;
      target.source = "--device";
    } else if (!options.bluetooth.empty()) {
      target.kind = Target::Bluetooth;
      target.text = options.bluetooth;
      target.source = "--bt";
    } else {
      target.source = "--usb";
    }
    target.commandLine = true;
    return true;
  }
  std::string variable = host.variable("BRICK_DEVICE");
  if (!variable.empty()) {
    return fromSetting(variable, "BRICK_DEVICE", target, error);
  }
  bool named = false;
  if (!fromConfig(host, target, named, error, err)) {
    return false;
  }
  if (!named) {
    target = Target();
  }
  return true;
}

void chooseTarget(Run& run) {
  Survey survey(run.host);
  Target& target = run.target;
  target.chosen = true;
  std::string why;
  bool usbDenied = false;
  for (const Survey::UsbBrick& brick : survey.usbBricks) {
    if (!brick.firmwareUpdate) {
      if (brick.accessible) {
        why = "a brick on USB may be opened";
        break;
      }
      usbDenied = true;
    }
  }
  std::vector<std::string> open;
  for (const Survey::RfcommDevice& device : survey.rfcomm) {
    if (device.accessible) {
      open.push_back(device.path);
    }
  }
  target.kind = Target::Device;
  if (!why.empty()) {
    target.kind = Target::Usb;
  } else if (open.size() == 1) {
    target.text = open.front();
    why = "no brick on USB may be opened; the one bound RFCOMM device";
  } else if (!open.empty()) {
    for (const std::string& path : open) {
      Target candidate = target;
      candidate.text = path;
      if (probe(run, candidate).answered) {
        target.text = path;
        why = "no brick on USB may be opened; the first bound RFCOMM device that answers";
        break;
      }
    }
    if (why.empty()) {
      target.text = open.front();
      why = "no brick answers on USB or any bound RFCOMM device; the first of them";
    }
  } else if (usbDenied || survey.rfcomm.empty()) {
    target.kind = Target::Usb;
    why = usbDenied ? "a brick on USB, though it may not be opened" : "no brick found anywhere";
  } else {
    target.text = survey.rfcomm.front().path;
    why = "the first bound RFCOMM device, though it may not be opened";
  }
  if (run.options.trace) {
    run.err << "trace: no device named: using " << linkName(target) << " (" << why << ")\n";
  }
}

}  // namespace BrickTool
