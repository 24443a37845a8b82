// `brick list`: every brick this machine sees, or the one the command line names.
#include "Connection.h"
#include "Survey.h"
#include "comm/LinkCode.h"

namespace BrickTool {

namespace {

struct Tally {
  int usable = 0;
  int denied = 0;
  int found = 0;
};

void listUsb(Run& run, const Survey& survey, Tally& tally) {
  std::ostream& out = run.out;
  if (!survey.usbEnumerated) {
    out << "USB: cannot list the devices (libusb failed); `brick doctor` says more.\n";
  }
  // The link opens the first brick it may open: the one probed, once, is that brick, and the
  // ones before it could not be opened.
  Probe answer;
  bool probed = false;
  bool beforeOpened = true;
  for (const Survey::UsbBrick& brick : survey.usbBricks) {
    ++tally.found;
    out << "USB " << Survey::place(brick.device) << "  ";
    if (brick.firmwareUpdate) {
      out << "brick in firmware-update mode: cannot be talked to\n";
      continue;
    }
    if (!brick.accessible) {
      ++tally.denied;
      out << "brick, permission denied on " << brick.device.node << ": see `brick doctor`\n";
      continue;
    }
    if (!probed) {
      probed = true;
      answer = probe(run, Target());
    }
    if (answer.usb.node == brick.device.node) {
      beforeOpened = false;
      if (answer.answered) {
        ++tally.usable;
        out << "brick " << quoted(answer.name) << "\n";
      } else {
        out << "brick, " << Comm::linkCodeText(answer.code) << "\n";
      }
    } else if (answer.usb.node.empty()) {
      out << "brick, " << Comm::linkCodeText(answer.code) << "\n";
    } else if (beforeOpened) {
      out << "brick, cannot be opened (held by another program?): commands use "
          << Survey::place(answer.usb) << "\n";
    } else {
      ++tally.usable;
      out << "brick (name not read: `brick --usb` opens the first brick only)\n";
    }
  }
}

// One serial device or Bluetooth address: whether a brick answers there.
void listOne(Run& run, const Target& target, bool accessible, const std::string& group,
             Tally& tally) {
  std::ostream& out = run.out;
  out << linkName(target) << "  ";
  if (!accessible) {
    ++tally.denied;
    out << "permission denied (group " << group << "): see `brick doctor`\n";
    return;
  }
  Probe answer = probe(run, target);
  if (answer.answered) {
    ++tally.found;
    ++tally.usable;
    out << "brick " << quoted(answer.name) << "\n";
  } else {
    out << "no brick answers (" << Comm::linkCodeText(answer.code) << ")\n";
  }
}

int verdict(const Tally& tally) {
  if (tally.usable > 0) {
    return kExitOk;
  }
  return tally.denied > 0 ? kExitPermission : kExitNoBrick;
}

// Only what the command line names.
int listNamed(Run& run) {
  Tally tally;
  const Target& target = run.target;
  if (target.kind == Target::Usb) {
    Survey survey(run.host);
    listUsb(run, survey, tally);
    if (tally.found == 0) {
      run.out << "No brick found on USB.\n`brick doctor --usb` says what to check.\n";
    }
  } else if (target.kind == Target::Device && !run.host.exists(target.text)) {
    run.out << shown(target.text) << "  does not exist\n";
  } else {
    bool device = target.kind == Target::Device;
    listOne(run, target, !device || run.host.accessible(target.text),
            device ? run.host.ownerGroup(target.text) : "", tally);
  }
  return verdict(tally);
}

}  // namespace

int doList(Run& run) {
  if (run.target.commandLine) {
    return listNamed(run);
  }
  Survey survey(run.host);
  std::ostream& out = run.out;
  Tally tally;
  listUsb(run, survey, tally);
  for (const Survey::RfcommDevice& device : survey.rfcomm) {
    Target target;
    target.kind = Target::Device;
    target.text = device.path;
    listOne(run, target, device.accessible, device.group, tally);
  }
  if (run.target.named()) {
    out << "Commands use " << linkName(run.target) << " (set by " << run.target.source << ").\n";
  }
  if (tally.found == 0 && tally.denied == 0) {
    out << "No brick found: none on USB";
    out << (survey.rfcomm.empty() ? ", no bound /dev/rfcomm device" : ", none on /dev/rfcomm");
    out << ".\n`brick doctor` says what to check.\n";
    return kExitNoBrick;
  }
  return verdict(tally);
}

}  // namespace BrickTool
