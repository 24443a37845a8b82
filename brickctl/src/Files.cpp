#include "brick/Files.h"

#include <algorithm>
#include <cstring>

#include "Request.h"
#include "brick/Block.h"
#include "brick/BrickInfo.h"
#include "protocol/FileTelegrams.h"

namespace Brick {
namespace Lib {

namespace F = Nxt::Files;
using detail::Kind;
using detail::request;

namespace {

// An opcode and a 20-byte name: OPEN READ, DELETE, FIND FIRST.
long nameCommand(Comm::SerialCommunication* link, std::uint8_t opcode, const std::string& name,
                 std::uint8_t* reply, std::size_t replyLength) {
  std::uint8_t command[1 + F::kNameField];
  command[0] = opcode;
  F::putName(command + 1, name);
  return request(link, Kind::System, command, sizeof command, reply, replyLength);
}

}  // namespace

Files::Files(Block& block) : link(&block.getCommunication()) {}
Files::Files(Comm::SerialCommunication& l) : link(&l) {}

long Files::closeHandle(std::uint8_t handle) {
  std::uint8_t command[] = {F::kClose, handle};
  std::uint8_t reply[3];
  return request(link, Kind::System, command, sizeof command, reply, sizeof reply);
}

long Files::list(const std::string& pattern, std::vector<Entry>& out) {
  out.clear();
  if (!F::validName(pattern, true)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  std::uint8_t reply[F::kReplyFindLength];
  std::uint8_t command[1 + F::kNameField];
  command[0] = F::kFindFirst;
  F::putName(command + 1, pattern);
  // Nothing matching is an answer, not a failure: asked without recording the refusal. Such a
  // FIND FIRST leaves no search open.
  long code = request(link, Kind::System, command, sizeof command, reply, sizeof reply, false);
  if (code == brickStatusCode(F::kFileNotFound)) {
    return kBrickOk;
  }
  if (code != kBrickOk) {
    if (isBrickStatus(code)) {
      BRICK_REFUSE(link, code);
    }
    return code;
  }
  std::uint8_t handle = reply[F::kReplyHandle];
  for (;;) {
    out.push_back(
        Entry{F::getName(reply + F::kReplyFindName), F::getU32(reply + F::kReplyFindSize)});
    std::uint8_t next[] = {F::kFindNext, handle};
    code = request(link, Kind::System, next, sizeof next, reply, sizeof reply, false);
    if (code == brickStatusCode(F::kFileNotFound) || code == brickStatusCode(F::kNoMoreFiles)) {
      // The search is over, but the brick keeps its handle until it is closed.
      return closeHandle(handle);
    }
    if (code != kBrickOk) {
      if (isBrickStatus(code)) {
        BRICK_REFUSE(link, code);
      }
      closeHandle(handle);
      return code;
    }
  }
}

long Files::upload(const std::string& name, const std::vector<std::uint8_t>& data,
                   const Progress& progress) {
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  if (data.size() > 0xFFFFFFFFu) {
    return BRICK_REFUSE(link, kBrickFileTooLarge);
  }
  std::size_t given = 0;
  Source source = [&data, &given](std::uint8_t* buffer, std::size_t most) {
    std::size_t n = std::min(most, data.size() - given);
    std::memcpy(buffer, data.data() + given, n);
    given += n;
    return static_cast<long>(n);
  };
  return write(name, static_cast<std::uint32_t>(data.size()), source, progress);
}

long Files::upload(const std::string& name, std::uint32_t size, const Source& source,
                   const Progress& progress) {
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  BrickInfo::Device device;
  long code = BrickInfo(*link).deviceInfo(device);
  if (code != kBrickOk) {
    return code;
  }
  if (size > device.freeFlash) {
    return BRICK_REFUSE(link, kBrickNoRoom);
  }
  return write(name, size, source, progress);
}

// OPEN WRITE, the WRITEs of what `source` gives, CLOSE; on any failure once the file is open,
// the handle is closed and the half-written file deleted.
long Files::write(const std::string& name, std::uint32_t size, const Source& source,
                  const Progress& progress) {
  std::uint8_t open[1 + F::kNameField + 4];
  open[0] = F::kOpenWrite;
  F::putName(open + 1, name);
  F::putU32(open + 1 + F::kNameField, size);
  std::uint8_t reply[3];
  long code = request(link, Kind::System, open, sizeof open, reply, sizeof reply);
  if (code != kBrickOk) {
    return code;
  }
  std::uint8_t handle = reply[F::kReplyHandle];
  std::size_t done = 0;
  while (done < size) {
    std::size_t chunk = size - done;
    if (chunk > F::kMaxWriteChunk) {
      chunk = F::kMaxWriteChunk;
    }
    std::uint8_t telegram[2 + F::kMaxWriteChunk];
    telegram[0] = F::kWrite;
    telegram[1] = handle;
    // A short read is no end: a pipe or a slow disk may give less than asked.
    std::size_t filled = 0;
    while (filled < chunk) {
      long got = source(telegram + 2 + filled, chunk - filled);
      if (got <= 0) {
        break;
      }
      filled += static_cast<std::size_t>(got);
    }
    if (filled < chunk) {
      code = BRICK_REFUSE(link, kBrickStopped);
    } else {
      std::uint8_t written[5] = {};
      code = request(link, Kind::System, telegram, 2 + chunk, written, sizeof written);
      std::size_t count = written[F::kReplyCount] | written[F::kReplyCount + 1] << 8;
      if (code == kBrickOk && count != chunk) {
        code = BRICK_REFUSE(link, kBrickBadReply);
      }
    }
    if (code != kBrickOk) {
      // The brick drops a file closed before its declared size; the DELETE is for a brick that
      // kept it all the same.
      closeHandle(handle);
      std::uint8_t gone[1 + F::kNameField];
      nameCommand(link, F::kDelete, name, gone, sizeof gone);
      return code;
    }
    done += chunk;
    if (progress) {
      progress(done, size);
    }
  }
  if (size == 0 && progress) {
    progress(0, 0);
  }
  return closeHandle(handle);
}

long Files::closeAllHandles(int& closed) {
  closed = 0;
  for (int handle = 0; handle < F::kHandles; ++handle) {
    std::uint8_t command[] = {F::kClose, static_cast<std::uint8_t>(handle)};
    std::uint8_t reply[3];
    // 0x88, a free handle, is the usual answer: asked without recording it.
    long code = request(link, Kind::System, command, sizeof command, reply, sizeof reply, false);
    if (code == kBrickOk) {
      ++closed;
    } else if (!isBrickStatus(code)) {
      return code;
    }
  }
  return kBrickOk;
}

long Files::download(const std::string& name, std::vector<std::uint8_t>& data,
                     const Progress& progress) {
  data.clear();
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  std::uint8_t opened[7];
  long code = nameCommand(link, F::kOpenRead, name, opened, sizeof opened);
  if (code != kBrickOk) {
    return code;
  }
  std::uint8_t handle = opened[F::kReplyHandle];
  std::size_t size = F::getU32(opened + F::kReplyOpenSize);
  while (data.size() < size) {
    std::size_t want = size - data.size();
    if (want > F::kMaxReadChunk) {
      want = F::kMaxReadChunk;
    }
    std::uint8_t read[] = {F::kRead, handle, static_cast<std::uint8_t>(want),
                           static_cast<std::uint8_t>(want >> 8)};
    std::uint8_t reply[F::kReplyReadData + F::kMaxReadChunk];
    code = request(link, Kind::System, read, sizeof read, reply, F::kReplyReadData + want);
    std::size_t count = reply[F::kReplyCount] | reply[F::kReplyCount + 1] << 8;
    if (code == kBrickOk && (count == 0 || count > want)) {
      code = BRICK_REFUSE(link, kBrickBadReply);
    }
    if (code != kBrickOk) {
      closeHandle(handle);
      data.clear();
      return code;
    }
    data.insert(data.end(), reply + F::kReplyReadData, reply + F::kReplyReadData + count);
    if (progress) {
      progress(data.size(), size);
    }
  }
  return closeHandle(handle);
}

long Files::remove(const std::string& name) {
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  std::uint8_t reply[2 + F::kNameField];
  return nameCommand(link, F::kDelete, name, reply, sizeof reply);
}

}  // namespace Lib
}  // namespace Brick
