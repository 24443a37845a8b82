// Full reply layouts of the brick's state queries (outputs, inputs, keep-alive, firmware and
// device info), as offsets from the echoed opcode, the way the link hands replies over.
#ifndef PROTOCOL_STATETELEGRAMS_H
#define PROTOCOL_STATETELEGRAMS_H

#include <cstddef>

namespace Nxt {
namespace State {

// GETOUTPUTSTATE: port, power (s8), mode, regulation, turn ratio (s8), run state, tacho limit
// (u32), tacho count, block tacho count, rotation count (s32 each).
const std::size_t kOutPort = 2;
const std::size_t kOutPower = 3;
const std::size_t kOutMode = 4;
const std::size_t kOutRegulation = 5;
const std::size_t kOutTurnRatio = 6;
const std::size_t kOutRunState = 7;
const std::size_t kOutTachoLimit = 8;
const std::size_t kOutTachoCount = 12;
const std::size_t kOutBlockTachoCount = 16;
const std::size_t kOutRotationCount = 20;
const std::size_t kOutLength = 24;

// GETINPUTVALUES: port, valid, calibrated, type, mode, raw (u16), normalised (u16), scaled
// (s16), calibrated value (s16).
const std::size_t kInPort = 2;
const std::size_t kInValid = 3;
const std::size_t kInCalibrated = 4;
const std::size_t kInType = 5;
const std::size_t kInMode = 6;
const std::size_t kInRaw = 7;
const std::size_t kInNormalized = 9;
const std::size_t kInScaled = 11;
const std::size_t kInCalibratedValue = 13;
const std::size_t kInLength = 15;

// KEEPALIVE: the sleep time in ms (u32).
const std::size_t kKeepAliveSleep = 2;
const std::size_t kKeepAliveLength = 6;

// GET FIRMWARE VERSION: protocol minor, major, firmware minor, major.
const std::size_t kFirmwareLength = 6;

// GET DEVICE INFO: name (15), Bluetooth address (6 + a pad byte), signal strength (u32), free
// flash (u32).
const std::size_t kInfoName = 2;
const std::size_t kInfoAddress = 17;
const std::size_t kInfoSignal = 24;
const std::size_t kInfoFreeFlash = 28;
const std::size_t kInfoLength = 32;

// LSGETSTATUS: bytes ready; LSREAD: bytes read, then 16 data bytes.
const std::size_t kLsReady = 2;
const std::size_t kLsReadCount = 2;
const std::size_t kLsReadData = 3;
const std::size_t kLsReadLength = 19;
const std::size_t kLsMaxData = 16;

}  // namespace State
}  // namespace Nxt

#endif
