#include "Connection.h"

#include <cstring>

#include "comm/LinkCode.h"
#include "comm/PacketFraming.h"
#include "comm/UsbTransport.h"
#include "protocol/TelegramText.h"

namespace BrickTool {

std::string printable(const char* name) {
  return Nxt::nameText(reinterpret_cast<const std::uint8_t*>(name), std::strlen(name));
}

std::string quoted(const std::string& text) {
  return "\"" + printable(text.c_str()) + "\"";
}

std::string shown(const std::string& text) {
  return Nxt::shortText(text, 160);
}

std::string linkName(const Target& target) {
  switch (target.kind) {
    case Target::Device:
      return shown(target.text);
    case Target::Bluetooth:
      return "Bluetooth " + shown(target.text);
    case Target::Usb:
      break;
  }
  return "USB";
}

void traceTo(Block& block, std::ostream& err) {
  block.getCommunication().setTracer([&err](bool sent, const std::uint8_t* t, std::size_t n) {
    err << (sent ? "trace > " : "trace < ") << Nxt::hexText(t, n) << "  ("
        << (sent ? Nxt::describeCommand(t, n) : Nxt::describeReply(t, n)) << ")\n";
  });
}

namespace {

// Paths are the host's: the machine's own, or below a test's stand-in root.
bool open(Block& block, const Target& target, const Host& host) {
  if (target.kind == Target::Usb) {
    return block.connect();
  }
  std::string text = target.kind == Target::Device ? host.locate(target.text) : target.text;
  return block.connectBluetooth(&text[0]);
}

}  // namespace

int connect(Run& run, Block& block) {
  if (run.target.automatic() && !run.target.chosen) {
    chooseTarget(run);
  }
  if (run.options.trace) {
    traceTo(block, run.err);
  }
  if (!open(block, run.target, run.host)) {
    if (run.options.trace) {
      traceOpenFailure(run, block);
    }
    long code = block.getStatus().getCode();
    return linkFailure(run, code != 0 ? code : Comm::kLinkNoDevice);
  }
  return kExitOk;
}

int checkLink(Run& run, Block& block) {
  return block.getStatus().isFatal() ? linkFailure(run, block.getStatus().getCode()) : kExitOk;
}

Probe probe(Run& run, const Target& target) {
  Probe result;
  Block block;
  if (run.options.trace) {
    traceTo(block, run.err);
  }
  if (target.kind == Target::Usb) {
    // Opened here rather than by connect(), to learn which of several bricks it is.
    Comm::UsbTransport* usb = Comm::UsbTransport::openFirst(result.code);
    if (usb == nullptr) {
      return result;
    }
    result.usb = usb->device();
    block.getCommunication().attach(usb, new Comm::PacketFraming());
  } else if (!open(block, target, run.host)) {
    result.code = block.getStatus().getCode();
    return result;
  }
  char name[256];
  block.getName(name);
  result.code = block.getStatus().getCode();
  result.answered = block.getStatus().isNotFatal() && name[0] != '\0';
  result.name = name;
  if (block.getStatus().isNotFatal() && !result.answered) {
    result.code = Comm::kLinkBadReply;
  }
  return result;
}

}  // namespace BrickTool
