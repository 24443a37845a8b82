// The layout of every reply telegram: its length and where each field sits, counted from the
// type byte 0x02 (see Field.h). The virtual brick writes replies from these, the class library
// and the link read them, the decoder names them.
#ifndef PROTOCOL_REPLIES_H
#define PROTOCOL_REPLIES_H

#include <cstddef>
#include <cstdint>

#include "protocol/Field.h"
#include "protocol/Nxt.h"

namespace Nxt {

// Every reply: 0x02, the opcode it answers, its status. A reply that carries nothing else (or
// one refused) is this long.
namespace Reply {
constexpr Field kType{0, 1};
constexpr Field kOpcode{1, 1};
constexpr Field kStatus{2, 1};
constexpr std::size_t kLength = 3;
}  // namespace Reply

namespace GetOutputStateReply {
constexpr Field kPort{3, 1};
constexpr Field kPower{4, 1};  // signed
constexpr Field kMode{5, 1};
constexpr Field kRegulation{6, 1};
constexpr Field kTurnRatio{7, 1};  // signed
constexpr Field kRunState{8, 1};
constexpr Field kTachoLimit{9, 4};
constexpr Field kTachoCount{13, 4};       // signed, since the last movement began
constexpr Field kBlockTachoCount{17, 4};  // signed, since the last relative reset
constexpr Field kRotationCount{21, 4};    // signed, since the last absolute reset
constexpr std::size_t kLength = 25;
}  // namespace GetOutputStateReply

namespace GetInputValuesReply {
constexpr Field kPort{3, 1};
constexpr Field kValid{4, 1};
constexpr Field kCalibrated{5, 1};
constexpr Field kSensorType{6, 1};
constexpr Field kSensorMode{7, 1};
constexpr Field kRaw{8, 2};
constexpr Field kNormalized{10, 2};
constexpr Field kScaled{12, 2};           // signed
constexpr Field kCalibratedValue{14, 2};  // signed
constexpr std::size_t kLength = 16;
}  // namespace GetInputValuesReply

namespace GetBatteryLevelReply {
constexpr Field kMillivolts{3, 2};
constexpr std::size_t kLength = 5;
}  // namespace GetBatteryLevelReply

namespace KeepAliveReply {
constexpr Field kSleepTime{3, 4};  // ms
constexpr std::size_t kLength = 7;
}  // namespace KeepAliveReply

namespace LsGetStatusReply {
constexpr Field kBytesReady{3, 1};
constexpr std::size_t kLength = 4;
}  // namespace LsGetStatusReply

namespace LsReadReply {
constexpr Field kBytesRead{3, 1};
constexpr std::size_t kData = 4;  // always 16 bytes, the unread ones 0
constexpr std::size_t kDataBytes = 16;
constexpr std::size_t kLength = kData + kDataBytes;
}  // namespace LsReadReply

namespace GetDeviceInfoReply {
constexpr std::size_t kName = 3;                            // kDeviceNameBytes, NUL-padded
constexpr std::size_t kAddress = kName + kDeviceNameBytes;  // Bluetooth address, then a 0
constexpr std::size_t kAddressBytes = 7;
constexpr Field kSignalStrength{kAddress + kAddressBytes, 4};
constexpr Field kFreeFlash{kSignalStrength.end(), 4};
constexpr std::size_t kLength = kFreeFlash.end();
}  // namespace GetDeviceInfoReply

// The GETDEVICEINFO reply's length without the leading 0x02, as the link hands it to callers.
const int kReplyGetDeviceInfo = static_cast<int>(GetDeviceInfoReply::kLength - kFromOpcode);
static_assert(kReplyGetDeviceInfo == 32, "the GETDEVICEINFO reply is 33 bytes");

// How long each published command's reply is, 0x02 first, so that a refusal can keep the
// layout a client reads: a reader that takes a field at a fixed offset must find it there,
// zero, whatever the status says. Replies whose data varies (READ, READ IO MAP, POLL) give
// their fixed part. The replies without a namespace above: GETCURRENTPROGRAMNAME a 20-byte
// name; MESSAGEREAD local inbox, size and 59 bytes; OPEN READ, OPEN WRITE LINEAR/DATA, OPEN
// APPEND DATA handle and a 4-byte size; OPEN WRITE, CLOSE, CLOSE MODULE HANDLE the handle;
// READ, WRITE handle and a 2-byte count; DELETE the 20-byte name; FIND FIRST/NEXT handle,
// name and size; GET FIRMWARE VERSION and BOOT 4 bytes; FIND FIRST/NEXT MODULE handle, name,
// id, size and IO map size; READ/WRITE IO MAP module id and count; POLL (COMMAND LENGTH)
// buffer and length.
// 0 for an opcode the published protocol does not have.
inline std::size_t replyLength(bool system, std::uint8_t opcode) {
  if (!system) {
    switch (opcode) {
      case kGetOutputState:
        return GetOutputStateReply::kLength;
      case kGetInputValues:
        return GetInputValuesReply::kLength;
      case kGetBatteryLevel:
        return GetBatteryLevelReply::kLength;
      case kKeepAlive:
        return KeepAliveReply::kLength;
      case kLsGetStatus:
        return LsGetStatusReply::kLength;
      case kLsRead:
        return LsReadReply::kLength;
      case kGetCurrentProgramName:
        return 23;
      case kMessageRead:
        return 64;
      case kStartProgram:
      case kStopProgram:
      case kPlaySoundFile:
      case kPlayTone:
      case kSetOutputState:
      case kSetInputMode:
      case kResetInputScaledValue:
      case kMessageWrite:
      case kResetMotorPosition:
      case kStopSoundPlayback:
      case kLsWrite:
        return 3;
      default:
        return 0;
    }
  }
  switch (opcode) {
    case kOpenRead:
    case kOpenWriteLinear:
    case kOpenWriteData:
    case kOpenAppendData:
      return 8;
    case kOpenWrite:
    case kClose:
    case kCloseModuleHandle:
      return 4;
    case kRead:
    case kWrite:
      return 6;
    case kDelete:
      return 23;
    case kFindFirst:
    case kFindNext:
      return 28;
    case kGetFirmwareVersion:
    case kBoot:
      return 7;
    case kFindFirstModule:
    case kFindNextModule:
      return 34;
    case kReadIoMap:
    case kWriteIoMap:
      return 9;
    case kSetBrickName:
    case kDeleteUserFlash:
    case kBluetoothFactoryReset:
      return 3;
    case kGetDeviceInfo:
      return GetDeviceInfoReply::kLength;
    case kPollCommandLength:
    case kPoll:
      return 5;
    default:
      return 0;
  }
}

}  // namespace Nxt

#endif
