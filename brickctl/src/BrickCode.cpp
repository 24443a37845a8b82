#include "brick/BrickCode.h"

#include "comm/LinkCode.h"

namespace Brick {
namespace Lib {

namespace {

const char* statusText(std::uint8_t status) {
  switch (status) {
    case 0x20:
      return "a transaction is still in progress";
    case 0x40:
      return "the mailbox is empty";
    case 0x81:
      return "no more file handles";
    case 0x82:
      return "no space left in flash";
    case 0x83:
      return "no more files";
    case 0x84:
      return "end of file expected";
    case 0x85:
      return "end of file";
    case 0x86:
      return "not a linear file";
    case 0x87:
      return "file not found";
    case 0x88:
      return "handle already closed";
    case 0x89:
      return "no linear space left in flash";
    case 0x8A:
      return "undefined file error";
    case 0x8B:
      return "file is busy";
    case 0x8C:
      return "no write buffers";
    case 0x8D:
      return "append not possible";
    case 0x8E:
      return "file is full";
    case 0x8F:
      return "file exists";
    case 0x90:
      return "module not found";
    case 0x91:
      return "out of boundary";
    case 0x92:
      return "illegal file name";
    case 0x93:
      return "illegal handle";
    case 0xBD:
      return "request failed";
    case 0xBE:
      return "unknown command";
    case 0xBF:
      return "insane packet";
    case 0xC0:
      return "data out of range";
    case 0xDD:
      return "bus error on the sensor port";
    case 0xDE:
      return "no free memory in the communication buffer";
    case 0xDF:
      return "channel or connection not valid";
    case 0xE0:
      return "channel not configured or busy";
    case 0xEC:
      return "no program running";
    case 0xED:
      return "illegal size";
    case 0xEE:
      return "illegal mailbox";
    case 0xEF:
      return "invalid field of a structure";
    case 0xF0:
      return "bad input or output";
    case 0xFB:
      return "insufficient memory on the brick";
    case 0xFF:
      return "bad arguments";
    default:
      return "the brick refused the command";
  }
}

}  // namespace

const char* brickCodeText(long code) {
  if (isBrickStatus(code)) {
    return statusText(brickStatusOf(code));
  }
  switch (code) {
    case kBrickNotAttached:
      return "not attached to a brick";
    case kBrickBadPort:
      return "no such port";
    case kBrickBadInbox:
      return "no such mailbox";
    case kBrickBadFileName:
      return "not a 15.3 file name";
    case kBrickTextTooLong:
      return "message over 58 bytes";
    case kBrickBadValue:
      return "value out of range";
    case kBrickFileTooLarge:
      return "file too large";
    case kBrickBadReply:
      return "reply does not fit its command";
    case kBrickWaitTimeout:
      return "not finished within the time limit";
    default:
      return Comm::linkCodeText(code);
  }
}

}  // namespace Lib
}  // namespace Brick
