// The foreign predicates of library(brick) for what lives in the brick's flash and the program
// it runs: files, programs, mailboxes and sound files. brick.pl adds the local file side of an
// upload or download and the options.
#include <cstdint>
#include <string>
#include <vector>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"
#include "brick/Files.h"
#include "brick/Mailbox.h"
#include "brick/Program.h"
#include "protocol/MessageTelegrams.h"

namespace Brick {
namespace Prolog {

namespace {

namespace M = Nxt::Messages;

// file_list(+Brick, +Pattern, -Files): Files is a list of Name-Bytes.
foreign_t fileList(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string pattern = fileNameArgument(a[1], true);
  std::vector<Lib::Files::Entry> entries;
  {
    Exchange exchange(handle, "file_list");
    exchange.checkCode(Lib::Files(handle.block()).list(pattern, entries));
  }
  term_t list = PL_new_term_ref();
  if (list == 0 || !PL_put_nil(list)) {
    throwPending();
  }
  for (std::size_t i = entries.size(); i-- > 0;) {
    term_t entry = PL_new_term_ref();
    if (entry == 0 ||
        !PL_unify_term(entry, PL_FUNCTOR_CHARS, "-", 2, PL_CHARS, entries[i].name.c_str(), PL_INT64,
                       static_cast<std::int64_t>(entries[i].size)) ||
        !PL_cons_list(list, entry, list)) {
      throwPending();
    }
  }
  return unified(PL_unify(a[2].C_, list));
}

// '$file_upload'(+Brick, +Bytes, +Name): Bytes a string of code points below 256.
foreign_t fileUpload(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name = fileNameArgument(a[2]);
  std::string bytes = textArgument(a[1], 0xFFFFFFFFu, true, "file_content");
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  Exchange exchange(handle, "file_upload");
  exchange.checkCode(Lib::Files(handle.block()).upload(name, data));
  return TRUE;
}

// '$file_download'(+Brick, +Name, -Bytes)
foreign_t fileDownload(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name = fileNameArgument(a[1]);
  std::vector<std::uint8_t> data;
  {
    Exchange exchange(handle, "file_download");
    exchange.checkCode(Lib::Files(handle.block()).download(name, data));
  }
  return unifyByteString(a[2], std::string(data.begin(), data.end()));
}

foreign_t fileDelete(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name = fileNameArgument(a[1]);
  Exchange exchange(handle, "file_delete");
  exchange.checkCode(Lib::Files(handle.block()).remove(name));
  return TRUE;
}

foreign_t programStart(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name = fileNameArgument(a[1]);
  Exchange exchange(handle, "program_start");
  exchange.checkCode(Lib::Program(handle.block()).start(name));
  return TRUE;
}

foreign_t programStop(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Exchange exchange(handle, "program_stop");
  exchange.checkCode(Lib::Program(handle.block()).stop());
  return TRUE;
}

// program_running(+Brick, -Name) is semidet: no program running is an answer, not a fault.
foreign_t programRunning(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name;
  {
    Exchange exchange(handle, "program_running");
    long code = Lib::Program(handle.block()).currentName(name);
    if (code == Lib::brickStatusCode(M::kStatusNoProgram)) {
      return FALSE;
    }
    exchange.checkCode(code);
  }
  return unifyAtom(a[1], name.c_str());
}

// mailbox_send(+Brick, +Inbox, +Message): an integer goes as 4 bytes, text as it is.
foreign_t mailboxSend(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  int inbox = static_cast<int>(rangeArgument(a[1], 0, M::kInboxes - 1, "inbox"));
  Lib::Mailbox mailbox(handle.block());
  if (PL_is_integer(a[2].C_)) {
    std::int32_t number =
        static_cast<std::int32_t>(rangeArgument(a[2], INT32_MIN, INT32_MAX, "mailbox_message"));
    Exchange exchange(handle, "mailbox_send");
    exchange.checkCode(mailbox.sendNumber(inbox, number));
  } else {
    std::string text = textArgument(a[2], M::kMaxMessage, false, "mailbox_message");
    Exchange exchange(handle, "mailbox_send");
    exchange.checkCode(mailbox.send(inbox, text));
  }
  return TRUE;
}

// '$mailbox_receive'(+Brick, +Outbox, +Remove, -Bytes) is semidet: fails on an empty outbox.
foreign_t mailboxReceive(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  int outbox = static_cast<int>(
      rangeArgument(a[1], M::kFirstRemoteInbox, M::kFirstRemoteInbox + M::kInboxes - 1, "outbox"));
  bool remove = boolArgument(a[2]);
  std::string bytes;
  {
    Exchange exchange(handle, "mailbox_receive");
    long code = Lib::Mailbox(handle.block()).receive(outbox, bytes, remove);
    if (code == Lib::brickStatusCode(M::kStatusMailboxEmpty)) {
      return FALSE;
    }
    exchange.checkCode(code);
  }
  return unifyByteString(a[3], bytes);
}

// '$sound_play'(+Brick, +Name, +Loop)
foreign_t soundPlay(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::string name = fileNameArgument(a[1]);
  bool loop = boolArgument(a[2]);
  Exchange exchange(handle, "sound_play");
  exchange.checkCode(Lib::BrickInfo(handle.block()).playSoundFile(name, loop));
  return TRUE;
}

foreign_t soundStop(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Exchange exchange(handle, "sound_stop");
  exchange.checkCode(Lib::BrickInfo(handle.block()).stopSoundPlayback());
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"file_list", 3, predicate<3, fileList>},
    {"$file_upload", 3, predicate<3, fileUpload>},
    {"$file_download", 3, predicate<3, fileDownload>},
    {"file_delete", 2, predicate<2, fileDelete>},
    {"program_start", 2, predicate<2, programStart>},
    {"program_stop", 1, predicate<1, programStop>},
    {"program_running", 2, predicate<2, programRunning>},
    {"mailbox_send", 3, predicate<3, mailboxSend>},
    {"$mailbox_receive", 4, predicate<4, mailboxReceive>},
    {"$sound_play", 3, predicate<3, soundPlay>},
    {"sound_stop", 1, predicate<1, soundStop>},
};

__attribute__((constructor)) void registerFlash() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
