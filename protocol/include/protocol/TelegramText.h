// Telegrams as a person reads them: hex, and decoded with the protocol's own names, e.g.
// "SETOUTPUTSTATE port=1 power=75 mode=MOTORON|REGULATED regulation=MOTOR_SPEED turn=0
// run=RUNNING limit=0". Part of the protocol, so that traces in the virtual brick, the link and
// the tool share one decoder.
#ifndef PROTOCOL_TELEGRAMTEXT_H
#define PROTOCOL_TELEGRAMTEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "protocol/BrickStatus.h"
#include "protocol/Commands.h"
#include "protocol/ModuleTelegrams.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "protocol/Utf8.h"

namespace Nxt {

inline std::string hexText(const std::uint8_t* bytes, std::size_t n) {
  std::string out;
  char two[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += two;
  }
  return out;
}

// A brick's name as one line of text: it may hold any byte, and a newline or a terminal's escape
// sequence in it must not forge or hide a trace line. Control characters (C0 and C1, also as raw
// bytes such as an 8-bit CSI 0x9B), line separators, bytes that are not UTF-8 and the backslash
// are written as C escapes; the name ends at its first NUL.
inline std::string nameText(const std::uint8_t* bytes, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n && bytes[i] != 0; ++i) {
    unsigned char c = bytes[i];
    if (c >= 0x80) {
      std::uint32_t code = 0;
      std::size_t length = utf8Sequence(bytes, n, i, code);
      char escaped[12];
      if (length == 0) {
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
      } else if (unsafeCharacter(code)) {
        std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(code));
        out += escaped;
        i += length - 1;
      } else {
        out.append(reinterpret_cast<const char*>(bytes + i), length);
        i += length - 1;
      }
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Text from outside (a command line's word) as part of one message line: escaped as names are,
// and cut after `limit` bytes so that a huge argument does not flood the terminal.
inline std::string shortText(const std::string& text, std::size_t limit = 80) {
  bool cut = text.size() > limit;
  std::string out =
      nameText(reinterpret_cast<const std::uint8_t*>(text.data()), cut ? limit : text.size());
  return cut ? out + "..." : out;
}

namespace detail {

struct OpcodeName {
  std::uint8_t opcode;
  const char* name;
};

// Every published command, by the protocol's own names.
const OpcodeName kDirectNames[] = {
    {kStartProgram, "STARTPROGRAM"},
    {kStopProgram, "STOPPROGRAM"},
    {kPlaySoundFile, "PLAYSOUNDFILE"},
    {kPlayTone, "PLAYTONE"},
    {kSetOutputState, "SETOUTPUTSTATE"},
    {kSetInputMode, "SETINPUTMODE"},
    {kGetOutputState, "GETOUTPUTSTATE"},
    {kGetInputValues, "GETINPUTVALUES"},
    {kResetInputScaledValue, "RESETINPUTSCALEDVALUE"},
    {kMessageWrite, "MESSAGEWRITE"},
    {kResetMotorPosition, "RESETMOTORPOSITION"},
    {kGetBatteryLevel, "GETBATTERYLEVEL"},
    {kStopSoundPlayback, "STOPSOUNDPLAYBACK"},
    {kKeepAlive, "KEEPALIVE"},
    {kLsGetStatus, "LSGETSTATUS"},
    {kLsWrite, "LSWRITE"},
    {kLsRead, "LSREAD"},
    {kGetCurrentProgramName, "GETCURRENTPROGRAMNAME"},
    {kMessageRead, "MESSAGEREAD"},
};
const OpcodeName kSystemNames[] = {
    {kOpenRead, "OPENREAD"},
    {kOpenWrite, "OPENWRITE"},
    {kRead, "READ"},
    {kWrite, "WRITE"},
    {kClose, "CLOSE"},
    {kDelete, "DELETE"},
    {kFindFirst, "FINDFIRST"},
    {kFindNext, "FINDNEXT"},
    {kGetFirmwareVersion, "GETFIRMWAREVERSION"},
    {kOpenWriteLinear, "OPENWRITELINEAR"},
    {kOpenWriteData, "OPENWRITEDATA"},
    {kOpenAppendData, "OPENAPPENDDATA"},
    {kFindFirstModule, "FINDFIRSTMODULE"},
    {kFindNextModule, "FINDNEXTMODULE"},
    {kCloseModuleHandle, "CLOSEMODULEHANDLE"},
    {kReadIoMap, "READIOMAP"},
    {kWriteIoMap, "WRITEIOMAP"},
    {kBoot, "BOOT"},
    {kSetBrickName, "SETBRICKNAME"},
    {kGetDeviceInfo, "GETDEVICEINFO"},
    {kDeleteUserFlash, "DELETEUSERFLASH"},
    {kPollCommandLength, "POLLCOMMANDLENGTH"},
    {kPoll, "POLL"},
    {kBluetoothFactoryReset, "BLUETOOTHFACTORYRESET"},
};

}  // namespace detail

// The command's name; an opcode the protocol does not have shows as DIRECTCOMMAND or
// SYSTEMCOMMAND.
inline const char* opcodeName(std::uint8_t type, std::uint8_t opcode) {
  if ((type & 0x7F) == kSystemCommand) {
    for (const detail::OpcodeName& row : detail::kSystemNames) {
      if (row.opcode == opcode) {
        return row.name;
      }
    }
    return "SYSTEMCOMMAND";
  }
  for (const detail::OpcodeName& row : detail::kDirectNames) {
    if (row.opcode == opcode) {
      return row.name;
    }
  }
  return "DIRECTCOMMAND";
}

inline const char* statusName(std::uint8_t status) {
  const BrickStatus* row = findBrickStatus(status);
  return row != nullptr ? row->traceName : "UNKNOWN_STATUS";
}

inline std::string modeText(std::uint8_t mode) {
  if (mode == 0) {
    return "0";
  }
  std::string out;
  auto add = [&](std::uint8_t bit, const char* name) {
    if ((mode & bit) != 0) {
      out += out.empty() ? name : std::string("|") + name;
    }
  };
  add(kModeMotorOn, "MOTORON");
  add(kModeBrake, "BRAKE");
  add(kModeRegulated, "REGULATED");
  if ((mode & ~0x07) != 0) {
    char rest[8];
    std::snprintf(rest, sizeof rest, "0x%02X", mode & ~0x07);
    out += out.empty() ? rest : std::string("|") + rest;
  }
  return out;
}

inline const char* regulationName(std::uint8_t regulation) {
  switch (regulation) {
    case kRegulationIdle:
      return "IDLE";
    case kRegulationMotorSpeed:
      return "MOTOR_SPEED";
    case kRegulationMotorSync:
      return "MOTOR_SYNC";
    default:
      return "?";
  }
}

inline const char* runStateName(std::uint8_t run) {
  switch (run) {
    case kRunStateIdle:
      return "IDLE";
    case kRunStateRampUp:
      return "RAMPUP";
    case kRunStateRunning:
      return "RUNNING";
    case kRunStateRampDown:
      return "RAMPDOWN";
    default:
      return "?";
  }
}

inline const char* sensorTypeName(std::uint8_t type) {
  switch (type) {
    case kNoSensor:
      return "NO_SENSOR";
    case kSwitch:
      return "SWITCH";
    case kLightActive:
      return "LIGHT_ACTIVE";
    case kLightInactive:
      return "LIGHT_INACTIVE";
    case kSoundDb:
      return "SOUND_DB";
    case kSoundDba:
      return "SOUND_DBA";
    case kLowSpeed:
      return "LOWSPEED";
    case kLowSpeed9V:
      return "LOWSPEED_9V";
    case kColorFull:
      return "COLORFULL";
    case kColorRed:
      return "COLORRED";
    case kColorGreen:
      return "COLORGREEN";
    case kColorBlue:
      return "COLORBLUE";
    case kColorNone:
      return "COLORNONE";
    default:
      return "?";
  }
}

inline const char* sensorModeName(std::uint8_t mode) {
  switch (mode) {
    case kRawMode:
      return "RAWMODE";
    case kBooleanMode:
      return "BOOLEANMODE";
    case kPctFullScaleMode:
      return "PCTFULLSCALEMODE";
    default:
      return "?";
  }
}

namespace detail {

inline void field(std::string& out, const char* name, long long value) {
  char text[64];
  std::snprintf(text, sizeof text, " %s=%lld", name, value);
  out += text;
}

inline void field(std::string& out, const char* name, const std::string& value) {
  out += " ";
  out += name;
  out += "=";
  out += value;
}

inline std::string idText(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

// The module commands' fields: the pattern searched for, and a map's module, offset and count.
inline void moduleFields(std::string& out, const std::uint8_t* t, std::size_t n, bool reply) {
  namespace M = Modules;
  std::uint8_t opcode = t[1];
  if (opcode == M::kReadIoMap || opcode == M::kWriteIoMap) {
    if (!reply && n >= M::IoMapCommand::kLength) {
      field(out, "module", idText(get(t, M::IoMapCommand::kId)));
      field(out, "offset", get(t, M::IoMapCommand::kOffset));
      field(out, "count", get(t, M::IoMapCommand::kCount));
    } else if (reply && n >= M::IoMapReply::kLength) {
      field(out, "module", idText(get(t, M::IoMapReply::kId)));
      field(out, "count", get(t, M::IoMapReply::kCount));
    }
  } else if (opcode == M::kFindFirstModule && !reply && n >= M::FindFirstCommand::kLength) {
    field(out, "pattern",
          "\"" + nameText(t + M::FindFirstCommand::kPattern, M::FindFirstCommand::kPatternBytes) +
              "\"");
  } else if ((opcode == M::kFindFirstModule || opcode == M::kFindNextModule) && reply &&
             n >= M::FindReply::kLength && t[2] == kStatusOk) {
    field(out, "name", "\"" + nameText(t + M::FindReply::kName, M::FindReply::kNameBytes) + "\"");
    field(out, "module", idText(get(t, M::FindReply::kId)));
    field(out, "size", get(t, M::FindReply::kIoMapSize));
  }
}

}  // namespace detail

// A command telegram, type byte first, decoded. Fields the telegram is too short to hold are
// left out.
inline std::string describeCommand(const std::uint8_t* t, std::size_t n) {
  using detail::field;
  if (n < Command::kHeaderLength) {
    return "(empty telegram)";
  }
  std::string out = opcodeName(t[0], t[1]);
  if ((t[0] & 0x80) != 0) {
    out += " (no reply)";
  }
  if ((t[0] & 0x7F) == kSystemCommand) {
    if (t[1] == kSetBrickName && n > SetBrickNameCommand::kName) {
      const std::uint8_t* name = t + SetBrickNameCommand::kName;
      field(out, "name", "\"" + nameText(name, n - SetBrickNameCommand::kName) + "\"");
    }
    detail::moduleFields(out, t, n, false);
    return out;
  }
  switch (t[1]) {
    case kPlayTone:
      if (n >= PlayToneCommand::kLength) {
        field(out, "frequency", get(t, PlayToneCommand::kFrequency));
        field(out, "duration", get(t, PlayToneCommand::kDuration));
      }
      break;
    case kSetOutputState: {
      namespace C = SetOutputStateCommand;
      if (n >= C::kLength) {
        field(out, "port", get(t, C::kPort));
        field(out, "power", static_cast<std::int8_t>(get(t, C::kPower)));
        field(out, "mode", modeText(static_cast<std::uint8_t>(get(t, C::kMode))));
        field(out, "regulation", regulationName(static_cast<std::uint8_t>(get(t, C::kRegulation))));
        field(out, "turn", static_cast<std::int8_t>(get(t, C::kTurnRatio)));
        field(out, "run", runStateName(static_cast<std::uint8_t>(get(t, C::kRunState))));
        field(out, "limit", get(t, C::kTachoLimit));
      }
      break;
    }
    case kSetInputMode: {
      namespace C = SetInputModeCommand;
      if (n >= C::kLength) {
        field(out, "port", get(t, C::kPort));
        field(out, "type", sensorTypeName(static_cast<std::uint8_t>(get(t, C::kSensorType))));
        field(out, "mode", sensorModeName(static_cast<std::uint8_t>(get(t, C::kSensorMode))));
      }
      break;
    }
    case kResetMotorPosition: {
      namespace C = ResetMotorPositionCommand;
      if (n >= C::kPort.end()) {
        field(out, "port", get(t, C::kPort));
      }
      if (n >= C::kRelative.end()) {
        field(out, "relative", get(t, C::kRelative) != 0 ? "TRUE" : "FALSE");
      }
      break;
    }
    case kGetOutputState:
    case kGetInputValues:
    case kResetInputScaledValue:
    case kLsGetStatus:
    case kLsRead:
      if (n >= PortCommand::kLength) {
        field(out, "port", get(t, PortCommand::kPort));
      }
      break;
    case kLsWrite: {
      namespace C = LsWriteCommand;
      if (n >= C::kHeaderLength) {
        field(out, "port", get(t, C::kPort));
        field(out, "tx", get(t, C::kTxLength));
        field(out, "rx", get(t, C::kRxLength));
        field(out, "data", hexText(t + C::kData, n - C::kData));
      }
      break;
    }
    default:
      break;
  }
  return out;
}

// A reply telegram, 0x02 first, decoded with what it answers.
inline std::string describeReply(const std::uint8_t* r, std::size_t n) {
  using detail::field;
  if (n < Reply::kLength || r[0] != kReply) {
    return "(not a reply)";
  }
  std::uint8_t opcode = r[Reply::kOpcode.offset];
  // System command opcodes all have the high bit set, direct ones none.
  bool system = opcode >= 0x80;
  std::string out = std::string("reply ") +
                    opcodeName(system ? kSystemCommand : kDirectCommand, opcode) + " " +
                    statusName(r[Reply::kStatus.offset]);
  switch (system ? 0 : opcode) {
    case kGetBatteryLevel:
      if (n >= GetBatteryLevelReply::kLength) {
        field(out, "millivolts", get(r, GetBatteryLevelReply::kMillivolts));
      }
      break;
    case kGetOutputState: {
      namespace R = GetOutputStateReply;
      if (n >= R::kLength) {
        field(out, "port", get(r, R::kPort));
        field(out, "power", static_cast<std::int8_t>(get(r, R::kPower)));
        field(out, "mode", modeText(static_cast<std::uint8_t>(get(r, R::kMode))));
        field(out, "regulation", regulationName(static_cast<std::uint8_t>(get(r, R::kRegulation))));
        field(out, "turn", static_cast<std::int8_t>(get(r, R::kTurnRatio)));
        field(out, "run", runStateName(static_cast<std::uint8_t>(get(r, R::kRunState))));
        field(out, "limit", get(r, R::kTachoLimit));
        field(out, "tacho", static_cast<std::int32_t>(get(r, R::kTachoCount)));
        field(out, "block", static_cast<std::int32_t>(get(r, R::kBlockTachoCount)));
        field(out, "rotation", static_cast<std::int32_t>(get(r, R::kRotationCount)));
      }
      break;
    }
    case kGetInputValues: {
      namespace R = GetInputValuesReply;
      if (n >= R::kLength) {
        field(out, "port", get(r, R::kPort));
        field(out, "valid", get(r, R::kValid));
        field(out, "type", sensorTypeName(static_cast<std::uint8_t>(get(r, R::kSensorType))));
        field(out, "mode", sensorModeName(static_cast<std::uint8_t>(get(r, R::kSensorMode))));
        field(out, "raw", get(r, R::kRaw));
        field(out, "normalized", get(r, R::kNormalized));
        field(out, "scaled", static_cast<std::int16_t>(get(r, R::kScaled)));
      }
      break;
    }
    case kLsGetStatus:
      if (n >= LsGetStatusReply::kLength) {
        field(out, "ready", get(r, LsGetStatusReply::kBytesReady));
      }
      break;
    case kLsRead: {
      namespace R = LsReadReply;
      if (n >= R::kBytesRead.end()) {
        std::size_t read = get(r, R::kBytesRead);
        std::size_t there = n - R::kData;
        field(out, "count", static_cast<long long>(read));
        field(out, "data", hexText(r + R::kData, read < there ? read : there));
      }
      break;
    }
    case kKeepAlive:
      if (n >= KeepAliveReply::kLength) {
        field(out, "sleep", get(r, KeepAliveReply::kSleepTime));
      }
      break;
    default:
      break;
  }
  if (system) {
    detail::moduleFields(out, r, n, true);
  }
  if (system && opcode == kGetFirmwareVersion && n >= 7) {
    // Minor number first, protocol before firmware.
    field(out, "protocol", std::to_string(r[4]) + "." + std::to_string(r[3]));
    field(out, "firmware", std::to_string(r[6]) + "." + std::to_string(r[5]));
  }
  if (system && opcode == kGetDeviceInfo && n >= GetDeviceInfoReply::kName + kDeviceNameBytes) {
    field(out, "name", "\"" + nameText(r + GetDeviceInfoReply::kName, kDeviceNameBytes) + "\"");
  }
  return out;
}

}  // namespace Nxt

#endif
