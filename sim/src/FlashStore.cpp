#include "sim/FlashStore.h"

#include <algorithm>

#include "protocol/FileTelegrams.h"
#include "protocol/Nxt.h"

namespace Sim {

namespace F = Nxt::Files;

namespace {

Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return Bytes{Nxt::kReply, opcode, code};
}

// A reply that keeps its layout whatever the status: the fields after it zero-filled.
Bytes shaped(std::uint8_t opcode, std::uint8_t code, std::size_t fields) {
  Bytes reply = status(opcode, code);
  reply.resize(3 + fields, 0);
  return reply;
}

std::size_t pages(std::size_t bytes) {
  return (bytes + FlashStore::kPage - 1) / FlashStore::kPage;
}

// '*' matches any run of characters, as in "*.rxe" or "prog.*"; names compare as the brick
// compares them, case and all.
bool matches(const char* pattern, const char* name) {
  if (*pattern == '\0') {
    return *name == '\0';
  }
  if (*pattern == '*') {
    return matches(pattern + 1, name) || (*name != '\0' && matches(pattern, name + 1));
  }
  return *pattern == *name && matches(pattern + 1, name + 1);
}

// The name field of a telegram, when the telegram has one in full.
bool nameAt(const std::uint8_t* t, std::size_t n, std::size_t at, std::string& name) {
  if (n < at + F::kNameField) {
    return false;
  }
  name = F::getName(t + at);
  return true;
}

}  // namespace

bool FlashStore::handles(std::uint8_t opcode) {
  return (opcode >= F::kOpenRead && opcode <= F::kFindNext) || opcode == F::kOpenWriteLinear ||
         opcode == F::kOpenWriteData || opcode == F::kOpenAppendData ||
         opcode == F::kDeleteUserFlash;
}

Bytes FlashStore::answer(const std::uint8_t* t, std::size_t n) {
  switch (t[1]) {
    case F::kOpenRead:
      return openRead(t, n);
    case F::kOpenWrite:
    case F::kOpenWriteLinear:
    case F::kOpenWriteData:
      return openWrite(t, n);
    case F::kOpenAppendData:
      // Data files are written whole here: there is never room left to append to.
      return shaped(t[1], F::kAppendNotPossible, 5);
    case F::kRead:
      return read(t, n);
    case F::kWrite:
      return write(t, n);
    case F::kClose:
      return close(t, n);
    case F::kDelete:
      return remove(t, n);
    case F::kFindFirst:
      return findFirst(t, n);
    case F::kFindNext:
      return findNext(t, n);
    case F::kDeleteUserFlash:
      stored.clear();
      open.fill(Handle());
      return status(t[1], Nxt::kStatusOk);
    default:
      return status(t[1], Nxt::kStatusUnknownOpcode);
  }
}

std::size_t FlashStore::freeBytes() const {
  std::size_t used = 0;
  for (const File& f : stored) {
    used += pages(f.size);
  }
  std::size_t all = kCapacity / kPage;
  return used >= all ? 0 : (all - used) * kPage;
}

std::size_t FlashStore::openHandles() const {
  return static_cast<std::size_t>(
      std::count_if(open.begin(), open.end(), [](const Handle& h) { return h.use != Use::Free; }));
}

bool FlashStore::store(const std::string& name, const Bytes& data) {
  if (!F::validName(name) || lookup(name) != nullptr || stored.size() >= kMaxFiles ||
      pages(data.size()) * kPage > freeBytes()) {
    return false;
  }
  stored.push_back(File{name, static_cast<std::uint32_t>(data.size()), data});
  return true;
}

const FlashStore::File* FlashStore::find(const std::string& name) const {
  for (const File& f : stored) {
    if (f.name == name) {
      return &f;
    }
  }
  return nullptr;
}

FlashStore::File* FlashStore::lookup(const std::string& name) {
  return const_cast<File*>(find(name));
}

int FlashStore::freeHandle() const {
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (open[i].use == Use::Free) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool FlashStore::isOpen(const std::string& name) const {
  return std::any_of(open.begin(), open.end(), [&](const Handle& h) {
    return (h.use == Use::Read || h.use == Use::Write) && h.name == name;
  });
}

Bytes FlashStore::openRead(const std::uint8_t* t, std::size_t n) {
  std::string name;
  if (!nameAt(t, n, 2, name)) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 5);
  }
  if (!F::validName(name)) {
    return shaped(t[1], F::kIllegalFileName, 5);
  }
  File* file = lookup(name);
  if (file == nullptr) {
    return shaped(t[1], F::kFileNotFound, 5);
  }
  if (file->data.size() < file->size) {
    return shaped(t[1], F::kFileBusy, 5);  // still being written
  }
  int h = freeHandle();
  if (h < 0) {
    return shaped(t[1], F::kNoMoreHandles, 5);
  }
  open[static_cast<std::size_t>(h)] = Handle{Use::Read, name, 0};
  Bytes reply = status(t[1], Nxt::kStatusOk);
  reply.push_back(static_cast<std::uint8_t>(h));
  reply.resize(8, 0);
  F::putU32(reply.data() + 4, file->size);
  return reply;
}

Bytes FlashStore::openWrite(const std::uint8_t* t, std::size_t n) {
  std::string name;
  if (!nameAt(t, n, 2, name) || n < 2 + F::kNameField + 4) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 1);
  }
  std::uint32_t size = F::getU32(t + 2 + F::kNameField);
  if (!F::validName(name)) {
    return shaped(t[1], F::kIllegalFileName, 1);
  }
  if (lookup(name) != nullptr) {
    return shaped(t[1], F::kFileExists, 1);
  }
  int h = freeHandle();
  if (h < 0) {
    return shaped(t[1], F::kNoMoreHandles, 1);
  }
  if (stored.size() >= kMaxFiles) {
    return shaped(t[1], F::kNoMoreFiles, 1);
  }
  if (pages(size) * kPage > freeBytes()) {
    return shaped(t[1], F::kNoSpace, 1);
  }
  stored.push_back(File{name, size, Bytes()});
  open[static_cast<std::size_t>(h)] = Handle{Use::Write, name, 0};
  Bytes reply = status(t[1], Nxt::kStatusOk);
  reply.push_back(static_cast<std::uint8_t>(h));
  return reply;
}

Bytes FlashStore::read(const std::uint8_t* t, std::size_t n) {
  if (n < 5) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 3);
  }
  std::size_t h = t[2];
  if (h >= open.size() || open[h].use != Use::Read) {
    Bytes reply = shaped(t[1], h >= open.size() ? F::kIllegalHandle : F::kHandleAlreadyClosed, 3);
    reply[3] = t[2];
    return reply;
  }
  const File* file = find(open[h].name);
  std::size_t want = static_cast<std::size_t>(t[3] | t[4] << 8);
  std::size_t left = file->data.size() - open[h].position;
  // Over USB one reply carries at most 58 bytes; a longer read gets what fits, as its count
  // says. Over Bluetooth one reply carries all that was asked for.
  std::size_t count = std::min({want, left, mostRead});
  Bytes reply = status(t[1], count == 0 && want > 0 ? F::kEndOfFile : Nxt::kStatusOk);
  reply.push_back(t[2]);
  reply.push_back(static_cast<std::uint8_t>(count));
  reply.push_back(static_cast<std::uint8_t>(count >> 8));
  auto from = file->data.begin() + static_cast<long>(open[h].position);
  reply.insert(reply.end(), from, from + static_cast<long>(count));
  open[h].position += count;
  return reply;
}

Bytes FlashStore::write(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 3);
  }
  std::size_t h = t[2];
  Bytes reply = shaped(t[1], Nxt::kStatusOk, 3);
  reply[3] = t[2];
  if (h >= open.size() || open[h].use != Use::Write) {
    reply[2] = h >= open.size() ? F::kIllegalHandle : F::kHandleAlreadyClosed;
    return reply;
  }
  File* file = lookup(open[h].name);
  std::size_t count = n - 3;
  if (file->data.size() + count > file->size) {
    reply[2] = F::kFileFull;
    return reply;
  }
  file->data.insert(file->data.end(), t + 3, t + n);
  reply[4] = static_cast<std::uint8_t>(count);
  reply[5] = static_cast<std::uint8_t>(count >> 8);
  return reply;
}

void FlashStore::beginWrite(const std::uint8_t* t, std::size_t n, std::size_t length) {
  streamName.clear();
  streamReply = write(t, std::min<std::size_t>(n, 3));
  if (streamReply[2] != Nxt::kStatusOk || n < 3) {
    return;
  }
  File* file = lookup(open[t[2]].name);
  std::size_t count = length - 3;
  if (file->data.size() + count > file->size) {
    streamReply[2] = F::kFileFull;
    return;
  }
  streamName = file->name;
  streamReply[4] = static_cast<std::uint8_t>(count);
  streamReply[5] = static_cast<std::uint8_t>(count >> 8);
  continueWrite(t + 3, n - 3);
}

void FlashStore::continueWrite(const std::uint8_t* data, std::size_t n) {
  // Looked up afresh: the host may store a file between two pieces.
  File* file = streamName.empty() ? nullptr : lookup(streamName);
  if (file != nullptr && file->data.size() + n <= file->size) {
    file->data.insert(file->data.end(), data, data + n);
  }
}

Bytes FlashStore::endWrite() {
  streamName.clear();
  return streamReply;
}

Bytes FlashStore::close(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 1);
  }
  std::size_t h = t[2];
  Bytes reply = shaped(t[1], Nxt::kStatusOk, 1);
  reply[3] = t[2];
  if (h >= open.size() || open[h].use == Use::Free) {
    reply[2] = h >= open.size() ? F::kIllegalHandle : F::kHandleAlreadyClosed;
    return reply;
  }
  if (open[h].use == Use::Write) {
    // The file keeps the size it was opened with; what was never written reads as zeros.
    File* file = lookup(open[h].name);
    file->data.resize(file->size, 0);
  }
  open[h] = Handle();
  return reply;
}

Bytes FlashStore::remove(const std::uint8_t* t, std::size_t n) {
  std::string name;
  if (!nameAt(t, n, 2, name)) {
    return shaped(t[1], Nxt::kStatusInsanePacket, F::kNameField);
  }
  Bytes reply = status(t[1], Nxt::kStatusOk);
  reply.insert(reply.end(), t + 2, t + 2 + F::kNameField);
  if (!F::validName(name)) {
    reply[2] = F::kIllegalFileName;
  } else if (lookup(name) == nullptr) {
    reply[2] = F::kFileNotFound;
  } else if (isOpen(name)) {
    reply[2] = F::kFileBusy;
  } else {
    stored.erase(
        std::find_if(stored.begin(), stored.end(), [&](const File& f) { return f.name == name; }));
  }
  return reply;
}

Bytes FlashStore::found(std::uint8_t opcode, std::size_t h, std::size_t from) {
  for (std::size_t i = from; i < stored.size(); ++i) {
    if (matches(open[h].name.c_str(), stored[i].name.c_str())) {
      open[h].position = i + 1;
      Bytes reply = status(opcode, Nxt::kStatusOk);
      reply.push_back(static_cast<std::uint8_t>(h));
      reply.resize(3 + 1 + F::kNameField + 4, 0);
      F::putName(reply.data() + 4, stored[i].name);
      F::putU32(reply.data() + 4 + F::kNameField, stored[i].size);
      return reply;
    }
  }
  // The search is over: its handle goes back to the pool.
  open[h] = Handle();
  Bytes reply = shaped(opcode, F::kFileNotFound, 1 + F::kNameField + 4);
  reply[3] = static_cast<std::uint8_t>(h);
  return reply;
}

Bytes FlashStore::findFirst(const std::uint8_t* t, std::size_t n) {
  std::string pattern;
  if (!nameAt(t, n, 2, pattern)) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 1 + F::kNameField + 4);
  }
  if (!F::validName(pattern, true)) {
    return shaped(t[1], F::kIllegalFileName, 1 + F::kNameField + 4);
  }
  int h = freeHandle();
  if (h < 0) {
    return shaped(t[1], F::kNoMoreHandles, 1 + F::kNameField + 4);
  }
  open[static_cast<std::size_t>(h)] = Handle{Use::Find, pattern, 0};
  return found(t[1], static_cast<std::size_t>(h), 0);
}

Bytes FlashStore::findNext(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, 1 + F::kNameField + 4);
  }
  std::size_t h = t[2];
  if (h >= open.size() || open[h].use != Use::Find) {
    Bytes reply = shaped(t[1], F::kIllegalHandle, 1 + F::kNameField + 4);
    reply[3] = t[2];
    return reply;
  }
  return found(t[1], h, open[h].position);
}

}  // namespace Sim
