// The codes the link records in its status record, and their meaning.
#ifndef COMM_LINKCODE_H
#define COMM_LINKCODE_H

#include "comm/Export.h"
#include "comm/TimeLimits.h"  // kReplyTimeoutMs, once declared here

namespace Comm {

// Negative codes are fatal to the exchange that recorded them.
enum LinkCode : long {
  kLinkOk = 0,
  kLinkNotOpen = -1001,       // a command was given to a link that is not open
  kLinkTimeout = -1002,       // no (complete) reply within the time limit
  kLinkIoError = -1003,       // the operating system reported an error on the link
  kLinkBadFrame = -1004,      // a length prefix of 0 or beyond a telegram: the stream was resynced
  kLinkBadArgument = -1005,   // a command that does not fit in one telegram
  kLinkClosedByPeer = -1006,  // the brick went away (end of file, device unplugged)
  kLinkNoDevice = -1007,      // nothing answered at the place given
  kLinkAccessDenied = -1008,  // the device exists but this user may not open it
  kLinkBusy = -1009,          // the device is claimed by another program
  kLinkBadReply = -1010,      // the brick answered with a status other than success
  kLinkShortReply = -1011,    // a reply shorter than its command's layout
};

// Codes the class library records in the same status record, which brick/BrickCode.h gives its
// hosts under its own names: an argument refused before anything was sent, a wait on the brick
// that ran out, and the brick's own status byte S as kRecordedBrickStatus + S (a refusal: the
// link itself is fine, so these count as warnings).
enum RecordedCode : long {
  kRecordedNotAttached = -1101,   // the object has no link (default-constructed)
  kRecordedBadPort = -1102,       // a port number outside 0-2 (outputs) or 0-3 (inputs)
  kRecordedBadInbox = -1103,      // a mailbox number outside 0-9 (or 10-19 for a remote inbox)
  kRecordedBadFileName = -1104,   // a file name (or pattern) the brick refuses: over 19 characters
  kRecordedTextTooLong = -1105,   // a message over 58 bytes
  kRecordedBadValue = -1106,      // power, turn ratio or count out of range
  kRecordedFileTooLarge = -1107,  // a file the brick's 32-bit size field cannot describe
  kRecordedBadReply = -1108,      // a reply too short for its layout
  kRecordedWaitTimeout = -1109,   // a bounded wait (motor move, I2C transaction) ran out
  kRecordedNoRoom = -1110,        // a file larger than the brick's free flash: not sent
  kRecordedStopped = -1111,       // the host stopped a transfer (interrupted, source failed)
  kRecordedBrickStatus = 0x1000,  // + the brick's status byte
};

// A short text for any code a status record can hold, e.g. "no reply within the time limit" or
// "file not found"; never null.
COMM_API const char* linkCodeText(long code);

}  // namespace Comm

#endif
