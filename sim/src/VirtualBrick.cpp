#include "sim/VirtualBrick.h"

#include <algorithm>
#include <cstring>

#include "AnswerParts.h"
#include "protocol/Commands.h"
#include "protocol/FileTelegrams.h"
#include "protocol/MessageTelegrams.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "sim/SonarRegisters.h"
#include "sim/UnmodelledCommands.h"

namespace Sim {

using namespace answer;

namespace {

using Nxt::get;

// The last official firmware's protocol 1.124 and firmware 1.31, minor number first.
const std::uint8_t kFirmwareVersion[] = {124, 1, 31, 1};

// The answer to an opcode the published protocol does not have, or the stand-in answer of a
// published command the brick does not carry out.
Bytes unmodelled(const std::uint8_t* t, std::size_t n) {
  Bytes out = UnmodelledCommands::answer(t, n);
  return out.empty() ? reply(t[1], Nxt::kStatusUnknownOpcode, Nxt::Reply::kLength) : out;
}

}  // namespace

VirtualBrick::VirtualBrick() : mostTelegram(Nxt::kMaxTelegram) {}

void VirtualBrick::setLink(Link link) {
  bool bluetooth = link == Link::Bluetooth;
  mostTelegram = bluetooth ? kMaxBluetoothTelegram : Nxt::kMaxTelegram;
  // Over Bluetooth the reply's length prefix bounds a READ, not the buffer.
  flash.setMostRead(bluetooth ? 0xFFFF - 6 : Nxt::Files::kMaxReadChunk);
}

void VirtualBrick::keep(const std::uint8_t* t, std::size_t n) {
  if (record.size() == kKept) {
    record.pop_front();
  }
  // One byte past the most a telegram may hold tells an over-long one: a flood of 64 KiB
  // telegrams must not keep 256 MiB.
  record.emplace_back(t, t + std::min(n, mostTelegram + 1));
  ++total;
  if (n > 1) {
    ++counts[t[1]];
  }
}

void VirtualBrick::beginWrite(const std::uint8_t* head, std::size_t n, std::size_t length) {
  keep(head, n);
  writeWanted = (head[0] & 0x80) == 0;
  // A brick whose link holds 64-byte telegrams takes no stream: it refuses the WRITE whole.
  writeRefused = mostTelegram < kMaxBluetoothTelegram;
  if (writeRefused) {
    return;
  }
  if (environment != nullptr) {
    environment->advance();
  }
  flash.beginWrite(head, n, length);
}

void VirtualBrick::continueWrite(const std::uint8_t* data, std::size_t n) {
  if (!writeRefused) {
    flash.continueWrite(data, n);
  }
}

Bytes VirtualBrick::endWrite() {
  Bytes result = writeRefused
                     ? reply(Nxt::Files::kWrite, Nxt::kStatusInsanePacket, Nxt::Reply::kLength)
                     : flash.endWrite();
  if (switchedOff() || !writeWanted) {
    return Bytes();
  }
  return result;
}

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
  keep(t, n);
  if (n < Nxt::Command::kHeaderLength) {
    return Bytes();  // not even an opcode: a brick drops it
  }
  std::uint8_t type = t[0];
  bool wanted = (type & 0x80) == 0;
  if (type == Nxt::kReply) {
    return Bytes();  // a reply sent to the brick asks nothing
  }
  if ((type & 0x7F) != Nxt::kDirectCommand && (type & 0x7F) != Nxt::kSystemCommand) {
    return Bytes();  // neither a command nor a reply: the brick's firmware passes it by
  }
  if (n > mostTelegram) {
    // More than the brick's buffer holds: it carries none of it out, but says so.
    return wanted ? reply(t[1], Nxt::kStatusInsanePacket, Nxt::Reply::kLength) : Bytes();
  }
  if (environment != nullptr) {
    environment->advance();
  }
  if (switchedOff()) {
    return Bytes();  // switched off: nothing answers
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
    if (FlashStore::handles(opcode)) {
      return flash.answer(t, n);
    }
    if (IoMaps::handles(opcode)) {
      return ioMaps.answer(t, n, mostTelegram, *this);
    }
    switch (opcode) {
      case Nxt::kGetDeviceInfo:
        return deviceInfo();
      case Nxt::kSetBrickName:
        return setName(t, n);
      case Nxt::kGetFirmwareVersion: {
        Bytes out = reply(opcode, Nxt::kStatusOk, Nxt::replyLength(true, opcode));
        std::copy(std::begin(kFirmwareVersion), std::end(kFirmwareVersion),
                  out.begin() + Nxt::Reply::kLength);
        return out;
      }
      default:
        return isDeviceCommand(opcode) ? deviceCommand(t, n) : unmodelled(t, n);
    }
  }
  if (BrickProgram::handles(opcode)) {
    Bytes out = program.answer(t, n, flash);
    if (opcode == Nxt::kStartProgram && out[Nxt::Reply::kStatus.offset] == Nxt::kStatusOk) {
      resetForProgram();
    }
    return out;
  }
  switch (opcode) {
    case Nxt::Messages::kPlaySoundFile:
      return playSoundFile(t, n);
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
      soundFile.clear();
      soundLoop = false;
      return status(opcode, Nxt::kStatusOk);
    case Nxt::kGetBatteryLevel: {
      Bytes out = reply(opcode, Nxt::kStatusOk, Nxt::GetBatteryLevelReply::kLength);
      set(out, Nxt::GetBatteryLevelReply::kMillivolts,
          static_cast<std::uint32_t>(batteryMillivolts));
      return out;
    }
    case Nxt::kKeepAlive: {
      sleep.keepAlive();
      Bytes out = reply(opcode, Nxt::kStatusOk, Nxt::KeepAliveReply::kLength);
      set(out, Nxt::KeepAliveReply::kSleepTime, sleep.sleepMs);
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
    case Nxt::kResetInputScaledValue: {
      bool shortOne = n < Nxt::PortCommand::kLength;
      if (shortOne || t[Nxt::PortCommand::kPort.offset] > 3) {
        return status(opcode, shortOne ? Nxt::kStatusInsanePacket : Nxt::kStatusOutOfRange);
      }
      std::uint8_t port = t[Nxt::PortCommand::kPort.offset];
      inputs[port].scaled = 0;
      scaledScript[port].clear();
      return status(opcode, Nxt::kStatusOk);
    }
    default: {
      Bytes out = unpublished(t, n);
      return out.empty() ? unmodelled(t, n) : out;
    }
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
    // The count runs on: a limit adds to the goal of the movement under way (the robot keeps
    // the goal), so a client can wait for "the count before plus the limit".
    out.tachoLimit = get(t, C::kTachoLimit);
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
  std::uint8_t type = static_cast<std::uint8_t>(get(t, C::kSensorType));
  std::uint8_t mode = static_cast<std::uint8_t>(get(t, C::kSensorMode));
  if (type != in.type || mode != in.mode) {
    in.changedAt = environment != nullptr ? environment->worldSeconds() : -1;
  }
  in.type = type;
  in.mode = mode;
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
  set(answer, R::kValid, in.valid && inputValid(in) ? 1 : 0);
  set(answer, R::kCalibrated, in.calibrated ? 1 : 0);
  set(answer, R::kSensorType, in.type);
  set(answer, R::kSensorMode, in.mode);
  set(answer, R::kRaw, in.raw);
  set(answer, R::kNormalized, in.normalized);
  set(answer, R::kScaled, static_cast<std::uint16_t>(scaled));
  // The firmware's calibrated field is a copy of the normalized value.
  set(answer, R::kCalibratedValue, in.normalized);
  return answer;
}

bool VirtualBrick::switchedOff() {
  if (!sleep.off()) {
    return false;
  }
  if (!offTold) {
    offTold = true;
    if (environment != nullptr) {
      environment->switchedOff();
    }
  }
  return true;
}

Bytes VirtualBrick::deviceInfo() {
  namespace R = Nxt::GetDeviceInfoReply;
  Bytes answer = reply(Nxt::kGetDeviceInfo, Nxt::kStatusOk, R::kLength);
  // A 15-character name fills the 15-byte field, with no NUL after it.
  std::memcpy(answer.data() + R::kName, name.data(),
              std::min(name.size(), static_cast<std::size_t>(Nxt::kDeviceNameBytes)));
  static_assert(R::kAddressBytes == 7, "the address field: 6 bytes and a 0");
  std::memcpy(answer.data() + R::kAddress, address.data(), address.size());  // then a 0
  set(answer, R::kSignalStrength, 0);
  set(answer, R::kFreeFlash, static_cast<std::uint32_t>(flash.freeBytes()));
  return answer;
}

Bytes VirtualBrick::playSoundFile(const std::uint8_t* t, std::size_t n) {
  if (n < 3 + Nxt::Files::kNameField) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::string file = Nxt::Files::getName(t + 3);
  if (flash.find(file) == nullptr) {
    return status(t[1], Nxt::kStatusOutOfRange);  // the firmware's answer to a missing file
  }
  soundFile = file;
  soundLoop = t[2] != 0;
  return status(t[1], Nxt::kStatusOk);
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
