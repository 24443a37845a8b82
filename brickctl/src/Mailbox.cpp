#include "brick/Mailbox.h"

#include <cstring>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/MessageTelegrams.h"

namespace Brick {
namespace Lib {

namespace M = Nxt::Messages;
using detail::Kind;
using detail::request;

Mailbox::Mailbox(Block& block) : link(&block.getCommunication()) {}
Mailbox::Mailbox(Comm::SerialCommunication& l) : link(&l) {}

long Mailbox::write(int inbox, const std::uint8_t* data, std::size_t size) {
  if (inbox < 0 || inbox >= M::kInboxes) {
    return BRICK_REFUSE(link, kBrickBadInbox);
  }
  if (size > M::kMaxMessage) {
    return BRICK_REFUSE(link, kBrickTextTooLong);
  }
  std::uint8_t command[3 + M::kMessageField];
  command[0] = M::kMessageWrite;
  command[1] = static_cast<std::uint8_t>(inbox);
  command[2] = static_cast<std::uint8_t>(size + 1);
  if (size > 0) {
    std::memcpy(command + 3, data, size);
  }
  command[3 + size] = 0;
  std::uint8_t reply[2];
  return request(link, Kind::Direct, command, 4 + size, reply, sizeof reply);
}

long Mailbox::send(int inbox, const std::string& text) {
  if (text.find('\0') != std::string::npos) {
    return BRICK_REFUSE(link, kBrickBadValue);  // the program would see only what comes before
  }
  return write(inbox, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

long Mailbox::sendNumber(int inbox, std::int32_t value) {
  std::uint32_t v = static_cast<std::uint32_t>(value);
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                           static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  return write(inbox, bytes, sizeof bytes);
}

long Mailbox::receive(int remoteInbox, std::string& text, bool remove) {
  text.clear();
  if (remoteInbox < M::kFirstRemoteInbox || remoteInbox >= M::kFirstRemoteInbox + M::kInboxes) {
    return BRICK_REFUSE(link, kBrickBadInbox);
  }
  std::uint8_t command[] = {M::kMessageRead, static_cast<std::uint8_t>(remoteInbox), 0x00,
                            static_cast<std::uint8_t>(remove ? 1 : 0)};
  std::uint8_t reply[M::kReplyReadLength];
  long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
  if (code != kBrickOk) {
    return code;
  }
  // The size counts the closing NUL; a number's bytes may hold NULs of their own.
  std::size_t size = reply[M::kReplyReadSize];
  if (size > M::kMessageField) {
    size = M::kMessageField;
  }
  if (size > 0 && reply[M::kReplyReadMessage + size - 1] == 0) {
    --size;
  }
  text.assign(reinterpret_cast<const char*>(reply + M::kReplyReadMessage), size);
  return kBrickOk;
}

long Mailbox::receiveNumber(int remoteInbox, std::int32_t& value, bool remove) {
  std::string bytes;
  long code = receive(remoteInbox, bytes, remove);
  if (code != kBrickOk) {
    return code;
  }
  if (bytes.size() != 4) {
    return BRICK_REFUSE(link, kBrickBadReply);
  }
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) {
    v = v << 8 | static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
  }
  value = static_cast<std::int32_t>(v);
  return kBrickOk;
}

}  // namespace Lib
}  // namespace Brick
