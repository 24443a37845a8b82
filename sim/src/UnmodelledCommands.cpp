#include "sim/UnmodelledCommands.h"

#include <algorithm>

#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Sim {

namespace {

// A firmware handle is one of 16; a handle past them is not a handle at all.
const std::uint8_t kHandles = 16;

std::uint8_t handleStatus(std::uint8_t handle) {
  return handle < kHandles ? Nxt::kStatusHandleClosed : Nxt::kStatusIllegalHandle;
}

// Copies `count` request bytes from `from` (after the type byte and opcode) into the reply at
// `at`, as far as the request holds them: replies that echo a handle, a name or a module id.
void echo(UnmodelledCommands::Bytes& reply, std::size_t at, const std::uint8_t* t, std::size_t n,
          std::size_t from, std::size_t count) {
  for (std::size_t i = 0; i < count && 2 + from + i < n && at + i < reply.size(); ++i) {
    reply[at + i] = t[2 + from + i];
  }
}

}  // namespace

UnmodelledCommands::Bytes UnmodelledCommands::refusal(bool system, std::uint8_t opcode,
                                                      std::uint8_t status) {
  Bytes reply{Nxt::kReply, opcode, status};
  reply.resize(std::max<std::size_t>(3, Nxt::replyLength(system, opcode)), 0);
  return reply;
}

UnmodelledCommands::Bytes UnmodelledCommands::answer(const std::uint8_t* t, std::size_t n) {
  bool system = (t[0] & 0x7F) == Nxt::kSystemCommand;
  std::uint8_t op = t[1];
  std::uint8_t arg = n > 2 ? t[2] : 0;
  Bytes reply;
  if (!system) {
    switch (op) {
      case Nxt::kStartProgram:
      case Nxt::kPlaySoundFile:
        return refusal(false, op, Nxt::kStatusRequestFailed);  // no such file
      case Nxt::kStopProgram:
      case Nxt::kGetCurrentProgramName:
        return refusal(false, op, Nxt::kStatusNoProgram);
      case Nxt::kMessageWrite:
        return refusal(false, op, arg > 9 ? 0xEE : Nxt::kStatusNoProgram);
      case Nxt::kMessageRead:
        // The queues belong to a running program; the local inbox is echoed.
        reply = refusal(false, op, n > 2 && arg >= 10 && arg <= 19 ? Nxt::kStatusNoProgram : 0xEE);
        echo(reply, 3, t, n, 1, 1);
        return reply;
      default:
        return Bytes();
    }
  }
  switch (op) {
    case Nxt::kOpenRead:
    case Nxt::kOpenAppendData:
    case Nxt::kFindFirst:
      return refusal(true, op, Nxt::kStatusFileNotFound);  // the flash holds no files
    case Nxt::kDelete:
      reply = refusal(true, op, Nxt::kStatusFileNotFound);
      echo(reply, 3, t, n, 0, 20);
      return reply;
    case Nxt::kOpenWrite:
    case Nxt::kOpenWriteLinear:
    case Nxt::kOpenWriteData:
      return refusal(true, op, Nxt::kStatusNoSpace);  // nowhere to keep a file
    case Nxt::kRead:
    case Nxt::kWrite:
    case Nxt::kClose:
    case Nxt::kFindNext:
      reply = refusal(true, op, handleStatus(arg));  // no handle is open
      echo(reply, 3, t, n, 0, 1);
      return reply;
    case Nxt::kBoot:
    case Nxt::kBluetoothFactoryReset:
      // Only over USB, and a virtual brick has no firmware to replace nor a radio to reset.
      return refusal(true, op, Nxt::kStatusBadArguments);
    case Nxt::kDeleteUserFlash:
      return refusal(true, op, Nxt::kStatusOk);  // empty already
    case Nxt::kPollCommandLength:
    case Nxt::kPoll:
      // No program has left a reply to poll: the buffer is echoed, with nothing in it.
      reply = refusal(true, op, Nxt::kStatusOk);
      echo(reply, 3, t, n, 0, 1);
      return reply;
    default:
      return Bytes();
  }
}

}  // namespace Sim
