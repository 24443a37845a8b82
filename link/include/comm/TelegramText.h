// Telegrams as a person reads them: hex, and decoded with the protocol's own names, e.g.
// "SETOUTPUTSTATE port=1 power=75 mode=MOTORON|REGULATED regulation=MOTOR_SPEED turn=0
// run=RUNNING limit=0". Header-only, so that traces in the virtual brick and in tools share
// one decoder without linking the link library.
#ifndef COMM_TELEGRAMTEXT_H
#define COMM_TELEGRAMTEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "comm/Nxt.h"

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
// sequence in it must not forge or hide a trace line. Control characters and the backslash are
// written as C escapes; the name ends at its first NUL.
inline std::string nameText(const std::uint8_t* bytes, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n && bytes[i] != 0; ++i) {
    unsigned char c = bytes[i];
    if (c == '\\') {
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
  switch (status) {
    case 0x00:
      return "SUCCESS";
    case 0x20:
      return "PENDING";
    case 0x40:
      return "MAILBOX_EMPTY";
    case 0xBD:
      return "REQUEST_FAILED";
    case 0xBE:
      return "UNKNOWN_OPCODE";
    case 0xBF:
      return "INSANE_PACKET";
    case 0xC0:
      return "OUT_OF_RANGE";
    case 0xDD:
      return "BUS_ERROR";
    case 0xDE:
      return "NO_FREE_MEMORY";
    case 0xDF:
      return "BAD_CONNECTION";
    case 0xE0:
      return "CHANNEL_BUSY_OR_UNCONFIGURED";
    case 0xEC:
      return "NO_PROGRAM";
    case 0xED:
      return "ILLEGAL_SIZE";
    case 0xEE:
      return "ILLEGAL_MAILBOX";
    case 0xEF:
      return "BAD_FIELD";
    case 0xF0:
      return "BAD_PORT";
    case 0xFB:
      return "NO_MEMORY";
    case 0xFF:
      return "BAD_ARGUMENTS";
    case kStatusNoSpace:
      return "NO_SPACE";
    case kStatusFileNotFound:
      return "FILE_NOT_FOUND";
    case kStatusHandleClosed:
      return "HANDLE_ALREADY_CLOSED";
    case kStatusModuleNotFound:
      return "MODULE_NOT_FOUND";
    case kStatusIllegalHandle:
      return "ILLEGAL_HANDLE";
    default:
      return "UNKNOWN_STATUS";
  }
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

inline std::uint32_t le(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    v = v << 8 | p[i];
  }
  return v;
}

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

}  // namespace detail

// A command telegram, type byte first, decoded. Fields the telegram is too short to hold are
// left out.
inline std::string describeCommand(const std::uint8_t* t, std::size_t n) {
  using detail::field;
  using detail::le;
  if (n < 2) {
    return "(empty telegram)";
  }
  std::string out = opcodeName(t[0], t[1]);
  if ((t[0] & 0x80) != 0) {
    out += " (no reply)";
  }
  const std::uint8_t* a = t + 2;
  std::size_t args = n - 2;
  if ((t[0] & 0x7F) == kSystemCommand) {
    if (t[1] == kSetBrickName && args > 0) {
      field(out, "name", "\"" + nameText(a, args) + "\"");
    }
    return out;
  }
  switch (t[1]) {
    case kPlayTone:
      if (args >= 4) {
        field(out, "frequency", le(a, 2));
        field(out, "duration", le(a + 2, 2));
      }
      break;
    case kSetOutputState:
      if (args >= 10) {
        field(out, "port", a[0]);
        field(out, "power", static_cast<std::int8_t>(a[1]));
        field(out, "mode", modeText(a[2]));
        field(out, "regulation", regulationName(a[3]));
        field(out, "turn", static_cast<std::int8_t>(a[4]));
        field(out, "run", runStateName(a[5]));
        field(out, "limit", le(a + 6, 4));
      }
      break;
    case kSetInputMode:
      if (args >= 3) {
        field(out, "port", a[0]);
        field(out, "type", sensorTypeName(a[1]));
        field(out, "mode", sensorModeName(a[2]));
      }
      break;
    case kResetMotorPosition:
      if (args >= 1) {
        field(out, "port", a[0]);
      }
      if (args >= 2) {
        field(out, "relative", a[1] != 0 ? "TRUE" : "FALSE");
      }
      break;
    case kGetOutputState:
    case kGetInputValues:
    case kResetInputScaledValue:
    case kLsGetStatus:
    case kLsRead:
      if (args >= 1) {
        field(out, "port", a[0]);
      }
      break;
    case kLsWrite:
      if (args >= 3) {
        field(out, "port", a[0]);
        field(out, "tx", a[1]);
        field(out, "rx", a[2]);
        field(out, "data", hexText(a + 3, args - 3));
      }
      break;
    default:
      break;
  }
  return out;
}

// A reply telegram, 0x02 first, decoded with what it answers.
inline std::string describeReply(const std::uint8_t* r, std::size_t n) {
  using detail::field;
  using detail::le;
  if (n < 3 || r[0] != kReply) {
    return "(not a reply)";
  }
  // System command opcodes all have the high bit set, direct ones none.
  bool system = r[1] >= 0x80;
  std::string out = std::string("reply ") +
                    opcodeName(system ? kSystemCommand : kDirectCommand, r[1]) + " " +
                    statusName(r[2]);
  const std::uint8_t* a = r + 3;
  std::size_t args = n - 3;
  switch (system ? 0 : r[1]) {
    case kGetBatteryLevel:
      if (args >= 2) {
        field(out, "millivolts", le(a, 2));
      }
      break;
    case kGetOutputState:
      if (args >= 22) {
        field(out, "port", a[0]);
        field(out, "power", static_cast<std::int8_t>(a[1]));
        field(out, "mode", modeText(a[2]));
        field(out, "regulation", regulationName(a[3]));
        field(out, "turn", static_cast<std::int8_t>(a[4]));
        field(out, "run", runStateName(a[5]));
        field(out, "limit", le(a + 6, 4));
        field(out, "tacho", static_cast<std::int32_t>(le(a + 10, 4)));
        field(out, "block", static_cast<std::int32_t>(le(a + 14, 4)));
        field(out, "rotation", static_cast<std::int32_t>(le(a + 18, 4)));
      }
      break;
    case kGetInputValues:
      if (args >= 13) {
        field(out, "port", a[0]);
        field(out, "valid", a[1]);
        field(out, "type", sensorTypeName(a[3]));
        field(out, "mode", sensorModeName(a[4]));
        field(out, "raw", le(a + 5, 2));
        field(out, "normalized", le(a + 7, 2));
        field(out, "scaled", static_cast<std::int16_t>(le(a + 9, 2)));
      }
      break;
    case kLsGetStatus:
      if (args >= 1) {
        field(out, "ready", a[0]);
      }
      break;
    case kLsRead:
      if (args >= 1) {
        field(out, "count", a[0]);
        std::size_t count = a[0] < args - 1 ? a[0] : args - 1;
        field(out, "data", hexText(a + 1, count));
      }
      break;
    case kKeepAlive:
      if (args >= 4) {
        field(out, "sleep", le(a, 4));
      }
      break;
    default:
      break;
  }
  if (system && r[1] == kGetFirmwareVersion && args >= 4) {
    field(out, "protocol", std::to_string(a[1]) + "." + std::to_string(a[0]));
    field(out, "firmware", std::to_string(a[3]) + "." + std::to_string(a[2]));
  }
  if (system && r[1] == kGetDeviceInfo && args >= 15) {
    field(out, "name", "\"" + nameText(a, 15) + "\"");
  }
  return out;
}

}  // namespace Nxt

#endif
