#include "comm/SerialCommunication.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "LinkInternals.h"
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

namespace detail {

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

bool answers(const std::uint8_t* telegram, std::size_t n, std::uint8_t opcode) {
  return n >= Nxt::Reply::kOpcode.end() && telegram[Nxt::Reply::kType.offset] == Nxt::kReply &&
         telegram[Nxt::Reply::kOpcode.offset] == opcode;
}

// Hosts rely on the link's layout, which has no room for a lock: links are spread over a few
// locks by address, and two links that share one only wait for each other.
std::recursive_mutex& guardOf(const SerialCommunication* link) {
  static std::recursive_mutex guards[32];
  return guards[(reinterpret_cast<std::uintptr_t>(link) / alignof(SerialCommunication)) % 32];
}

}  // namespace detail

namespace {

using detail::answers;
using detail::guardOf;

const int kRfcommChannel = 1;
const std::size_t kMaxDeviceText = 255;
const int kNameBuffer = 256;

const char* const kThisFile = detail::sourceName(__FILE__);

// Whether a reply as the link hands it (from the opcode on) is the brick's success at `opcode`.
bool answered(const unsigned char* reply, std::uint8_t opcode) {
  return Nxt::get(reply, Nxt::Reply::kOpcode, Nxt::kFromOpcode) == opcode &&
         Nxt::get(reply, Nxt::Reply::kStatus, Nxt::kFromOpcode) == Nxt::kStatusOk;
}

// Harmless commands with a reply, any of which brings the link back in step: whatever the
// brick sends before its answer to one of them answers something earlier.
struct Probe {
  std::uint8_t type;
  std::uint8_t opcode;
};
const Probe kProbes[] = {{Nxt::kDirectCommand, Nxt::kKeepAlive},
                         {Nxt::kDirectCommand, Nxt::kGetBatteryLevel},
                         {Nxt::kSystemCommand, Nxt::kGetDeviceInfo}};

// The tracer, when one is set, wraps the framing and outlives the opens and closes below it.
TracingFraming* tracingOf(Framing* framing) {
  return dynamic_cast<TracingFraming*>(framing);
}

// Sends one telegram and, when it wants one, waits for its reply, which must echo its opcode and
// must not be owed to an earlier command (the caller sees to that). Late replies to earlier
// commands are passed over. Returns 0, or a negative LinkCode; on failure the reply
// is owed.
long roundTrip(Transport& transport, Framing& framing, const std::uint8_t* telegram, std::size_t n,
               std::uint8_t* reply, std::size_t& replyLength,
               std::size_t capacity = Nxt::kMaxTelegram) {
  Deadline deadline(kReplyTimeoutMs);
  bool wantsReply = (telegram[0] & 0x80) == 0;
  std::uint8_t opcode = telegram[1];
  long rc = framing.send(transport, telegram, n, deadline);
  while (rc == kLinkOk && wantsReply) {
    std::size_t got = 0;
    rc = framing.receive(transport, reply, capacity, got, deadline);
    if (rc != kLinkOk) {
      break;
    }
    if (answers(reply, got, opcode)) {
      // The brick answers in order: whatever was owed from before has come, or never will.
      transport.settleAll();
      replyLength = got;
      return kLinkOk;
    }
    if (got >= 2 && reply[0] == Nxt::kReply) {
      transport.settle(reply[1]);
    }
    // Replies that keep coming without pause never make a read wait, so the deadline is checked
    // here too: a line that streams foreign replies costs no more than a silent one.
    if (deadline.expired()) {
      rc = kLinkTimeout;
    }
  }
  if (rc != kLinkOk) {
    transport.outOfStep = true;
    if (wantsReply) {
      transport.owe(opcode);
    }
  }
  return rc;
}

}  // namespace

namespace detail {

// Brings the link back in step before a command whose opcode a late reply may still echo: the
// brick answers in order, so once it has answered a probe nothing earlier can come any more.
long resync(Transport& transport, Framing& framing) {
  for (const Probe& probe : kProbes) {
    if (transport.owes(probe.opcode)) {
      continue;
    }
    std::uint8_t telegram[] = {probe.type, probe.opcode};
    std::uint8_t reply[Nxt::kMaxTelegram];
    std::size_t got = 0;
    return roundTrip(transport, framing, telegram, sizeof telegram, reply, got);
  }
  // Every probe went unanswered too: the brick has been silent for several reply times. What
  // it still sends after a further full reply time of silence is taken as lost for good.
  Deadline quiet(kReplyTimeoutMs);
  std::uint8_t reply[Nxt::kMaxTelegram];
  std::size_t got = 0;
  long rc = framing.receive(transport, reply, sizeof reply, got, quiet);
  if (rc == kLinkTimeout) {
    transport.settleAll();
    return resync(transport, framing);
  }
  if (rc == kLinkOk && got >= 2 && reply[0] == Nxt::kReply) {
    transport.settle(reply[1]);
  }
  return rc == kLinkOk ? kLinkTimeout : rc;
}

}  // namespace detail

using detail::resync;

void SerialCommunication::attach(Transport* newTransport, Framing* newFraming) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  close();
  status.clear();
  transport = newTransport;
  if (TracingFraming* tracing = tracingOf(framing)) {
    tracing->setInner(newFraming);
  } else {
    framing = newFraming;
  }
}

void SerialCommunication::setTracer(Tracer tracer) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  TracingFraming* tracing = tracingOf(framing);
  if (tracing != nullptr && tracer) {
    tracing->setTracer(std::move(tracer));
  } else if (tracing != nullptr) {
    Framing* inner = tracing->getInner();
    if (inner != nullptr) {
      inner->retain();
    }
    framing = inner;
    RefCounted::release(tracing);
  } else if (tracer) {
    tracing = new TracingFraming(std::move(tracer));
    tracing->setInner(framing);  // takes over this link's reference
    framing = tracing;
  }
}

bool SerialCommunication::open() {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
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
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
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
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  long reason = kLinkNoDevice;
  for (int i = 0; i < Nxt::kRfcommDeviceCount; ++i) {
    std::string path = Nxt::rfcommDevicePath(i);
    if (!openBT(&path[0])) {
      if (status.getCode() == kLinkBusy) {
        reason = kLinkBusy;  // a brick is there, but another program has it
      }
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
    if (status.isSuccess()) {
      reason = kLinkBadReply;  // a brick is there, but refused
    }
  }
  close();
  status.clear();
  fail(reason, kThisFile, __LINE__);
  return false;
}

void SerialCommunication::close() {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  if (transport != nullptr && transport->unconfirmed) {
    confirmPosted();
  }
  if (transport != nullptr) {
    // A copy of this link may be in an exchange on the same device.
    std::lock_guard<std::mutex> whole(transport->exchangeLock);
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
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  unsigned char ask[] = {Nxt::kGetDeviceInfo};
  unsigned char info[Nxt::kReplyGetDeviceInfo];
  std::memset(info, 0, sizeof info);
  name[0] = '\0';
  if (exchange(Nxt::kSystemCommand, ask, sizeof ask, info, sizeof info) != kLinkOk) {
    return;
  }
  if (!answered(info, Nxt::kGetDeviceInfo)) {
    fail(kLinkBadReply, kThisFile, __LINE__);
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
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  if (exchange(Nxt::kSystemCommand, command, sizeof command, reply, sizeof reply) != kLinkOk) {
    return false;
  }
  if (!answered(reply, Nxt::kSetBrickName)) {
    fail(kLinkBadReply, kThisFile, __LINE__);
    return false;
  }
  return true;
}

void SerialCommunication::sendDirectCommand(unsigned short replyWanted, unsigned char* command,
                                            int length, unsigned char* reply, int replyLength) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  exchange(replyWanted ? Nxt::kDirectCommand : Nxt::kDirectCommandNoReply, command, length, reply,
           replyLength);
}

void SerialCommunication::sendSystemCommand(unsigned short replyWanted, unsigned char* command,
                                            int length, unsigned char* reply, int replyLength) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  exchange(replyWanted ? Nxt::kSystemCommand : Nxt::kSystemCommandNoReply, command, length, reply,
           replyLength);
}

long SerialCommunication::transact(bool system, const unsigned char* command, int length,
                                   unsigned char* reply, int replyLength) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  return exchange(system ? Nxt::kSystemCommand : Nxt::kDirectCommand, command, length, reply,
                  replyLength, true);
}

void SerialCommunication::recordStatus(long code, const char* file, unsigned long line) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  status.setCode(code, file, line);
}

long SerialCommunication::exchange(std::uint8_t type, const unsigned char* command, int length,
                                   unsigned char* reply, int replyLength, bool refusalMayBeShort) {
  if (length < 1 || static_cast<std::size_t>(length) >= Nxt::kMaxTelegram) {
    if (transport == nullptr || framing == nullptr) {
      fail(kLinkNotOpen, kThisFile, __LINE__);
      return kLinkNotOpen;
    }
    fail(kLinkBadArgument, kThisFile, __LINE__);
    return kLinkBadArgument;
  }
  return exchangeUpTo(Nxt::kMaxTelegram, type, command, static_cast<std::size_t>(length),
                      replyLength < 0 ? nullptr : reply,
                      replyLength < 0 ? 0 : static_cast<std::size_t>(replyLength),
                      refusalMayBeShort, nullptr);
}

long SerialCommunication::transactLong(const unsigned char* command, std::size_t length,
                                       unsigned char* reply, std::size_t replyLength,
                                       std::size_t& got) {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  got = 0;
  std::size_t most = transport != nullptr && !transport->isPacketBased() ? Nxt::kMaxStreamTelegram
                                                                         : Nxt::kMaxTelegram;
  if (transport != nullptr && length >= most) {
    fail(kLinkBadArgument, kThisFile, __LINE__);
    return kLinkBadArgument;
  }
  return exchangeUpTo(most, Nxt::kSystemCommand, command, length, reply, replyLength, true, &got);
}

bool SerialCommunication::carriesLongTelegrams() const {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  return transport != nullptr && !transport->isPacketBased() && !transport->shortTelegramsOnly;
}

void SerialCommunication::keepToShortTelegrams() {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  if (transport != nullptr) {
    transport->shortTelegramsOnly = true;
  }
}

bool SerialCommunication::isPacketLink() const {
  std::lock_guard<std::recursive_mutex> hold(guardOf(this));
  return transport != nullptr && transport->isPacketBased();
}

long SerialCommunication::exchangeUpTo(std::size_t most, std::uint8_t type,
                                       const unsigned char* command, std::size_t length,
                                       unsigned char* reply, std::size_t replyLength,
                                       bool refusalMayBeShort, std::size_t* got) {
  if (transport == nullptr || framing == nullptr) {
    fail(kLinkNotOpen, kThisFile, __LINE__);
    return kLinkNotOpen;
  }
  if (command == nullptr || length < 1 || length >= most) {
    fail(kLinkBadArgument, kThisFile, __LINE__);
    return kLinkBadArgument;
  }
  std::lock_guard<std::mutex> whole(transport->exchangeLock);
  // Whatever a failed exchange left pending is thrown away; replies to it that come later are
  // told apart by what is owed.
  if (transport->outOfStep) {
    transport->discardInput();
    transport->outOfStep = false;
  }
  bool wantsReply = (type & 0x80) == 0;
  if (wantsReply && transport->owes(command[0])) {
    long rc = resync(*transport, *framing);
    if (rc != kLinkOk) {
      fail(rc, kThisFile, __LINE__);
      return rc;
    }
  }
  // Telegrams of one packet stay on the stack; only a long one (a file's data) takes the heap.
  std::uint8_t telegramSmall[Nxt::kMaxTelegram];
  std::uint8_t oursSmall[Nxt::kMaxTelegram];
  std::vector<std::uint8_t> telegramLarge;
  std::vector<std::uint8_t> oursLarge;
  std::uint8_t* telegram = telegramSmall;
  std::uint8_t* ours = oursSmall;
  std::size_t capacity = Nxt::kMaxTelegram;
  if (length + 1 > Nxt::kMaxTelegram) {
    telegramLarge.resize(length + 1);
    telegram = telegramLarge.data();
  }
  if (most > Nxt::kMaxTelegram && replyLength + Nxt::kFromOpcode > Nxt::kMaxTelegram) {
    capacity = std::min(most, replyLength + Nxt::kFromOpcode);
    oursLarge.resize(capacity);
    ours = oursLarge.data();
  }
  telegram[0] = type;
  std::memcpy(telegram + 1, command, length);
  std::size_t oursLength = 0;
  long rc = roundTrip(*transport, *framing, telegram, length + 1, ours, oursLength, capacity);
  if (rc != kLinkOk) {
    fail(rc, kThisFile, __LINE__);
    return rc;
  }
  if (!wantsReply) {
    return kLinkOk;
  }
  transport->unconfirmed = false;  // the brick answers in order: it has taken all before
  std::size_t take = oursLength - Nxt::kFromOpcode;
  // A brick refuses some commands in a reply of opcode and status alone: that is its answer,
  // not a reply cut short. A long reply's length is the caller's to judge.
  const bool shortRefusal = refusalMayBeShort && take >= 2 && ours[Nxt::kFromOpcode + 1] != 0;
  if (take < replyLength && !shortRefusal && got == nullptr) {
    // Bytes the reply should have carried would read as values the brick never sent.
    fail(kLinkShortReply, kThisFile, __LINE__);
    return kLinkShortReply;
  } else if (take > replyLength) {
    take = replyLength;
  }
  if (take > 0 && reply != nullptr) {
    std::memcpy(reply, ours + Nxt::kFromOpcode, take);
  }
  if (got != nullptr) {
    *got = take;
  }
  return kLinkOk;
}

}  // namespace Comm
