#include "sim/VirtualBrick.h"

#include <algorithm>
#include <cstring>

#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Sim {

namespace {

using Nxt::get;

// A reply of `length` bytes, the fields after the status 0 until set.
Bytes reply(std::uint8_t opcode, std::uint8_t code, std::size_t length) {
  Bytes out(length, 0);
  Nxt::put(out.data(), Nxt::Reply::kType, Nxt::kReply);
  Nxt::put(out.data(), Nxt::Reply::kOpcode, opcode);
  Nxt::put(out.data(), Nxt::Reply::kStatus, code);
  return out;
}

Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return reply(opcode, code, Nxt::Reply::kLength);
}

void set(Bytes& out, Nxt::Field field, std::uint32_t value) {
  Nxt::put(out.data(), field, value);
}

// An LSGETSTATUS or LSREAD refused: the reply keeps its layout, with nothing ready or read.
Bytes lsRefusal(std::uint8_t opcode, std::uint8_t code) {
  if (opcode == Nxt::kLsGetStatus) {
    return reply(opcode, code, Nxt::LsGetStatusReply::kLength);
  }
  if (opcode == Nxt::kLsRead) {
    return reply(opcode, code, Nxt::LsReadReply::kLength);
  }
  return status(opcode, code);
}

bool isLowSpeed(const InputState& in) {
  return in.type == Nxt::kLowSpeed || in.type == Nxt::kLowSpeed9V;
}

}  // namespace

VirtualBrick::VirtualBrick() = default;

void VirtualBrick::clearRecord() {
  record.clear();
  counts.fill(0);
  total = 0;
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
  if (record.size() == kKept) {
    record.pop_front();
  }
  record.emplace_back(t, t + n);
  ++total;
  if (n > 1) {
    ++counts[t[1]];
  }
  if (n < Nxt::Command::kHeaderLength) {
    return Bytes();  // not even an opcode: a brick drops it
  }
  std::uint8_t type = t[0];
  if (type != Nxt::kDirectCommand && type != Nxt::kDirectCommandNoReply &&
      type != Nxt::kSystemCommand && type != Nxt::kSystemCommandNoReply) {
    return Bytes();
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
      default:
        return status(opcode, Nxt::kStatusUnknownOpcode);
    }
  }
  switch (opcode) {
    case Nxt::kPlayTone:
      if (n < Nxt::PlayToneCommand::kLength) {
        return status(opcode, Nxt::kStatusInsanePacket);
      }
      if (tones.size() == kKept) {
        tones.pop_front();
      }
      ++toneCount;
      tones.push_back(Tone{static_cast<int>(get(t, Nxt::PlayToneCommand::kFrequency)),
                           static_cast<int>(get(t, Nxt::PlayToneCommand::kDuration))});
      if (environment != nullptr) {
        environment->tonePlayed(tones.back());
      }
      return status(opcode, Nxt::kStatusOk);
    case Nxt::kStopSoundPlayback:
      return status(opcode, Nxt::kStatusOk);
    case Nxt::kGetBatteryLevel: {
      Bytes out = reply(opcode, Nxt::kStatusOk, Nxt::GetBatteryLevelReply::kLength);
      set(out, Nxt::GetBatteryLevelReply::kMillivolts,
          static_cast<std::uint32_t>(batteryMillivolts));
      return out;
    }
    case Nxt::kKeepAlive: {
      Bytes out = reply(opcode, Nxt::kStatusOk, Nxt::KeepAliveReply::kLength);
      set(out, Nxt::KeepAliveReply::kSleepTime, 600000);
      return out;
    }
    case Nxt::kSetOutputState:
      return setOutputState(t, n);
    case Nxt::kGetOutputState:
      return getOutputState(t, n);
    case Nxt::kResetMotorPosition: {
      namespace C = Nxt::ResetMotorPositionCommand;
      bool shortOne = n < C::kPort.end();
      std::uint8_t port = shortOne ? 0 : static_cast<std::uint8_t>(get(t, C::kPort));
      if (shortOne || port > 2) {
        return status(opcode, shortOne ? Nxt::kStatusInsanePacket : Nxt::kStatusOutOfRange);
      }
      OutputState& out = outputs[port];
      // The relative flag picks the counter: TRUE the block tacho count, FALSE the rotation
      // count. A telegram without the flag leaves the brick reading a stale byte; taken as FALSE.
      bool relative = n >= C::kRelative.end() && get(t, C::kRelative) != 0;
      if (relative) {
        out.blockTachoCount = 0;
      } else {
        out.rotationCount = 0;
      }
      if (environment != nullptr) {
        environment->outputChanged(port, out);
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
    default:
      return status(opcode, Nxt::kStatusUnknownOpcode);
  }
}

Bytes VirtualBrick::setOutputState(const std::uint8_t* t, std::size_t n) {
  namespace C = Nxt::SetOutputStateCommand;
  if (n < C::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, C::kPort));
  if (port > 2 && port != 0xFF) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  for (int p = 0; p < 3; ++p) {
    if (port != 0xFF && p != port) {
      continue;
    }
    OutputState& out = outputs[static_cast<std::size_t>(p)];
    out.power = static_cast<std::int8_t>(get(t, C::kPower));
    out.mode = static_cast<std::uint8_t>(get(t, C::kMode));
    out.regulation = static_cast<std::uint8_t>(get(t, C::kRegulation));
    out.turnRatio = static_cast<std::int8_t>(get(t, C::kTurnRatio));
    out.runState = static_cast<std::uint8_t>(get(t, C::kRunState));
    out.tachoLimit = get(t, C::kTachoLimit);
    // A new movement starts the tacho count afresh; the rotation count runs on.
    out.tachoCount = 0;
    if (environment != nullptr) {
      environment->outputChanged(p, out);
    }
  }
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::getOutputState(const std::uint8_t* t, std::size_t n) {
  namespace R = Nxt::GetOutputStateReply;
  if (n < Nxt::PortCommand::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, Nxt::PortCommand::kPort));
  if (port > 2) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  const OutputState& out = outputs[port];
  Bytes answer = reply(t[1], Nxt::kStatusOk, R::kLength);
  set(answer, R::kPort, port);
  set(answer, R::kPower, static_cast<std::uint8_t>(out.power));
  set(answer, R::kMode, out.mode);
  set(answer, R::kRegulation, out.regulation);
  set(answer, R::kTurnRatio, static_cast<std::uint8_t>(out.turnRatio));
  set(answer, R::kRunState, out.runState);
  set(answer, R::kTachoLimit, out.tachoLimit);
  set(answer, R::kTachoCount, static_cast<std::uint32_t>(out.tachoCount));
  set(answer, R::kBlockTachoCount, static_cast<std::uint32_t>(out.blockTachoCount));
  set(answer, R::kRotationCount, static_cast<std::uint32_t>(out.rotationCount));
  return answer;
}

Bytes VirtualBrick::setInputMode(const std::uint8_t* t, std::size_t n) {
  namespace C = Nxt::SetInputModeCommand;
  if (n < C::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, C::kPort));
  if (port > 3) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  InputState& in = inputs[port];
  in.type = static_cast<std::uint8_t>(get(t, C::kSensorType));
  in.mode = static_cast<std::uint8_t>(get(t, C::kSensorMode));
  in.scaled = 0;
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::getInputValues(const std::uint8_t* t, std::size_t n) {
  namespace R = Nxt::GetInputValuesReply;
  if (n < Nxt::PortCommand::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, Nxt::PortCommand::kPort));
  if (port > 3) {
    return status(t[1], Nxt::kStatusOutOfRange);
  }
  InputState& in = inputs[port];
  if (environment != nullptr) {
    environment->readInput(port, in);
  }
  std::deque<int>& script = scaledScript[port];
  std::int16_t scaled = in.scaled;
  if (!script.empty()) {
    scaled = static_cast<std::int16_t>(script.front());
    script.pop_front();
  }
  Bytes answer = reply(t[1], Nxt::kStatusOk, R::kLength);
  set(answer, R::kPort, port);
  set(answer, R::kValid, in.valid ? 1 : 0);
  set(answer, R::kCalibrated, in.calibrated ? 1 : 0);
  set(answer, R::kSensorType, in.type);
  set(answer, R::kSensorMode, in.mode);
  set(answer, R::kRaw, in.raw);
  set(answer, R::kNormalized, in.normalized);
  set(answer, R::kScaled, static_cast<std::uint16_t>(scaled));
  set(answer, R::kCalibratedValue, static_cast<std::uint16_t>(in.calibratedValue));
  return answer;
}

Bytes VirtualBrick::lsWrite(const std::uint8_t* t, std::size_t n) {
  namespace C = Nxt::LsWriteCommand;
  if (n < C::kHeaderLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, C::kPort));
  if (port > 3) {
    return status(t[1], Nxt::kStatusBadChannel);
  }
  std::size_t tx = get(t, C::kTxLength);
  std::size_t rx = get(t, C::kRxLength);
  if (tx > C::kMaxData || rx > C::kMaxData || n < C::kData + tx) {
    return status(t[1], Nxt::kStatusIllegalSize);
  }
  if (!isLowSpeed(inputs[port])) {
    return status(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[port];
  if (transactionRunning(us)) {
    return status(t[1], Nxt::kStatusChannelBusy);  // the running transaction goes on
  }
  const std::uint8_t* data = t + C::kData;
  // Nobody acknowledges another address (nor a write too short to name a register). The brick
  // cannot know that yet: it queues the write all the same, and the bus error shows when the
  // transaction has run.
  bool acknowledged = tx >= 2 && data[0] == Nxt::kUltrasonicAddress;
  std::uint8_t reg = acknowledged ? data[1] : 0;
  if (acknowledged && reg == Nxt::kUltrasonicCommand && tx >= 3) {
    us.measuring = data[2] != Nxt::kUltrasonicOff;
  }
  // A new transaction replaces the data of the last one, read or not.
  us.busError = !acknowledged;
  us.bytesReady = acknowledged ? static_cast<std::uint8_t>(rx) : 0;
  std::memset(us.data, 0, sizeof us.data);
  if (acknowledged && rx > 0 && reg >= Nxt::kUltrasonicMeasurement0 &&
      reg < Nxt::kUltrasonicMeasurement0 + 8) {
    if (us.measuring) {
      us.distance = environment != nullptr ? environment->ultrasonicDistance(port) : us.distance;
    }
    us.data[0] = us.distance;
  }
  // The transaction lasts a number of status polls, or a time on the world's clock.
  bool timed = rx > 0 && environment != nullptr && ultrasonicLatencySeconds > 0;
  if (timed) {
    us.readyAt = environment->worldSeconds() + ultrasonicLatencySeconds;
  }
  us.pendingPolls = ultrasonicLatencyPolls > 0 ? ultrasonicLatencyPolls : (timed ? 0 : -1);
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::lsGetStatus(const std::uint8_t* t, std::size_t n) {
  if (n < Nxt::PortCommand::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, Nxt::PortCommand::kPort));
  if (port > 3) {
    return lsRefusal(t[1], Nxt::kStatusBadChannel);
  }
  if (!isLowSpeed(inputs[port])) {
    return lsRefusal(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[port];
  std::deque<int>& script = lsStatusScript[port];
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
  Bytes answer = reply(t[1],
                       running  ? Nxt::kStatusPending
                       : failed ? Nxt::kStatusBusError
                                : Nxt::kStatusOk,
                       Nxt::LsGetStatusReply::kLength);
  set(answer, Nxt::LsGetStatusReply::kBytesReady, ready);
  return answer;
}

Bytes VirtualBrick::lsRead(const std::uint8_t* t, std::size_t n) {
  if (n < Nxt::PortCommand::kLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, Nxt::PortCommand::kPort));
  if (port > 3) {
    return lsRefusal(t[1], Nxt::kStatusBadChannel);
  }
  if (!isLowSpeed(inputs[port])) {
    return lsRefusal(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[port];
  if (transactionRunning(us)) {
    return lsRefusal(t[1], Nxt::kStatusPending);  // nothing to read before the bus is done
  }
  if (us.busError) {
    return lsRefusal(t[1], Nxt::kStatusBusError);
  }
  // What the last transaction brought back, once: nothing waits to be read after that, nor
  // after a write that asked for nothing back. That is no fault of the bus.
  Bytes answer = reply(t[1], Nxt::kStatusOk, Nxt::LsReadReply::kLength);
  set(answer, Nxt::LsReadReply::kBytesRead, us.bytesReady);
  std::memcpy(answer.data() + Nxt::LsReadReply::kData, us.data, us.bytesReady);
  us.bytesReady = 0;
  std::memset(us.data, 0, sizeof us.data);
  us.pendingPolls = -1;
  return answer;
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
  namespace R = Nxt::GetDeviceInfoReply;
  Bytes answer = reply(Nxt::kGetDeviceInfo, Nxt::kStatusOk, R::kLength);
  std::memcpy(answer.data() + R::kName, name.data(),
              std::min(name.size(), static_cast<std::size_t>(Nxt::kDeviceNameBytes)));
  const std::uint8_t address[R::kAddressBytes] = {0x00, 0x16, 0x53, 0x00, 0x00, 0x01, 0x00};
  std::memcpy(answer.data() + R::kAddress, address, sizeof address);
  set(answer, R::kSignalStrength, 0);
  set(answer, R::kFreeFlash, 65536);
  return answer;
}

Bytes VirtualBrick::setName(const std::uint8_t* t, std::size_t n) {
  const std::size_t at = Nxt::SetBrickNameCommand::kName;
  if (n <= at) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::size_t len = 0;
  while (at + len < n && len < static_cast<std::size_t>(Nxt::kDeviceNameBytes) &&
         t[at + len] != 0) {
    ++len;
  }
  name.assign(reinterpret_cast<const char*>(t + at), len);
  return status(t[1], Nxt::kStatusOk);
}

}  // namespace Sim
