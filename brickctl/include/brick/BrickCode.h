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

namespace Brick {
namespace Lib {

enum BrickCode : long {
  kBrickOk = 0,
  kBrickNotAttached = -1101,   // the object has no link (default-constructed)
  kBrickBadPort = -1102,       // a port number outside 0-2 (outputs) or 0-3 (inputs)
  kBrickBadInbox = -1103,      // a mailbox number outside 0-9 (or 10-19 for a remote inbox)
  kBrickBadFileName = -1104,   // not a 15.3 file name (or pattern)
  kBrickTextTooLong = -1105,   // a message over 58 bytes
  kBrickBadValue = -1106,      // power, turn ratio or count out of range
  kBrickFileTooLarge = -1107,  // a file the brick's 32-bit size field cannot describe
  kBrickBadReply = -1108,      // a reply too short for its layout
  kBrickWaitTimeout = -1109,   // a bounded wait (motor move, I2C transaction) ran out
  kBrickStatus = 0x1000,       // + the brick's status byte
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

// A short text for any code above or any link code, e.g. "file not found"; never null.
BRICKCTL_API const char* brickCodeText(long code);

}  // namespace Lib
}  // namespace Brick

#endif
