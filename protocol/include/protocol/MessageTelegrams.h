// The direct commands that talk to the brick's programs: start, stop and name the running one,
// play a sound file, and the mailboxes between a host and a program.
#ifndef PROTOCOL_MESSAGETELEGRAMS_H
#define PROTOCOL_MESSAGETELEGRAMS_H

#include <cstddef>
#include <cstdint>

#include "protocol/Nxt.h"

namespace Nxt {
namespace Messages {

// The opcodes are the protocol's own (protocol/Nxt.h), named here too for this family.
using Nxt::kGetCurrentProgramName;
using Nxt::kMessageRead;
using Nxt::kMessageWrite;
using Nxt::kPlaySoundFile;
using Nxt::kStartProgram;
using Nxt::kStopProgram;

const std::uint8_t kStatusMailboxEmpty = 0x40;
const std::uint8_t kStatusNoProgram = 0xEC;
const std::uint8_t kStatusBadMailbox = 0xEE;

// A host writes to the program's inboxes 0-9 and reads its outboxes, numbered 10-19.
const int kInboxes = 10;
const int kFirstRemoteInbox = 10;
// A message's size byte counts its closing NUL: at most 58 bytes of text.
const std::size_t kMaxMessage = 58;
const std::size_t kMessageField = 59;
// A program keeps this many unread messages per mailbox; a new one pushes out the oldest.
const std::size_t kMailboxDepth = 5;

// MESSAGEREAD reply, offsets from the echoed opcode: local inbox, size, message (59 bytes).
const std::size_t kReplyReadInbox = 2;
const std::size_t kReplyReadSize = 3;
const std::size_t kReplyReadMessage = 4;
const std::size_t kReplyReadLength = kReplyReadMessage + kMessageField;
// GETCURRENTPROGRAMNAME reply: the name (20 bytes) after the status.
const std::size_t kReplyProgramName = 2;

}  // namespace Messages
}  // namespace Nxt

#endif
