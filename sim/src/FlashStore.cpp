#include "sim/FlashStore.h"

#include <algorithm>

#include "FileNames.h"
#include "protocol/FileTelegrams.h"
#include "protocol/Nxt.h"

namespace Sim {

namespace F = Nxt::Files;

namespace {

constexpr std::size_t kNoStream = FlashStore::kMaxHandles;

// The fields after the status of each reply, which keep their length whatever the status.
constexpr std::size_t kOpenFields = 5;   // handle, size
constexpr std::size_t kHandleField = 1;  // handle
constexpr std::size_t kCountFields = 3;  // handle, count
constexpr std::size_t kFindFields = 1 + F::kNameField + 4;

Bytes status(std::uint8_t opcode, std::uint8_t code) {
  return Bytes{Nxt::kReply, opcode, code};
}

// A reply that keeps its layout whatever the status: the fields after it zero-filled.
Bytes shaped(std::uint8_t opcode, std::uint8_t code, std::size_t fields) {
  Bytes reply = status(opcode, code);
  reply.resize(3 + fields, 0);
  return reply;
}

void putCount(Bytes& reply, std::size_t count) {
  reply[4] = static_cast<std::uint8_t>(count);
  reply[5] = static_cast<std::uint8_t>(count >> 8);
}

// Each file has sectors of its own, its header in the first.
std::size_t sectors(std::size_t bytes) {
  return (bytes + FlashStore::kHeader + FlashStore::kSector - 1) / FlashStore::kSector;
}

constexpr std::size_t kAllSectors = FlashStore::kCapacity / FlashStore::kSector;

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
      return openAppend(t, n);
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

std::size_t FlashStore::usedSectors() const {
  std::size_t used = 0;
  for (const File& f : stored) {
    used += sectors(f.size);
  }
  // A file being written holds its sectors from OPEN on.
  for (const Handle& h : open) {
    used += h.use == Use::Write ? sectors(h.file.size) : 0;
  }
  return used;
}

std::size_t FlashStore::freeBytes() const {
  std::size_t used = usedSectors();
  return used >= kAllSectors ? 0 : (kAllSectors - used) * kSector - kHeader;
}

std::size_t FlashStore::count(Use use) const {
  return static_cast<std::size_t>(
      std::count_if(open.begin(), open.end(), [use](const Handle& h) { return h.use == use; }));
}

std::size_t FlashStore::openHandles() const {
  return kMaxHandles - count(Use::Free);
}

bool FlashStore::store(const std::string& name, const Bytes& data) {
  if (!F::validName(name) || lookup(name) != stored.end() || beingWritten(name) ||
      stored.size() + count(Use::Write) >= kMaxFiles ||
      sectors(data.size()) + usedSectors() > kAllSectors) {
    return false;
  }
  stored.push_back(File{name, static_cast<std::uint32_t>(data.size()), data, false});
  return true;
}

const FlashStore::File* FlashStore::find(const std::string& name) const {
  auto it = std::find_if(stored.begin(), stored.end(),
                         [&](const File& f) { return FileNames::same(f.name, name); });
  return it == stored.end() ? nullptr : &*it;
}

std::vector<FlashStore::File>::iterator FlashStore::lookup(const std::string& name) {
  return std::find_if(stored.begin(), stored.end(),
                      [&](const File& f) { return FileNames::same(f.name, name); });
}

int FlashStore::freeHandle() const {
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (open[i].use == Use::Free) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool FlashStore::beingWritten(const std::string& name) const {
  return std::any_of(open.begin(), open.end(), [&](const Handle& h) {
    return h.use == Use::Write && FileNames::same(h.file.name, name);
  });
}

bool FlashStore::openForReading(const std::string& name) const {
  return std::any_of(open.begin(), open.end(), [&](const Handle& h) {
    return h.use == Use::Read && FileNames::same(h.name, name);
  });
}

// Why one more file may not be opened for writing, or 0 when it may.
std::uint8_t FlashStore::refusedWriter() const {
  if (freeHandle() < 0) {
    return F::kNoMoreHandles;
  }
  return count(Use::Write) >= kMaxWriters ? F::kNoWriteBuffers : Nxt::kStatusOk;
}

std::vector<FlashStore::File>::iterator FlashStore::storedFile(const std::uint8_t* t, std::size_t n,
                                                               Bytes& refusal) {
  std::string name;
  if (!nameAt(t, n, 2, name)) {
    refusal = shaped(t[1], Nxt::kStatusInsanePacket, kOpenFields);
    return stored.end();
  }
  if (!F::validName(name)) {
    refusal = shaped(t[1], F::kIllegalFileName, kOpenFields);
    return stored.end();
  }
  // A file still being written is not in the table yet.
  auto file = lookup(name);
  if (file == stored.end()) {
    refusal = shaped(t[1], F::kFileNotFound, kOpenFields);
  }
  return file;
}

Bytes FlashStore::openRead(const std::uint8_t* t, std::size_t n) {
  Bytes refusal;
  auto file = storedFile(t, n, refusal);
  if (file == stored.end()) {
    return refusal;
  }
  int h = freeHandle();
  if (h < 0) {
    return shaped(t[1], F::kNoMoreHandles, kOpenFields);
  }
  open[static_cast<std::size_t>(h)] = Handle{Use::Read, file->name, 0, File(), false};
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kOpenFields);
  reply[3] = static_cast<std::uint8_t>(h);
  F::putU32(reply.data() + 4, static_cast<std::uint32_t>(file->data.size()));
  return reply;
}

Bytes FlashStore::openWrite(const std::uint8_t* t, std::size_t n) {
  std::string name;
  if (!nameAt(t, n, 2, name) || n < 2 + F::kNameField + 4) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kHandleField);
  }
  std::uint32_t size = F::getU32(t + 2 + F::kNameField);
  bool dataFile = t[1] == F::kOpenWriteData;
  if (!F::validName(name) || (dataFile && FileNames::executable(name))) {
    return shaped(t[1], F::kIllegalFileName, kHandleField);
  }
  if (lookup(name) != stored.end()) {
    return shaped(t[1], F::kFileExists, kHandleField);
  }
  if (beingWritten(name)) {
    return shaped(t[1], F::kFileBusy, kHandleField);
  }
  if (std::uint8_t refused = refusedWriter()) {
    return shaped(t[1], refused, kHandleField);
  }
  if (stored.size() + count(Use::Write) >= kMaxFiles) {
    return shaped(t[1], F::kNoMoreFiles, kHandleField);
  }
  if (sectors(size) + usedSectors() > kAllSectors) {
    return shaped(t[1], F::kNoSpace, kHandleField);
  }
  int h = freeHandle();
  open[static_cast<std::size_t>(h)] =
      Handle{Use::Write, name, 0, File{name, size, {}, dataFile}, false};
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kHandleField);
  reply[3] = static_cast<std::uint8_t>(h);
  return reply;
}

Bytes FlashStore::openAppend(const std::uint8_t* t, std::size_t n) {
  Bytes refusal;
  auto file = storedFile(t, n, refusal);
  if (file == stored.end()) {
    return refusal;
  }
  if (!file->dataFile) {
    return shaped(t[1], F::kAppendNotPossible, kOpenFields);
  }
  if (openForReading(file->name)) {
    return shaped(t[1], F::kFileBusy, kOpenFields);
  }
  if (std::uint8_t refused = refusedWriter()) {
    return shaped(t[1], refused, kOpenFields);
  }
  // Out of the table while it is written, as a new file is, and back in at CLOSE.
  int h = freeHandle();
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kOpenFields);
  reply[3] = static_cast<std::uint8_t>(h);
  F::putU32(reply.data() + 4, static_cast<std::uint32_t>(file->size - file->data.size()));
  open[static_cast<std::size_t>(h)] = Handle{Use::Write, file->name, 0, std::move(*file), false};
  stored.erase(file);
  return reply;
}

Bytes FlashStore::read(const std::uint8_t* t, std::size_t n) {
  if (n < 5) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kCountFields);
  }
  std::size_t h = t[2];
  std::size_t want = static_cast<std::size_t>(t[3] | t[4] << 8);
  // Over USB one reply carries at most 58 bytes, as its count says. Every reply, refusals too,
  // carries as many bytes as its count says, zeros for what could not be read.
  std::size_t carried = std::min(want, mostRead);
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kCountFields + carried);
  reply[3] = t[2];
  putCount(reply, carried);
  if (h >= open.size() || open[h].use != Use::Read) {
    reply[2] = F::kIllegalHandle;
    return reply;
  }
  const File* file = find(open[h].name);
  if (file == nullptr) {
    reply[2] = F::kIllegalHandle;  // cannot happen: a file open for reading cannot be deleted
    return reply;
  }
  std::size_t left = file->data.size() - open[h].position;
  std::size_t count = std::min(carried, left);
  auto from = file->data.begin() + static_cast<long>(open[h].position);
  std::copy(from, from + static_cast<long>(count), reply.begin() + 6);
  open[h].position += count;
  if (count < carried) {
    reply[2] = F::kEndOfFile;
  }
  return reply;
}

// Writes what fits in the file's declared size; the rest is lost, and so is the file at CLOSE.
std::size_t FlashStore::append(Handle& h, const std::uint8_t* data, std::size_t n) {
  std::size_t room = h.file.size - h.file.data.size();
  std::size_t fits = std::min(n, room);
  h.file.data.insert(h.file.data.end(), data, data + fits);
  h.overrun = h.overrun || fits < n;
  return fits;
}

Bytes FlashStore::write(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kCountFields);
  }
  std::size_t h = t[2];
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kCountFields);
  reply[3] = t[2];
  if (h >= open.size() || open[h].use != Use::Write) {
    reply[2] = F::kIllegalHandle;
    return reply;
  }
  std::size_t written = append(open[h], t + 3, n - 3);
  reply[2] = written < n - 3 ? F::kEndOfFileExpected : Nxt::kStatusOk;
  putCount(reply, written);
  return reply;
}

void FlashStore::beginWrite(const std::uint8_t* t, std::size_t n, std::size_t /*length*/) {
  streamHandle = kNoStream;
  streamCount = 0;
  streamReply = write(t, std::min<std::size_t>(n, 3));
  if (streamReply[2] != Nxt::kStatusOk) {
    return;
  }
  streamHandle = t[2];
  continueWrite(t + 3, n - 3);
}

void FlashStore::continueWrite(const std::uint8_t* data, std::size_t n) {
  if (streamHandle == kNoStream || open[streamHandle].use != Use::Write) {
    return;
  }
  std::size_t written = append(open[streamHandle], data, n);
  streamCount += written;
  if (written < n) {
    streamReply[2] = F::kEndOfFileExpected;
  }
}

Bytes FlashStore::endWrite() {
  if (streamHandle != kNoStream) {
    putCount(streamReply, streamCount);
  }
  streamHandle = kNoStream;
  return streamReply;
}

Bytes FlashStore::close(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kHandleField);
  }
  std::size_t h = t[2];
  Bytes reply = shaped(t[1], Nxt::kStatusOk, kHandleField);
  reply[3] = t[2];
  if (h >= open.size()) {
    return reply;  // the brick checks no handle above its table
  }
  Handle& handle = open[h];
  if (handle.use == Use::Free) {
    reply[2] = F::kHandleAlreadyClosed;
    return reply;
  }
  if (handle.use == Use::Write && !handle.overrun &&
      (handle.file.dataFile || handle.file.data.size() == handle.file.size)) {
    stored.push_back(std::move(handle.file));
  }
  handle = Handle();
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
  } else if (beingWritten(name) || openForReading(name)) {
    reply[2] = F::kFileBusy;
  } else {
    auto file = lookup(name);
    if (file == stored.end()) {
      reply[2] = F::kFileNotFound;
    } else {
      stored.erase(file);
    }
  }
  return reply;
}

Bytes FlashStore::found(std::uint8_t opcode, std::size_t h, std::size_t from) {
  for (std::size_t i = from; i < stored.size(); ++i) {
    if (FileNames::matches(open[h].name, stored[i].name)) {
      open[h].position = i + 1;
      Bytes reply = shaped(opcode, Nxt::kStatusOk, kFindFields);
      reply[3] = static_cast<std::uint8_t>(h);
      F::putName(reply.data() + 4, stored[i].name);
      F::putU32(reply.data() + 4 + F::kNameField,
                static_cast<std::uint32_t>(stored[i].data.size()));
      return reply;
    }
  }
  // FIND NEXT keeps its search open until the client's CLOSE; a FIND FIRST that finds nothing
  // gives no search to close.
  if (opcode == F::kFindFirst) {
    open[h] = Handle();
  }
  Bytes reply = shaped(opcode, F::kFileNotFound, kFindFields);
  reply[3] = static_cast<std::uint8_t>(h);
  return reply;
}

Bytes FlashStore::findFirst(const std::uint8_t* t, std::size_t n) {
  std::string pattern;
  if (!nameAt(t, n, 2, pattern)) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kFindFields);
  }
  if (!F::validName(pattern, true)) {
    return shaped(t[1], F::kIllegalFileName, kFindFields);
  }
  int h = freeHandle();
  if (h < 0) {
    return shaped(t[1], F::kNoMoreHandles, kFindFields);
  }
  open[static_cast<std::size_t>(h)] = Handle{Use::Find, pattern, 0, File(), false};
  return found(t[1], static_cast<std::size_t>(h), 0);
}

Bytes FlashStore::findNext(const std::uint8_t* t, std::size_t n) {
  if (n < 3) {
    return shaped(t[1], Nxt::kStatusInsanePacket, kFindFields);
  }
  std::size_t h = t[2];
  if (h >= open.size() || open[h].use != Use::Find) {
    Bytes reply = shaped(t[1], F::kIllegalHandle, kFindFields);
    reply[3] = t[2];
    return reply;
  }
  return found(t[1], h, open[h].position);
}

}  // namespace Sim
