// `brick doctor`: a list of checks, each finding OK or FAIL with its fix (or `--` for what is
// merely absent), then a verdict. The command line's --usb, --bt or --device narrows the list
// to that link.
#include <algorithm>

#include "Connection.h"
#include "Survey.h"
#include "UdevRule.h"
#include "comm/LinkCode.h"

namespace BrickTool {

namespace {

struct Finding {
  enum Mark { Ok, Fail, Note };
  Mark mark;
  std::string what;
  std::vector<std::string> fix;  // the fix, line by line; empty for none
};
using Findings = std::vector<Finding>;

// What the checks learn and share.
struct Doctor {
  Run& run;
  Survey survey;
  std::string user;
  bool usable = false;
  bool denied = false;
  bool brickOnUsb = false;
};

using Check = void (*)(Doctor&, Findings&);

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void checkLibusb(Doctor& d, Findings& found) {
  std::size_t n = d.survey.usbDeviceCount;
  if (d.survey.usbEnumerated) {
    found.push_back({Finding::Ok,
                     "libusb lists " + std::to_string(n) + " USB device" + (n == 1 ? "" : "s"),
                     {}});
  } else {
    found.push_back({Finding::Fail,
                     "libusb cannot list the USB devices",
                     {"check that /dev/bus/usb exists (in a container, pass the host's "
                      "/dev/bus/usb through)"}});
  }
}

void checkUsbBricks(Doctor& d, Findings& found) {
  Probe answer;
  bool probed = false;
  bool beforeOpened = true;
  for (const Survey::UsbBrick& brick : d.survey.usbBricks) {
    std::string place = Survey::place(brick.device) + " (" + brick.device.node + ")";
    if (brick.firmwareUpdate) {
      found.push_back(
          {Finding::Fail,
           "brick in firmware-update mode at " + place + ": it cannot be talked to",
           {"flash its firmware again with a firmware-update program, then replug it"}});
      continue;
    }
    d.brickOnUsb = true;
    if (!brick.accessible) {
      d.denied = true;
      found.push_back({Finding::Fail,
                       "brick at " + place + ": user " + d.user + " may not open it",
                       {"install the udev rule and be in its group (below), then unplug and "
                        "replug the brick"}});
      continue;
    }
    // The link opens the first brick it may open: the probe, once, tells which one that is.
    if (!probed) {
      probed = true;
      answer = probe(d.run, Target());
    }
    bool opened = answer.usb.node == brick.device.node;
    if (opened && answer.answered) {
      d.usable = true;
      found.push_back(
          {Finding::Ok, "brick at " + place + " answers as " + quoted(answer.name), {}});
    } else if ((opened || answer.usb.node.empty()) && answer.code == Comm::kLinkBusy) {
      found.push_back({Finding::Fail,
                       "brick at " + place + " is held by another program",
                       {"close the other program that uses the brick"}});
    } else if (opened || answer.usb.node.empty()) {
      found.push_back(
          {Finding::Fail,
           "brick at " + place + " does not answer (" + Comm::linkCodeText(answer.code) + ")",
           {"switch it on (orange button); if it ticks, it waits for firmware"}});
    } else if (beforeOpened) {
      found.push_back({Finding::Fail,
                       "brick at " + place + " cannot be opened (held by another program?): " +
                           "commands use the brick at " + Survey::place(answer.usb),
                       {"close the other program that uses the brick"}});
    } else {
      found.push_back({Finding::Ok, "brick at " + place + " may be opened", {}});
    }
    beforeOpened = beforeOpened && !opened;
  }
  if (d.survey.usbEnumerated && !d.brickOnUsb) {
    found.push_back(
        {Finding::Note, "no brick on USB: plug it in with its cable and switch it on", {}});
  }
}

// The group the udev rule gives the brick to, or ours.
std::string ruleGroup(const Doctor& d) {
  if (!d.survey.rules.empty() && !d.survey.rules.front().group.empty()) {
    return d.survey.rules.front().group;
  }
  return kRuleGroup;
}

void checkUdevRule(Doctor& d, Findings& found) {
  if (d.survey.rules.empty()) {
    found.push_back(
        {Finding::Fail,
         "no udev rule for the brick (0694:0002) in /etc/udev/rules.d or "
         "/lib/udev/rules.d",
         {ruleInstallCommand(), "then sudo udevadm control --reload-rules && sudo udevadm trigger",
          "then unplug and replug the brick"}});
    return;
  }
  const Survey::UdevRule& rule = d.survey.rules.front();
  found.push_back({Finding::Ok,
                   "udev rule " + rule.file + " gives the brick to group " +
                       (rule.group.empty() ? "(none)" : rule.group) +
                       (rule.uaccess ? " and the seat's user" : ""),
                   {}});
}

void checkGroup(Doctor& d, Findings& found) {
  const Host& host = d.run.host;
  std::string group = ruleGroup(d);
  if (host.isRoot()) {
    found.push_back({Finding::Ok,
                     "running as root: every device may be opened (not needed once the rule is in)",
                     {}});
  } else if (contains(host.sessionGroups(), group)) {
    found.push_back({Finding::Ok, "user " + d.user + " is in group " + group, {}});
  } else if (contains(host.accountGroups(), group)) {
    found.push_back(
        {Finding::Fail,
         "user " + d.user + " was added to group " + group + ", but this login session predates it",
         {"log out and in again (or run `newgrp " + group + "`)"}});
  } else {
    found.push_back({Finding::Fail,
                     "user " + d.user + " is not in group " + group,
                     {"sudo usermod -aG " + group + " " + d.user + ", then log out and in again"}});
  }
}

// Whether a brick answers at a serial device or a Bluetooth address.
void checkAnswer(Doctor& d, const Target& target, const std::string& fix, Findings& found) {
  std::string where = linkName(target);
  Probe answer = probe(d.run, target);
  if (answer.answered) {
    d.usable = true;
    found.push_back({Finding::Ok, where + ": a brick answers as " + quoted(answer.name), {}});
  } else {
    found.push_back({Finding::Fail,
                     where + ": no brick answers (" + Comm::linkCodeText(answer.code) + ")",
                     {fix}});
  }
}

// A serial device: bound RFCOMM, or any path named.
void checkSerial(Doctor& d, const std::string& path, Findings& found) {
  const Host& host = d.run.host;
  if (!host.exists(path)) {
    found.push_back({Finding::Fail,
                     path + " does not exist",
                     {"check the path (`brick list` shows the bricks found); a paired brick is "
                      "bound with `sudo rfcomm bind 0 ADDRESS`"}});
    return;
  }
  if (!host.accessible(path)) {
    d.denied = true;
    std::string group = host.ownerGroup(path);
    std::string owner = group.empty() || group == "root" ? "dialout" : group;
    found.push_back({Finding::Fail,
                     path + ": user " + d.user + " may not open it",
                     {"sudo usermod -aG " + owner + " " + d.user + ", then log out and in again"}});
    return;
  }
  Target target;
  target.kind = Target::Device;
  target.text = path;
  checkAnswer(d, target,
              "switch the brick on and bring it in range; check that the address bound "
              "(rfcomm -a) is the brick's",
              found);
}

void checkRfcomm(Doctor& d, Findings& found) {
  if (d.survey.rfcomm.empty()) {
    found.push_back({Finding::Note,
                     "no bound RFCOMM device (/dev/rfcomm0 to 9): for Bluetooth, pair the brick, "
                     "then `sudo rfcomm bind 0 ADDRESS`, or use --bt ADDRESS",
                     {}});
  }
  for (const Survey::RfcommDevice& device : d.survey.rfcomm) {
    checkSerial(d, device.path, found);
  }
}

bool isBound(const Doctor& d, const std::string& path) {
  for (const Survey::RfcommDevice& device : d.survey.rfcomm) {
    if (device.path == path) {
      return true;
    }
  }
  return false;
}

// The device that --device, --bt, BRICK_DEVICE or the config file names.
void checkNamed(Doctor& d, Findings& found) {
  const Target& target = d.run.target;
  if (target.automatic()) {
    return;
  }
  if (!target.commandLine) {
    found.push_back({Finding::Note,
                     "commands use " + linkName(target) + " (set by " + target.source + ")",
                     {}});
  }
  // A bound device named by the environment was checked with the others already.
  bool checked = !target.commandLine && isBound(d, target.text);
  if (target.kind == Target::Device && !checked) {
    checkSerial(d, target.text, found);
  } else if (target.kind == Target::Bluetooth) {
    checkAnswer(d, target,
                "pair the brick (bluetoothctl pair " + shown(target.text) +
                    "), switch it on and bring it in range",
                found);
  }
}

void print(std::ostream& out, const Findings& found) {
  static const char* const marks[] = {"OK    ", "FAIL  ", "--    "};
  for (const Finding& finding : found) {
    out << marks[finding.mark] << finding.what << "\n";
    for (std::size_t i = 0; i < finding.fix.size(); ++i) {
      out << (i == 0 ? "      fix: " : "           ") << finding.fix[i] << "\n";
    }
  }
}

int verdict(const Doctor& d) {
  std::ostream& out = d.run.out;
  if (d.usable) {
    const Target& target = d.run.target;
    std::string option = !target.commandLine || target.kind == Target::Usb ? ""
                         : target.kind == Target::Device ? "--device " + shown(target.text) + " "
                                                         : "--bt " + shown(target.text) + " ";
    out << "A brick can be used: try `brick " << option << "info`.\n";
    return kExitOk;
  }
  if (d.denied) {
    out << "A brick is there but cannot be opened: apply the fixes above, then run "
        << "`brick doctor` again.\n";
    return kExitPermission;
  }
  if (!d.brickOnUsb && d.survey.rfcomm.empty() && !d.run.target.commandLine) {
    out << "No brick found: plug one in by USB and switch it on, or bind one over Bluetooth;\n"
        << "apply the fixes above, then run `brick doctor` again.\n";
  } else {
    out << "No brick can be used: apply the fixes above, then run `brick doctor` again.\n";
  }
  return kExitNoBrick;
}

}  // namespace

int doDoctor(Run& run) {
  Doctor d{run, Survey(run.host), run.host.userName()};
  static const std::vector<Check> everything{checkLibusb, checkUsbBricks, checkUdevRule,
                                             checkGroup,  checkRfcomm,    checkNamed};
  static const std::vector<Check> usbOnly{checkLibusb, checkUsbBricks, checkUdevRule, checkGroup};
  static const std::vector<Check> namedOnly{checkNamed};
  const std::vector<Check>& checks = !run.target.commandLine          ? everything
                                     : run.target.kind == Target::Usb ? usbOnly
                                                                      : namedOnly;
  Findings found;
  for (Check check : checks) {
    check(d, found);
  }
  print(run.out, found);
  return verdict(d);
}

}  // namespace BrickTool
