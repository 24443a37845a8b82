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
  // The exchange's own outcome: another thread's failure on the same link, which the shared
  // status record collects too, is not this call's.
  long rc = link->transact(kind == Kind::System, command, static_cast<int>(length), reply,
                           static_cast<int>(replyLength));
  if (rc != Comm::kLinkOk) {
    return rc;
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

long command(Comm::SerialCommunication* link, Kind kind, const std::uint8_t* command,
             std::size_t length) {
  if (link == nullptr) {
    return kBrickNotAttached;
  }
  if (link->confirmsCommands()) {
    std::uint8_t reply[2];
    return request(link, kind, command, length, reply, sizeof reply);
  }
  return link->post(kind == Kind::System, command, static_cast<int>(length));
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
