#include "comm/SerialCommunication.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "comm/FdTransport.h"
#include "comm/LengthPrefixFraming.h"
#include "comm/LinkCode.h"
#include "comm/PacketFraming.h"
#include "comm/TimeLimits.h"
#include "comm/UsbTransport.h"
#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "protocol/RfcommDevices.h"

namespace Comm {

namespace {

const int kRfcommChannel = 1;
const std::size_t kMaxDeviceText = 255;
const int kNameBuffer = 256;
// This file as the status record names it, from the source tree's top. The build maps the
// tree's absolute path away; a compiler cache may instead give the compiler a path relative to
// the build directory ("../../link/src/..."), whose leading steps are dropped here.
const char* sourceName(const char* file) {
  for (;;) {
    if (std::strncmp(file, "../", 3) == 0) {
      file += 3;
    } else if (std::strncmp(file, "./", 2) == 0) {
      file += 2;
    } else {
      return file;
    }
  }
}

const char* const kThisFile = sourceName(__FILE__);

// Whether a reply as the link hands it (from the opcode on) is the brick's success at `opcode`.
bool answered(const unsigned char* reply, std::uint8_t opcode) {
  return Nxt::get(reply, Nxt::Reply::kOpcode, Nxt::kFromOpcode) == opcode &&
         Nxt::get(reply, Nxt::Reply::kStatus, Nxt::kFromOpcode) == Nxt::kStatusOk;
}

// Whether a received telegram is a reply to a command with this opcode.
bool answers(const std::uint8_t* telegram, std::size_t n, std::uint8_t opcode) {
  return n >= Nxt::Reply::kOpcode.end() && telegram[Nxt::Reply::kType.offset] == Nxt::kReply &&
         telegram[Nxt::Reply::kOpcode.offset] == opcode;
}

}  // namespace

namespace {

// The tracer, when one is set, wraps the framing and outlives the opens and closes below it.
TracingFraming* tracingOf(Framing* framing) {
  return dynamic_cast<TracingFraming*>(framing);
}

}  // namespace

void SerialCommunication::attach(Transport* newTransport, Framing* newFraming) {
  close();
  status.clear();
  transport = newTransport;
  if (TracingFraming* tracing = tracingOf(framing)) {
    tracing->setInner(newFraming);
    tracing->outOfStep = false;  // a new link owes nothing
  } else {
    framing = newFraming;
  }
}

void SerialCommunication::setTracer(Tracer tracer) {
  TracingFraming* tracing = tracingOf(framing);
  if (tracing != nullptr && tracer) {
    tracing->setTracer(std::move(tracer));
  } else if (tracing != nullptr) {
    // Whether a late reply may still come belongs to the link, not to the tracer: it goes over.
    Framing* inner = tracing->getInner();
    if (inner != nullptr) {
      inner->retain();
      inner->outOfStep = tracing->outOfStep;
    }
    framing = inner;
    RefCounted::release(tracing);
  } else if (tracer) {
    tracing = new TracingFraming(std::move(tracer));
    tracing->outOfStep = framing != nullptr && framing->outOfStep;
    tracing->setInner(framing);  // takes over this link's reference
    framing = tracing;
  }
}

bool SerialCommunication::open() {
  long code = kLinkOk;
  Transport* usb = UsbTransport::openFirst(code);
  if (usb == nullptr) {
    close();
    status.clear();
    fail(code, kThisFile, __LINE__);
    return false;
  }
  attach(usb, new PacketFraming());
  return true;
}

bool SerialCommunication::openBT(char* device) {
  std::string text = device != nullptr ? device : "";
  long code = kLinkNoDevice;
  Transport* stream = nullptr;
  if (text.size() > kMaxDeviceText) {
    code = kLinkBadArgument;  // no device path is that long; a cut one could name another
  } else if (FdTransport::isBluetoothAddress(text)) {
    stream = FdTransport::openRfcomm(text, kRfcommChannel, code);
  } else if (!text.empty()) {
    stream = FdTransport::openSerial(text, code);
  }
  if (stream == nullptr) {
    close();
    status.clear();
    fail(code, kThisFile, __LINE__);
    return false;
  }
  attach(stream, new LengthPrefixFraming());
  return true;
}

bool SerialCommunication::openBT() {
  for (int i = 0; i < Nxt::kRfcommDeviceCount; ++i) {
    std::string path = Nxt::rfcommDevicePath(i);
    if (!openBT(&path[0])) {
      continue;
    }
    // A bound device opens whether or not its brick is in reach: ask it for its name.
    unsigned char ask[] = {Nxt::kGetDeviceInfo};
    unsigned char info[Nxt::kReplyGetDeviceInfo];
    std::memset(info, 0x01, sizeof info);
    exchange(Nxt::kSystemCommand, ask, sizeof ask, info, sizeof info);
    if (status.isSuccess() && answered(info, Nxt::kGetDeviceInfo)) {
      return true;
    }
  }
  close();
  status.clear();
  fail(kLinkNoDevice, kThisFile, __LINE__);
  return false;
}

void SerialCommunication::close() {
  if (transport != nullptr) {
    transport->close();
  }
  RefCounted::release(transport);
  transport = nullptr;
  if (TracingFraming* tracing = tracingOf(framing)) {
    tracing->setInner(nullptr);
  } else {
    RefCounted::release(framing);
    framing = nullptr;
  }
}

void SerialCommunication::getName(char* name) {
  if (name == nullptr) {
    return;
  }
  unsigned char ask[] = {Nxt::kGetDeviceInfo};
  unsigned char info[Nxt::kReplyGetDeviceInfo];
  std::memset(info, 0, sizeof info);
  exchange(Nxt::kSystemCommand, ask, sizeof ask, info, sizeof info);
  name[0] = '\0';
  if (!answered(info, Nxt::kGetDeviceInfo)) {
    return;
  }
  const unsigned char* text = info + Nxt::GetDeviceInfoReply::kName - Nxt::kFromOpcode;
  std::size_t n = strnlen(reinterpret_cast<const char*>(text), Nxt::kDeviceNameBytes);
  std::memcpy(name, text, n);
  name[n] = '\0';
  static_assert(Nxt::kDeviceNameBytes < kNameBuffer, "a name always fits the caller's buffer");
}

bool SerialCommunication::setName(char* name) {
  // 0x98, then the name in 16 bytes: at most 15 characters, NUL-padded.
  unsigned char command[Nxt::SetBrickNameCommand::kLength - Nxt::kFromOpcode] = {
      Nxt::kSetBrickName};
  if (name != nullptr) {
    std::size_t n = strnlen(name, Nxt::kDeviceNameBytes);
    std::memcpy(command + Nxt::SetBrickNameCommand::kName - Nxt::kFromOpcode, name, n);
  }
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  exchange(Nxt::kSystemCommand, command, sizeof command, reply, sizeof reply);
  return answered(reply, Nxt::kSetBrickName);
}

void SerialCommunication::sendDirectCommand(unsigned short replyWanted, unsigned char* command,
                                            int length, unsigned char* reply, int replyLength) {
  exchange(replyWanted ? Nxt::kDirectCommand : Nxt::kDirectCommandNoReply, command, length, reply,
           replyLength);
}

void SerialCommunication::sendSystemCommand(unsigned short replyWanted, unsigned char* command,
                                            int length, unsigned char* reply, int replyLength) {
  exchange(replyWanted ? Nxt::kSystemCommand : Nxt::kSystemCommandNoReply, command, length, reply,
           replyLength);
}

void SerialCommunication::exchange(std::uint8_t type, const unsigned char* command, int length,
                                   unsigned char* reply, int replyLength) {
  if (transport == nullptr || framing == nullptr) {
    fail(kLinkNotOpen, kThisFile, __LINE__);
    return;
  }
  if (command == nullptr || length < 1 || static_cast<std::size_t>(length) >= Nxt::kMaxTelegram) {
    fail(kLinkBadArgument, kThisFile, __LINE__);
    return;
  }
  Deadline deadline(kReplyTimeoutMs);
  // After a failed exchange the brick may still answer it, and that late reply echoes the same
  // opcode as ours when the command is the same. Whatever came in the meantime is thrown away;
  // what comes later is told apart by order, below.
  bool staleMayFollow = framing->outOfStep;
  if (framing->outOfStep) {
    transport->discardInput();
    framing->outOfStep = false;
  }
  std::uint8_t telegram[Nxt::kMaxTelegram];
  telegram[0] = type;
  std::memcpy(telegram + 1, command, static_cast<std::size_t>(length));
  long rc = framing->send(*transport, telegram, static_cast<std::size_t>(length) + 1, deadline);
  if (rc < 0) {
    framing->outOfStep = true;
    fail(rc, kThisFile, __LINE__);
    return;
  }
  if ((type & 0x80) != 0) {
    // No reply comes for this one, but the late answer to a failed exchange still may.
    framing->outOfStep = staleMayFollow;
    return;
  }
  // Replies that are not ours (left over from a command that timed out) are passed over.
  std::uint8_t ours[Nxt::kMaxTelegram];
  std::size_t oursLength = 0;
  for (;;) {
    std::size_t got = 0;
    rc = framing->receive(*transport, telegram, sizeof telegram, got, deadline);
    if (rc < 0) {
      framing->outOfStep = true;
      fail(rc, kThisFile, __LINE__);
      return;
    }
    if (answers(telegram, got, command[0])) {
      std::memcpy(ours, telegram, got);
      oursLength = got;
      break;
    }
    // Replies that keep coming without pause never make a read wait, so the deadline is checked
    // here too: a line that streams foreign replies costs no more than a silent one.
    if (deadline.expired()) {
      framing->outOfStep = true;
      fail(kLinkTimeout, kThisFile, __LINE__);
      return;
    }
  }
  // The brick answers in order, so when a late reply to the abandoned command came first, ours
  // follows it closely: a second matching reply within kStaleReplyGraceMs is the one to keep.
  if (staleMayFollow) {
    int grace = deadline.remainingMs();
    Deadline next(grace < kStaleReplyGraceMs ? grace : kStaleReplyGraceMs);
    for (;;) {
      std::size_t got = 0;
      rc = framing->receive(*transport, telegram, sizeof telegram, got, next);
      if (rc < 0) {
        if (rc != kLinkTimeout) {
          framing->outOfStep = true;
        }
        break;
      }
      if (answers(telegram, got, command[0])) {
        std::memcpy(ours, telegram, got);
        oursLength = got;
        break;
      }
      if (next.expired()) {
        break;
      }
    }
  }
  std::size_t take = oursLength - Nxt::kFromOpcode;
  if (replyLength < 0) {
    take = 0;
  } else if (take > static_cast<std::size_t>(replyLength)) {
    take = static_cast<std::size_t>(replyLength);
  }
  if (take > 0 && reply != nullptr) {
    std::memcpy(reply, ours + Nxt::kFromOpcode, take);
  }
}

}  // namespace Comm
