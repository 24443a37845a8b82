// The pieces every answer of the virtual brick is made of: a reply in its command's layout,
// a refusal that keeps that layout, a field set in place. Shared by the files that answer
// the brick's commands.
#ifndef SIM_ANSWERPARTS_H
#define SIM_ANSWERPARTS_H

#include <cstdint>

#include "protocol/Field.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "sim/Environment.h"
#include "sim/UnmodelledCommands.h"
#include "sim/VirtualBrick.h"

namespace Sim {
namespace answer {

// A reply of `length` bytes, the fields after the status 0 until set.
inline Bytes reply(std::uint8_t opcode, std::uint8_t code, std::size_t length) {
  Bytes out(length, 0);
  Nxt::put(out.data(), Nxt::Reply::kType, Nxt::kReply);
  Nxt::put(out.data(), Nxt::Reply::kOpcode, opcode);
  Nxt::put(out.data(), Nxt::Reply::kStatus, code);
  return out;
}

// A reply with just a status: it keeps the layout of the command's reply, the data zeroed, so
// that a client reading a field at its offset finds it there (GETOUTPUTSTATE refused is 25
// bytes, not 3).
inline Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return UnmodelledCommands::refusal(opcode >= 0x80, opcode, code);
}

inline void set(Bytes& out, Nxt::Field field, std::uint32_t value) {
  Nxt::put(out.data(), field, value);
}

// An LSGETSTATUS or LSREAD refused: the reply keeps its layout, with nothing ready or read.
inline Bytes lsRefusal(std::uint8_t opcode, std::uint8_t code) {
  if (opcode == Nxt::kLsGetStatus) {
    return reply(opcode, code, Nxt::LsGetStatusReply::kLength);
  }
  if (opcode == Nxt::kLsRead) {
    return reply(opcode, code, Nxt::LsReadReply::kLength);
  }
  return status(opcode, code);
}

inline bool isLowSpeed(const InputState& in) {
  return in.type == Nxt::kLowSpeed || in.type == Nxt::kLowSpeed9V;
}

}  // namespace answer
}  // namespace Sim

#endif
