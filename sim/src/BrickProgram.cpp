#include "sim/BrickProgram.h"

#include "protocol/FileTelegrams.h"
#include "protocol/MessageTelegrams.h"
#include "protocol/Nxt.h"
#include "sim/FlashStore.h"

namespace Sim {

namespace M = Nxt::Messages;
namespace F = Nxt::Files;

namespace {

Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return Bytes{Nxt::kReply, opcode, code};
}

// MESSAGEREAD's reply keeps its layout when it brings nothing: inbox, size 0, 59 zero bytes.
Bytes emptyRead(std::uint8_t code, std::uint8_t local) {
  Bytes reply = status(M::kMessageRead, code);
  reply.push_back(local);
  reply.resize(3 + 2 + M::kMessageField, 0);
  return reply;
}

}  // namespace

bool BrickProgram::handles(std::uint8_t opcode) {
  return opcode == M::kStartProgram || opcode == M::kStopProgram ||
         opcode == M::kGetCurrentProgramName || opcode == M::kMessageWrite ||
         opcode == M::kMessageRead;
}

Bytes BrickProgram::answer(const std::uint8_t* t, std::size_t n, const FlashStore& flash) {
  switch (t[1]) {
    case M::kStartProgram:
      return start(t, n, flash);
    case M::kStopProgram:
      if (!running()) {
        return status(t[1], M::kStatusNoProgram);
      }
      current.clear();
      return status(t[1], Nxt::kStatusOk);
    case M::kGetCurrentProgramName: {
      Bytes reply = status(t[1], running() ? Nxt::kStatusOk : M::kStatusNoProgram);
      reply.resize(3 + F::kNameField, 0);
      F::putName(reply.data() + 3, current);
      return reply;
    }
    case M::kMessageWrite:
      return write(t, n);
    case M::kMessageRead:
      return read(t, n);
    default:
      return status(t[1], Nxt::kStatusUnknownOpcode);
  }
}

Bytes BrickProgram::start(const std::uint8_t* t, std::size_t n, const FlashStore& flash) {
  if (n < 2 + F::kNameField) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::string name = F::getName(t + 2);
  if (flash.find(name) == nullptr) {
    return status(t[1], Nxt::kStatusOutOfRange);  // the firmware's answer to a missing file
  }
  // A new program replaces the running one and starts with empty mailboxes.
  current = name;
  for (auto& box : boxes) {
    box.clear();
  }
  return status(t[1], Nxt::kStatusOk);
}

void BrickProgram::post(int box, const Bytes& message) {
  auto& queue = boxes.at(static_cast<std::size_t>(box));
  if (queue.size() >= M::kMailboxDepth) {
    queue.pop_front();
  }
  queue.push_back(message);
}

Bytes BrickProgram::write(const std::uint8_t* t, std::size_t n) {
  if (n < 4) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  int inbox = t[2];
  std::size_t size = t[3];
  // The message is checked first: a size of 0 or over 59, or no NUL at its end, is out of
  // range. A telegram shorter than its size says is refused rather than read past.
  if (size == 0 || size > M::kMessageField) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  if (n < 4 + size) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[4 + size - 1] != 0) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  // Any of the 20 boxes may be written, the program's outboxes too.
  if (inbox >= 2 * M::kInboxes) {
    return status(t[1], M::kStatusBadMailbox);
  }
  if (!running()) {
    return status(t[1], M::kStatusNoProgram);
  }
  // The closing NUL is the telegram's, not the message's.
  Bytes message(t + 4, t + 4 + size - 1);
  post(inbox, message);
  for (const Rule& rule : rules) {
    if (rule.inbox == inbox) {
      Bytes answer(rule.prefix.begin(), rule.prefix.end());
      answer.insert(answer.end(), message.begin(), message.end());
      if (answer.size() > M::kMaxMessage) {
        answer.resize(M::kMaxMessage);
      }
      post(rule.outbox, answer);
    }
  }
  if (hook) {
    hook(inbox, message, *this);
  }
  return status(t[1], Nxt::kStatusOk);
}

Bytes BrickProgram::read(const std::uint8_t* t, std::size_t n) {
  if (n < 5) {
    return emptyRead(Nxt::kStatusInsanePacket, 0);
  }
  int remote = t[2];
  std::uint8_t local = t[3];
  // Any of the 20 boxes may be read; the local inbox is only echoed.
  if (remote >= 2 * M::kInboxes) {
    return emptyRead(M::kStatusBadMailbox, local);
  }
  if (!running()) {
    return emptyRead(M::kStatusNoProgram, local);
  }
  auto& queue = boxes[static_cast<std::size_t>(remote)];
  if (queue.empty()) {
    return emptyRead(M::kStatusMailboxEmpty, local);
  }
  Bytes message = queue.front();
  if (t[4] != 0) {
    queue.pop_front();
  }
  Bytes reply = status(t[1], Nxt::kStatusOk);
  reply.push_back(local);
  reply.push_back(static_cast<std::uint8_t>(message.size() + 1));
  reply.insert(reply.end(), message.begin(), message.end());
  reply.resize(3 + 2 + M::kMessageField, 0);
  return reply;
}

}  // namespace Sim
