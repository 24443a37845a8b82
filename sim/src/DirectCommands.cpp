// Direct commands whose answers depend on more than one telegram's fields: the opcodes the
// firmware answers without publishing them, the reset a program's start brings, and how long
// a sensor's reading stays invalid after its type or mode changed.
#include <cstring>

#include "AnswerParts.h"
#include "protocol/Nxt.h"
#include "sim/VirtualBrick.h"

namespace Sim {

using namespace answer;

namespace {

// Unpublished direct opcodes.
const std::uint8_t kSetDataLogTimes = 0x1A;
const std::uint8_t kBluetoothContactCount = 0x1B;
const std::uint8_t kBluetoothConnectionCount = 0x1D;
const std::uint8_t kGetProperty = 0x20;
const std::uint8_t kResetMotorCounts = 0x21;

// After a type or mode change the input's reading is invalid this long (seconds); the sound
// sensor's longer, as its amplifier settles.
const double kSettleSeconds = 0.020;
const double kSoundSettleSeconds = 0.300;

}  // namespace

Bytes VirtualBrick::unpublished(const std::uint8_t* t, std::size_t n) {
  std::uint8_t opcode = t[1];
  switch (opcode) {
    case kSetDataLogTimes:
      return reply(opcode, Nxt::kStatusOk, 3);  // a virtual brick keeps no data log
    case kBluetoothContactCount:
    case kBluetoothConnectionCount:
      return reply(opcode, Nxt::kStatusOk, 4);  // no contacts known, no radio connections
    case kGetProperty: {
      // The one property is the sleep time, the figure KEEPALIVE reports.
      Bytes out = reply(opcode, Nxt::kStatusOk, 7);
      set(out, Nxt::Field{3, 4}, sleep.sleepMs);
      return out;
    }
    case kResetMotorCounts: {
      if (n < 3) {
        return reply(opcode, Nxt::kStatusInsanePacket, 3);
      }
      if (t[2] > 2) {
        return reply(opcode, Nxt::kStatusOutOfRange, 3);
      }
      resetTachoCount(t[2]);
      return reply(opcode, Nxt::kStatusOk, 3);
    }
    default:
      return Bytes();
  }
}

void VirtualBrick::resetTachoCount(int port) {
  outputs[static_cast<std::size_t>(port)].tachoCount = 0;
  if (environment != nullptr) {
    environment->tachoCountReset(port);
  }
}

void VirtualBrick::resetForProgram() {
  // A program starts on a brick set to nothing: no sensors (raw mode), motors unpowered,
  // every counter zero.
  for (InputState& in : inputs) {
    if (in.type != 0 || in.mode != 0) {
      in.changedAt = environment != nullptr ? environment->worldSeconds() : -1;
    }
    in.type = 0;
    in.mode = 0;
    in.scaled = 0;
  }
  for (int p = 0; p < 3; ++p) {
    OutputState& out = outputs[static_cast<std::size_t>(p)];
    out = OutputState{};
    if (environment != nullptr) {
      environment->outputChanged(p, out);
    }
    resetTachoCount(p);
  }
}

bool VirtualBrick::inputValid(const InputState& in) const {
  if (environment == nullptr || in.changedAt < 0) {
    return true;  // no clock to settle on, or nothing changed
  }
  bool sound = in.type == Nxt::kSoundDb || in.type == Nxt::kSoundDba;
  double settled = in.changedAt + (sound ? kSoundSettleSeconds : kSettleSeconds);
  return environment->worldSeconds() >= settled - 1e-9;
}

}  // namespace Sim
