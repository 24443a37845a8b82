#include "sim/VirtualBrick.h"

#include <algorithm>
#include <cstring>

#include "comm/Nxt.h"
#include "sim/SonarRegisters.h"
#include "sim/UnmodelledCommands.h"

namespace Sim {

namespace {

// The last official firmware's protocol 1.124 and firmware 1.31, minor number first.
const std::uint8_t kFirmwareVersion[] = {124, 1, 31, 1};

void putLe(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// The first three bytes of a reply, for a reply built field by field.
Bytes head(std::uint8_t opcode, std::uint8_t code) {
  return Bytes{Nxt::kReply, opcode, code};
}

// A direct or system command's reply with just a status: it keeps the reply's layout, the
// data zeroed, so that a client reading a field at its offset finds it there.
Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return UnmodelledCommands::refusal(opcode >= 0x80, opcode, code);
}

bool isLowSpeed(const InputState& in) {
  return in.type == Nxt::kLowSpeed || in.type == Nxt::kLowSpeed9V;
}

}  // namespace

VirtualBrick::VirtualBrick() = default;

std::size_t VirtualBrick::count(std::uint8_t opcode) const {
  return static_cast<std::size_t>(std::count_if(record.begin(), record.end(), [&](const Bytes& t) {
    return t.size() > 1 && t[1] == opcode;
  }));
}

void VirtualBrick::scriptReply(std::uint8_t opcode, const Bytes& reply) {
  scripted[opcode].push_back(reply);
}

void VirtualBrick::scriptLsStatus(int port, const std::vector<int>& values) {
  auto& queue = lsStatusScript.at(static_cast<std::size_t>(port));
  queue.insert(queue.end(), values.begin(), values.end());
}

void VirtualBrick::scriptScaled(int port, const std::vector<int>& values) {
  auto& queue = scaledScript.at(static_cast<std::size_t>(port));
  queue.insert(queue.end(), values.begin(), values.end());
}

Bytes VirtualBrick::answer(const std::uint8_t* t, std::size_t n) {
  record.emplace_back(t, t + n);
  if (n < 2) {
    return Bytes();  // not even an opcode: a brick drops it
  }
  std::uint8_t type = t[0];
  if (type == Nxt::kReply) {
    return Bytes();  // a reply sent to the brick asks nothing
  }
  if ((type & 0x7F) != Nxt::kDirectCommand && (type & 0x7F) != Nxt::kSystemCommand) {
    // Neither a command nor a reply: refused, as a telegram the brick cannot make sense of.
    return (type & 0x80) != 0 ? Bytes() : head(t[1], Nxt::kStatusInsanePacket);
  }
  if (n > Nxt::kMaxTelegram) {
    // More than the brick's buffer holds: it carries none of it out, but says so.
    return (type & 0x80) != 0 ? Bytes() : head(t[1], Nxt::kStatusInsanePacket);
  }
  if (environment != nullptr) {
    environment->advance();
  }
  Bytes reply = compute(t, n);
  auto queued = scripted.find(t[1]);
  if (queued != scripted.end() && !queued->second.empty()) {
    reply = queued->second.front();
    queued->second.pop_front();
  }
  if ((type & 0x80) != 0) {
    return Bytes();
  }
  return reply;
}

Bytes VirtualBrick::compute(const std::uint8_t* t, std::size_t n) {
  std::uint8_t opcode = t[1];
  if (t[0] == Nxt::kSystemCommand || t[0] == Nxt::kSystemCommandNoReply) {
    switch (opcode) {
      case Nxt::kGetDeviceInfo:
        return deviceInfo();
      case Nxt::kSetBrickName:
        return setName(t, n);
      case Nxt::kGetFirmwareVersion: {
        Bytes reply = head(opcode, Nxt::kStatusOk);
        reply.insert(reply.end(), std::begin(kFirmwareVersion), std::end(kFirmwareVersion));
        return reply;
      }
      default:
        break;
    }
    Bytes reply = UnmodelledCommands::answer(t, n);
    return reply.empty() ? head(opcode, Nxt::kStatusUnknownOpcode) : reply;
  }
  switch (opcode) {
    case Nxt::kPlayTone:
      if (n < 6) {
        return status(opcode, Nxt::kStatusInsanePacket);
      }
      tones.push_back(Tone{t[2] | t[3] << 8, t[4] | t[5] << 8});
      if (environment != nullptr) {
        environment->tonePlayed(tones.back());
      }
      return status(opcode, Nxt::kStatusOk);
    case Nxt::kStopSoundPlayback:
      return status(opcode, Nxt::kStatusOk);
    case Nxt::kGetBatteryLevel: {
      Bytes reply = head(opcode, Nxt::kStatusOk);
      putLe(reply, static_cast<std::uint32_t>(batteryMillivolts), 2);
      return reply;
    }
    case Nxt::kKeepAlive: {
      Bytes reply = head(opcode, Nxt::kStatusOk);
      putLe(reply, 600000, 4);
      return reply;
    }
    case Nxt::kSetOutputState:
      return setOutputState(t, n);
    case Nxt::kGetOutputState:
      return getOutputState(t, n);
    case Nxt::kResetMotorPosition: {
      if (n < 3 || t[2] > 2) {
        return status(opcode, n < 3 ? Nxt::kStatusInsanePacket : Nxt::kStatusOutOfRange);
      }
      OutputState& out = outputs[t[2]];
      // The relative flag picks the counter: TRUE the block tacho count, FALSE the rotation
      // count. A telegram without the flag leaves the brick reading a stale byte; taken as FALSE.
      bool relative = n >= 4 && t[3] != 0;
      if (relative) {
        out.blockTachoCount = 0;
      } else {
        out.rotationCount = 0;
      }
      if (environment != nullptr) {
        environment->outputChanged(t[2], out);
      }
      return status(opcode, Nxt::kStatusOk);
    }
    case Nxt::kSetInputMode:
      return setInputMode(t, n);
    case Nxt::kGetInputValues:
      return getInputValues(t, n);
    case Nxt::kLsWrite:
      return lsWrite(t, n);
    case Nxt::kLsGetStatus:
      return lsGetStatus(t, n);
    case Nxt::kLsRead:
      return lsRead(t, n);
    case Nxt::kResetInputScaledValue:
      if (n < 3 || t[2] > 3) {
        return status(opcode, n < 3 ? Nxt::kStatusInsanePacket : Nxt::kStatusOutOfRange);
      }
      inputs[t[2]].scaled = 0;
      scaledScript[t[2]].clear();
      return status(opcode, Nxt::kStatusOk);
    default: {
      Bytes reply = UnmodelledCommands::answer(t, n);
      return reply.empty() ? head(opcode, Nxt::kStatusUnknownOpcode) : reply;
    }
  }
}

Bytes VirtualBrick::setOutputState(const std::uint8_t* t, std::size_t n) {
  // Type, opcode, port, power, mode, regulation, turn ratio, run state and a 4-byte tacho
  // limit: 12 bytes. (The published table numbers the limit "bytes 8-12", but it is a ULONG.)
  if (n < 12) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = t[2];
  if (port > 2 && port != 0xFF) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  for (int p = 0; p < 3; ++p) {
    if (port != 0xFF && p != port) {
      continue;
    }
    OutputState& out = outputs[static_cast<std::size_t>(p)];
    out.power = static_cast<std::int8_t>(t[3]);
    out.mode = t[4];
    out.regulation = t[5];
    out.turnRatio = static_cast<std::int8_t>(t[6]);
    out.runState = t[7];
    out.tachoLimit = static_cast<std::uint32_t>(t[8] | t[9] << 8 | t[10] << 16) |
                     static_cast<std::uint32_t>(t[11]) << 24;
    // A new movement goal, a limit to reach, starts the tacho count afresh (it is what the limit
    // is measured against); braking, floating or running on without a limit leaves it
    // counting, so a client can aim at "the count before plus so many degrees". The block and
    // rotation counts run on regardless.
    if (out.tachoLimit != 0) {
      out.tachoCount = 0;
    }
    if (environment != nullptr) {
      environment->outputChanged(p, out);
    }
  }
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::getOutputState(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[2] > 2) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  const OutputState& out = outputs[t[2]];
  Bytes reply = head(t[1], Nxt::kStatusOk);
  reply.push_back(t[2]);
  reply.push_back(static_cast<std::uint8_t>(out.power));
  reply.push_back(out.mode);
  reply.push_back(out.regulation);
  reply.push_back(static_cast<std::uint8_t>(out.turnRatio));
  reply.push_back(out.runState);
  putLe(reply, out.tachoLimit, 4);
  putLe(reply, static_cast<std::uint32_t>(out.tachoCount), 4);
  putLe(reply, static_cast<std::uint32_t>(out.blockTachoCount), 4);
  putLe(reply, static_cast<std::uint32_t>(out.rotationCount), 4);
  return reply;
}

Bytes VirtualBrick::setInputMode(const std::uint8_t* t, std::size_t n) {
  if (n < 5) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[2] > 3) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  InputState& in = inputs[t[2]];
  in.type = t[3];
  in.mode = t[4];
  in.scaled = 0;
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::getInputValues(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[2] > 3) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  InputState& in = inputs[t[2]];
  if (environment != nullptr) {
    environment->readInput(t[2], in);
  }
  std::deque<int>& script = scaledScript[t[2]];
  std::int16_t scaled = in.scaled;
  if (!script.empty()) {
    scaled = static_cast<std::int16_t>(script.front());
    script.pop_front();
  }
  Bytes reply = head(t[1], Nxt::kStatusOk);
  reply.push_back(t[2]);
  reply.push_back(in.valid ? 1 : 0);
  reply.push_back(in.calibrated ? 1 : 0);
  reply.push_back(in.type);
  reply.push_back(in.mode);
  putLe(reply, in.raw, 2);
  putLe(reply, in.normalized, 2);
  putLe(reply, static_cast<std::uint16_t>(scaled), 2);
  putLe(reply, static_cast<std::uint16_t>(in.calibratedValue), 2);
  return reply;
}

Bytes VirtualBrick::lsWrite(const std::uint8_t* t, std::size_t n) {
  if (n < 5) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = t[2];
  if (port > 3) {
    return status(t[1], Nxt::kStatusBadChannel);
  }
  std::size_t tx = t[3];
  std::size_t rx = t[4];
  if (tx > 16 || rx > 16 || n < 5 + tx) {
    return status(t[1], Nxt::kStatusIllegalSize);
  }
  if (!isLowSpeed(inputs[port])) {
    return status(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[port];
  if (transactionRunning(us)) {
    return status(t[1], Nxt::kStatusChannelBusy);  // the running transaction goes on
  }
  const std::uint8_t* data = t + 5;
  // Nobody acknowledges another address (nor a write too short to name a register). The brick
  // cannot know that yet: it queues the write all the same, and the bus error shows when the
  // transaction has run.
  bool acknowledged = tx >= 2 && data[0] == Nxt::kUltrasonicAddress;
  std::uint8_t reg = acknowledged ? data[1] : 0;
  if (acknowledged && tx >= 3) {
    SonarRegisters::write(us, reg, data + 2, tx - 2);
  }
  // A new transaction replaces the data of the last one, read or not.
  us.busError = !acknowledged;
  us.bytesReady = acknowledged ? static_cast<std::uint8_t>(rx) : 0;
  std::memset(us.data, 0, sizeof us.data);
  if (acknowledged && rx > 0) {
    if (us.measuring && reg <= Nxt::kUltrasonicMeasurement0 &&
        reg + rx > Nxt::kUltrasonicMeasurement0) {
      us.distance = environment != nullptr ? environment->ultrasonicDistance(port) : us.distance;
    }
    SonarRegisters::read(us, reg, rx, us.data);
  }
  // The transaction lasts a number of status polls, or a time on the world's clock. The bus
  // moves about a byte a millisecond: the latency is that of a one-byte distance read (the
  // register write, the address again and the byte: 4 bytes), and a longer read takes longer.
  bool timed = rx > 0 && environment != nullptr && ultrasonicLatencySeconds > 0;
  if (timed) {
    us.readyAt = environment->worldSeconds() +
                 ultrasonicLatencySeconds * static_cast<double>(tx + 1 + rx) / 4.0;
  }
  us.pendingPolls = ultrasonicLatencyPolls > 0 ? ultrasonicLatencyPolls : (timed ? 0 : -1);
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::lsGetStatus(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[2] > 3) {
    return status(t[1], Nxt::kStatusBadChannel);
  }
  if (!isLowSpeed(inputs[t[2]])) {
    return status(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[t[2]];
  std::deque<int>& script = lsStatusScript[t[2]];
  bool running = true;
  bool failed = false;
  std::uint8_t ready = 0;
  if (!script.empty()) {
    // A scripted 0 keeps the transaction running; a count ends it.
    ready = static_cast<std::uint8_t>(script.front());
    script.pop_front();
    running = ready == 0;
    us.pendingPolls = running ? std::max(us.pendingPolls, 0) : -1;
  } else if (us.pendingPolls > 0) {
    --us.pendingPolls;  // still on the bus
  } else if (timedTransactionRunning(us)) {
    // still measuring on the world's clock
  } else {
    us.pendingPolls = -1;  // done by now (this poll may be the one that sees it finish)
    running = false;
    failed = us.busError;
    ready = us.bytesReady;
  }
  Bytes reply = head(t[1], running  ? Nxt::kStatusPending
                           : failed ? Nxt::kStatusBusError
                                    : Nxt::kStatusOk);
  reply.push_back(ready);
  return reply;
}

Bytes VirtualBrick::lsRead(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  if (t[2] > 3) {
    return status(t[1], Nxt::kStatusBadChannel);
  }
  if (!isLowSpeed(inputs[t[2]])) {
    return status(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[t[2]];
  if (transactionRunning(us)) {
    return status(t[1], Nxt::kStatusPending);  // nothing to read before the bus is done
  }
  if (us.busError) {
    return status(t[1], Nxt::kStatusBusError);
  }
  // What the last transaction brought back, once: nothing waits to be read after that, nor
  // after a write that asked for nothing back. That is no fault of the bus.
  Bytes reply = head(t[1], Nxt::kStatusOk);
  reply.push_back(us.bytesReady);
  reply.insert(reply.end(), us.data, us.data + us.bytesReady);
  reply.insert(reply.end(), 16 - us.bytesReady, 0);
  us.bytesReady = 0;
  std::memset(us.data, 0, sizeof us.data);
  us.pendingPolls = -1;
  return reply;
}

bool VirtualBrick::timedTransactionRunning(const UltrasonicState& us) const {
  return us.pendingPolls >= 0 && environment != nullptr && ultrasonicLatencySeconds > 0 &&
         environment->worldSeconds() < us.readyAt;
}

bool VirtualBrick::transactionRunning(const UltrasonicState& us) const {
  if (us.pendingPolls < 0) {
    return false;  // the bus is idle
  }
  if (us.pendingPolls > 0 || environment == nullptr || ultrasonicLatencySeconds <= 0) {
    return true;  // counted in status polls: over once a poll has seen it finish
  }
  return timedTransactionRunning(us);
}

Bytes VirtualBrick::deviceInfo() {
  Bytes reply = head(Nxt::kGetDeviceInfo, Nxt::kStatusOk);
  for (int i = 0; i < Nxt::kDeviceNameBytes; ++i) {
    reply.push_back(i < static_cast<int>(name.size()) ? static_cast<std::uint8_t>(name[i]) : 0);
  }
  const std::uint8_t address[7] = {0x00, 0x16, 0x53, 0x00, 0x00, 0x01, 0x00};
  reply.insert(reply.end(), address, address + 7);
  putLe(reply, 0, 4);      // Bluetooth signal strength
  putLe(reply, 65536, 4);  // free flash
  return reply;
}

Bytes VirtualBrick::setName(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::size_t len = 0;
  while (2 + len < n && len < static_cast<std::size_t>(Nxt::kDeviceNameBytes) && t[2 + len] != 0) {
    ++len;
  }
  name.assign(reinterpret_cast<const char*>(t + 2), len);
  return status(t[1], Nxt::kStatusOk);
}

}  // namespace Sim
