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

// A short text for a code, e.g. "no reply within the time limit"; never null.
COMM_API const char* linkCodeText(long code);

}  // namespace Comm

#endif
