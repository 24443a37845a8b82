// What the user is told when the link fails: one message per kind of failure with what to do,
// and, under --trace, what the machine shows about why opening failed.
#include "Connection.h"
#include "Survey.h"
#include "UdevRule.h"
#include "comm/LinkCode.h"

namespace BrickTool {

void printUdevFix(std::ostream& err) {
  err << "  fix: install the udev rule that gives the brick to group " << kRuleGroup << ":\n"
      << "         " << ruleInstallCommand() << "\n"
      << "         sudo udevadm control --reload-rules && sudo udevadm trigger\n"
      << "       be in group " << kRuleGroup << ": sudo usermod -aG " << kRuleGroup
      << " \"$USER\", then log out and in again\n"
      << "       then unplug the brick and plug it in again.\n"
      << "  `brick doctor` checks each step.\n";
}

int linkFailure(Run& run, long code) {
  std::ostream& err = run.err;
  std::string where = linkName(run.target);
  bool usb = run.target.kind == Target::Usb;
  switch (code) {
    case Comm::kLinkNoDevice:
      if (usb) {
        err << "brick: no brick found on USB: plug it in and switch it on.\n"
            << "  `brick doctor` says what else to check; `brick list` shows every brick.\n";
      } else {
        err << "brick: no brick at " << where << ".\n"
            << "  Check the path or address; `brick list` shows the bricks this machine sees.\n";
      }
      return kExitNoBrick;
    case Comm::kLinkAccessDenied:
      err << "brick: permission denied on " << where << ".\n";
      if (usb) {
        printUdevFix(err);
      } else {
        std::string group = run.host.ownerGroup(run.target.text);
        if (group.empty() || group == "root") {
          group = "dialout";
        }
        err << "  fix: sudo usermod -aG " << group
            << " \"$USER\", then log out and in again (ls -l shows the device's group).\n";
      }
      return kExitPermission;
    case Comm::kLinkTimeout:
      err << "brick: no reply from the brick on " << where << " within "
          << Comm::kReplyTimeoutMs / 1000.0 << " s.\n"
          << "  Is it switched on" << (usb ? "" : ", paired and in range")
          << "? A brick that sleeps must be woken with its orange button.\n";
      return kExitTimeout;
    case Comm::kLinkBusy:
      err << "brick: the brick on " << where
          << " is in use by another program: close that program and try again.\n";
      return kExitBusy;
    case Comm::kLinkClosedByPeer:
      err << "brick: the brick on " << where << " went away (unplugged, switched off or out of "
          << "range).\n";
      return kExitFailed;
    case Comm::kLinkIoError:
      if (usb) {
        err << "brick: cannot list the USB devices (libusb failed); `brick doctor` says more.\n";
        return kExitNoBrick;
      }
      break;
    default:
      break;
  }
  err << "brick: " << Comm::linkCodeText(code) << " on " << where << ".\n";
  return kExitFailed;
}

namespace {

std::string baseName(const char* path) {
  std::string text = path;
  std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

void traceUsb(Run& run) {
  Survey survey(run.host);
  std::ostream& err = run.err;
  if (!survey.usbEnumerated) {
    err << "trace:   libusb cannot list the USB devices\n";
    return;
  }
  err << "trace:   libusb lists " << survey.usbDeviceCount << " USB device"
      << (survey.usbDeviceCount == 1 ? "" : "s") << (survey.usbBricks.empty() ? ", no brick" : "")
      << "\n";
  for (const Survey::UsbBrick& brick : survey.usbBricks) {
    err << "trace:   brick at " << Survey::place(brick.device) << " (" << brick.device.node
        << "): ";
    if (brick.firmwareUpdate) {
      err << "in firmware-update mode, it cannot be talked to\n";
    } else if (!brick.accessible) {
      err << "user " << run.host.userName() << " may not open it\n";
    } else {
      err << "may be opened; libusb could not claim it\n";
    }
  }
}

void traceDevice(Run& run, long code) {
  const std::string& path = run.target.text;
  std::ostream& err = run.err;
  err << "trace:   " << shown(path);
  if (!run.host.exists(path)) {
    err << " does not exist\n";
  } else if (!run.host.accessible(path)) {
    std::string group = run.host.ownerGroup(path);
    err << " exists, but user " << run.host.userName() << " may not read and write it"
        << (group.empty() ? "" : " (group " + group + ")") << "\n";
  } else if (code == Comm::kLinkNoDevice) {
    err << " opens, but is not a serial device: a brick is reached through a bound "
        << "/dev/rfcommN or bricksim's pseudo-terminal\n";
  } else if (code == Comm::kLinkBusy) {
    err << " is held by another program\n";
  } else {
    err << " opens, but setting it up failed: " << Comm::linkCodeText(code) << "\n";
  }
}

}  // namespace

void traceOpenFailure(Run& run, const Block& block) {
  const nFANTOM100::tStatus& status = block.getStatus();
  long code = status.getCode() != 0 ? status.getCode() : Comm::kLinkNoDevice;
  std::ostream& err = run.err;
  err << "trace: opening " << linkName(run.target) << " ("
      << (run.target.named() ? "named by " + run.target.source : "chosen by the tool")
      << ") failed: " << Comm::linkCodeText(code);
  if (status.getFileName()[0] != '\0') {
    err << ", at " << baseName(status.getFileName()) << ":" << status.getLineNumber();
  }
  err << "\n";
  switch (run.target.kind) {
    case Target::Usb:
      traceUsb(run);
      break;
    case Target::Device:
      traceDevice(run, code);
      break;
    case Target::Bluetooth:
      err << "trace:   the RFCOMM connection to " << shown(run.target.text) << " (channel 1) failed"
          << (code == Comm::kLinkTimeout ? ": the brick did not take it within " +
                                               std::to_string(Comm::kConnectTimeoutMs / 1000) + " s"
                                         : "")
          << "; is the brick paired, switched on and in range?\n";
      break;
  }
}

}  // namespace BrickTool
