// The codes the newer operations (Files, Mailbox, Program, BrickInfo, Output, SyncDrive, Input,
// I2cDevice, KeepAlive) return and record in the link's status record.
//
// Every such operation returns a long: 0 when it was done, otherwise one of three kinds a host
// can tell apart:
//  - a link code (Comm::LinkCode, -1001 to -1010): no link, time-out, I/O error and so on;
//  - an argument refused before anything was sent (-1101 to -1199, below): nothing reached the
//    brick;
//  - the brick's own status byte S, as kBrickStatus + S (0x1000 + S, e.g. 0x1087 "file not
//    found"): the brick answered and refused. The link itself is fine, so these are recorded
//    as warnings, and a later link failure still takes their place in the status record.
#ifndef BRICK_BRICKCODE_H
#define BRICK_BRICKCODE_H

#include <cstdint>

#include "brick/Export.h"
#include "comm/LinkCode.h"

namespace Brick {
namespace Lib {

// The numbers and their texts are the link's (comm/LinkCode.h), as the codes share its status
// record.
enum BrickCode : long {
  kBrickOk = 0,
  kBrickNotAttached = Comm::kRecordedNotAttached,    // the object has no link
  kBrickBadPort = Comm::kRecordedBadPort,            // a port outside 0-2 / 0-3
  kBrickBadInbox = Comm::kRecordedBadInbox,          // a mailbox outside 0-9 (10-19 remote)
  kBrickBadFileName = Comm::kRecordedBadFileName,    // a file name over 19 characters
  kBrickTextTooLong = Comm::kRecordedTextTooLong,    // a message over 58 bytes
  kBrickBadValue = Comm::kRecordedBadValue,          // power, turn ratio or count out of range
  kBrickFileTooLarge = Comm::kRecordedFileTooLarge,  // over what a 32-bit size describes
  kBrickBadReply = Comm::kRecordedBadReply,          // a reply too short for its layout
  kBrickWaitTimeout = Comm::kRecordedWaitTimeout,    // a bounded wait ran out
  kBrickNoRoom = Comm::kRecordedNoRoom,              // a file over the brick's free flash
  kBrickStopped = Comm::kRecordedStopped,            // the host stopped a transfer
  kBrickStatus = Comm::kRecordedBrickStatus,         // + the brick's status byte
};

// The code for a status byte the brick answered with.
inline long brickStatusCode(std::uint8_t status) {
  return kBrickStatus + status;
}
// True when `code` carries a brick status byte; brickStatusOf gives it back.
inline bool isBrickStatus(long code) {
  return code > kBrickStatus && code <= kBrickStatus + 0xFF;
}
inline std::uint8_t brickStatusOf(long code) {
  return static_cast<std::uint8_t>(code - kBrickStatus);
}

// A short text for any code above or any link code, e.g. "file not found"; never null. The same
// as Comm::linkCodeText.
BRICKCTL_API const char* brickCodeText(long code);

}  // namespace Lib
}  // namespace Brick

#endif
