#include "Request.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "comm/LinkCode.h"
#include "comm/SerialCommunication.h"
#include "comm/tStatus.h"

namespace Brick {
namespace Lib {
namespace detail {

long request(Comm::SerialCommunication* link, Kind kind, const std::uint8_t* command,
             std::size_t length, std::uint8_t* reply, std::size_t replyLength, bool recordRefusal) {
  if (link == nullptr) {
    return kBrickNotAttached;
  }
  std::memset(reply, 0, replyLength);
  // The status record keeps the first failure since it was cleared, so whether this exchange
  // failed shows only against a clean record: the old one is put back afterwards, combined
  // with this exchange's outcome by the record's own rule.
  nFANTOM100::tStatus before(link->getStatus());
  link->clearStatus();
  unsigned char* cmd = const_cast<unsigned char*>(command);
  int n = static_cast<int>(length);
  int r = static_cast<int>(replyLength);
  if (kind == Kind::System) {
    link->sendSystemCommand(1, cmd, n, reply, r);
  } else {
    link->sendDirectCommand(1, cmd, n, reply, r);
  }
  nFANTOM100::tStatus now(link->getStatus());
  link->clearStatus();
  link->recordStatus(before.getCode(), before.getFileName(), before.getLineNumber());
  link->recordStatus(now.getCode(), now.getFileName(), now.getLineNumber());
  if (now.isFatal()) {
    return now.getCode();
  }
  if (replyLength < 2 || reply[0] != command[0]) {
    return refuse(link, kBrickBadReply, __FILE__, __LINE__);
  }
  if (reply[1] != 0) {
    long code = brickStatusCode(reply[1]);
    if (recordRefusal) {
      link->recordStatus(code, __FILE__, __LINE__);
    }
    return code;
  }
  return kBrickOk;
}

long refuse(Comm::SerialCommunication* link, long code, const char* file, unsigned long line) {
  if (link != nullptr) {
    link->recordStatus(code, file, line);
  }
  return code;
}

void pause(int ms) {
  if (ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

}  // namespace detail
}  // namespace Lib
}  // namespace Brick
