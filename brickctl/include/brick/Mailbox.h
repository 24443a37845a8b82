// The mailboxes between a host and the program running on the brick. A host writes to the
// program's inboxes 0-9 and reads the program's outboxes, which the protocol numbers 10-19.
// A message is at most 58 bytes (the brick adds the closing NUL). Programs encode numbers
// either as text ("42") or as 4 bytes, little-endian; both are provided.
//
// Every operation returns 0 or a code of BrickCode.h, recorded in the link's status record; an
// empty outbox is kBrickStatus + 0x40, no program running kBrickStatus + 0xEC.
#ifndef BRICK_MAILBOX_H
#define BRICK_MAILBOX_H

#include <cstdint>
#include <string>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Mailbox {
 public:
  explicit Mailbox(Block& block);
  explicit Mailbox(Comm::SerialCommunication& link);

  // Writes a text (at most 58 bytes, no NUL inside) to inbox 0-9.
  long send(int inbox, const std::string& text);
  // Writes a number as 4 bytes, little-endian, the way graphical programs read one.
  long sendNumber(int inbox, std::int32_t value);
  // Reads the oldest message from outbox 10-19 into `text` (the bytes before the closing NUL),
  // taking it out of the mailbox when `remove` is set.
  long receive(int remoteInbox, std::string& text, bool remove = true);
  // A 4-byte number message as the program sent it; kBrickBadReply when it is not 4 bytes.
  long receiveNumber(int remoteInbox, std::int32_t& value, bool remove = true);

 private:
  long write(int inbox, const std::uint8_t* data, std::size_t size);
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
