// How long each published command's reply is, 0x02 first, so that a refusal can keep the
// layout a client reads: a reader that takes a field at a fixed offset must find it there, zero,
// whatever the status says. Replies whose data varies (READ, READ IO MAP, POLL) give their
// fixed part.
#ifndef COMM_REPLYLAYOUT_H
#define COMM_REPLYLAYOUT_H

#include <cstddef>
#include <cstdint>

#include "comm/Nxt.h"

namespace Nxt {

// 0 for an opcode the published protocol does not have.
inline std::size_t replyLength(bool system, std::uint8_t opcode) {
  if (!system) {
    switch (opcode) {
      case kGetOutputState:
        return 25;
      case kGetInputValues:
        return 16;
      case kGetBatteryLevel:
        return 5;
      case kKeepAlive:
        return 7;
      case kLsGetStatus:
        return 4;
      case kLsRead:
        return 20;
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
      return 33;
    case kPollCommandLength:
    case kPoll:
      return 5;
    default:
      return 0;
  }
}

}  // namespace Nxt

#endif
