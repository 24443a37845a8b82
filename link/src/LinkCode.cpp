#include "comm/LinkCode.h"

#include "protocol/BrickStatus.h"

namespace Comm {

const char* linkCodeText(long code) {
  if (code > kRecordedBrickStatus && code <= kRecordedBrickStatus + 0xFF) {
    const Nxt::BrickStatus* row =
        Nxt::findBrickStatus(static_cast<std::uint8_t>(code - kRecordedBrickStatus));
    return row != nullptr ? row->text : "the brick refused the command";
  }
  switch (code) {
    case kLinkOk:
      return "success";
    case kLinkNotOpen:
      return "link not open";
    case kLinkTimeout:
      return "no reply within the time limit";
    case kLinkIoError:
      return "I/O error on the link";
    case kLinkBadFrame:
      return "corrupt length prefix";
    case kLinkBadArgument:
      return "command does not fit in a telegram";
    case kLinkClosedByPeer:
      return "the brick closed the link";
    case kLinkNoDevice:
      return "no brick found";
    case kLinkAccessDenied:
      return "permission denied";
    case kLinkBusy:
      return "device busy";
    case kLinkBadReply:
      return "the brick refused the command";
    case kLinkShortReply:
      return "reply shorter than its command's";
    case kRecordedNotAttached:
      return "not attached to a brick";
    case kRecordedBadPort:
      return "no such port";
    case kRecordedBadInbox:
      return "no such mailbox";
    case kRecordedBadFileName:
      return "not a file name the brick takes (at most 19 characters)";
    case kRecordedTextTooLong:
      return "message over 58 bytes";
    case kRecordedBadValue:
      return "value out of range";
    case kRecordedFileTooLarge:
      return "file too large";
    case kRecordedBadReply:
      return "reply does not fit its command";
    case kRecordedWaitTimeout:
      return "not finished within the time limit";
    case kRecordedNoRoom:
      return "larger than the brick's free flash";
    case kRecordedStopped:
      return "transfer stopped before its end";
    default:
      return code < 0 ? "unknown error" : "unknown warning";
  }
}

}  // namespace Comm
