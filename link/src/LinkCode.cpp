#include "comm/LinkCode.h"

namespace Comm {

const char* linkCodeText(long code) {
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
    default:
      return code < 0 ? "unknown error" : "unknown warning";
  }
}

}  // namespace Comm
