// The foreign predicates of library(brick) for what lives in the brick's flash and the program
// it runs: files, programs, mailboxes and sound files. brick.pl adds the local file side of an
// upload or download and the options.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"
#include "brick/Files.h"
#include "brick/LocalFile.h"
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

// '$file_upload'(+Brick, +Path, +Name): the local file is read as it is sent, never whole, so
// its size must be known first: only a regular file will do (domain_error(regular_file, Path)
// for a device such as /dev/zero, a FIFO or a directory).
foreign_t fileUpload(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  char* chars = nullptr;
  if (!PL_get_file_name(a[1].C_, &chars, PL_FILE_OSPATH | PL_FILE_EXIST | PL_FILE_READ)) {
    throwPending();
  }
  std::string path(chars);
  Lib::LocalFile local(path);
  switch (local.state()) {
    case Lib::LocalFile::State::kUnreadable:
      throwError(PlCompound("system_error", PlTermv(PlTerm_atom(std::strerror(local.error())))));
    case Lib::LocalFile::State::kNotRegular:
      throwDomainError("regular_file", a[1]);
    case Lib::LocalFile::State::kTooLarge:
      throwError(PlCompound("resource_error", PlTermv(PlTerm_atom("brick_flash"))));
    case Lib::LocalFile::State::kReady:
      break;
  }
  // The local file first: what is wrong with it is what the user needs to hear first.
  std::string name = fileNameArgument(a[2]);
  const std::uint32_t size = local.size();
  bool signalled = false;
  // Between two WRITEs: a signal Prolog turns into an exception (an interrupt,
  // call_with_time_limit/2, thread_signal/2) stops the upload, which closes and deletes.
  auto source = [&](std::uint8_t* buffer, std::size_t most) -> long {
    if (PL_handle_signals() < 0) {
      signalled = true;
      return -1;
    }
    return local.read(buffer, most);
  };
  Exchange exchange(handle, "file_upload");
  long code = Lib::Files(handle.block()).upload(name, size, source);
  if (signalled) {
    return FALSE;  // the signal's exception is pending
  }
  if (code == Lib::kBrickNoRoom) {
    Lib::BrickInfo::Device device;
    Lib::BrickInfo(handle.block()).deviceInfo(device);
    std::string why = std::to_string(size) + " bytes, the brick has " +
                      std::to_string(device.freeFlash) + " bytes of flash free";
    throw PlException(PlCompound(
        "error",
        PlTermv(PlCompound("resource_error", PlTermv(PlTerm_atom("brick_flash"))),
                PlCompound("context", PlTermv(PlCompound("/", PlTermv(PlTerm_atom("file_upload"),
                                                                      PlTerm_integer(3))),
                                              PlTerm_atom(why.c_str()))))));
  }
  if (code == Lib::kBrickStopped) {
    std::string why = local.error() != 0 ? std::strerror(local.error()) : "the file became shorter";
    throwError(PlCompound("system_error", PlTermv(PlTerm_atom(why.c_str()))));
  }
  exchange.checkCode(code);
  return TRUE;
}

// '$file_close_all'(+Brick, -Closed): CLOSE of the brick's 16 handles; Closed those that were
// open.
foreign_t fileCloseAll(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  int closed = 0;
  {
    Exchange exchange(handle, "file_close_all");
    exchange.checkCode(Lib::Files(handle.block()).closeAllHandles(closed));
  }
  return unified(PL_unify_integer(a[1].C_, closed));
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
    {"$file_list", 3, predicate<3, fileList>},
    {"$file_upload", 3, predicate<3, fileUpload>},
    {"$file_download", 3, predicate<3, fileDownload>},
    {"$file_delete", 2, predicate<2, fileDelete>},
    {"$file_close_all", 2, predicate<2, fileCloseAll>},
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
