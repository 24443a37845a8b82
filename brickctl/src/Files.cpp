#include "brick/Files.h"

#include <algorithm>
#include <array>
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

// Data a long WRITE or READ carries over Bluetooth: the brick streams it, so the round trip is
// paid once per chunk; a chunk this size keeps that to a few per cent of the line's time and
// still reports progress several times a second.
const std::size_t kLongChunk = 16384;
// READs sent back to back over USB before progress is told: each run ends in one reply's wait
// (the brick's 1 ms hold) before the next run's first READ goes, so a run of 256 (14.5 KiB,
// a quarter of a second) costs 0.4 % of the link's time.
const std::size_t kReadsPerRun = 256;

// transactLong() with the brick's status as request() gives it. A brick that refuses the
// telegram's length (0xBF) is told apart: `refusedLength`, nothing recorded.
long longRequest(Comm::SerialCommunication* link, const std::uint8_t* command, std::size_t length,
                 std::uint8_t* reply, std::size_t replyLength, std::size_t& got,
                 bool& refusedLength) {
  refusedLength = false;
  std::memset(reply, 0, replyLength);
  long rc = link->transactLong(command, length, reply, replyLength, got);
  if (rc != Comm::kLinkOk) {
    return rc;
  }
  if (got < 2 || reply[0] != command[0]) {
    return BRICK_REFUSE(link, kBrickBadReply);
  }
  if (reply[1] == Nxt::kStatusInsanePacket) {
    refusedLength = true;
    return brickStatusCode(reply[1]);
  }
  if (reply[1] != 0) {
    return BRICK_REFUSE(link, brickStatusCode(reply[1]));
  }
  return kBrickOk;
}

std::size_t countOf(const std::uint8_t* reply) {
  return reply[F::kReplyCount] | reply[F::kReplyCount + 1] << 8;
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
  // Over USB a WRITE's reply only repeats the count: they go without one (unless the host asked
  // for replies), and the file's size after CLOSE says whether the brick took them all.
  const bool posted = link->isPacketLink() && !link->confirmsCommands();
  std::vector<std::uint8_t> telegram(
      2 + (link->carriesLongTelegrams() ? kLongChunk : F::kMaxWriteChunk));
  std::size_t done = 0;
  while (code == kBrickOk && done < size) {
    const bool long_ = link->carriesLongTelegrams();
    std::size_t chunk = std::min<std::size_t>(size - done, long_ ? kLongChunk : F::kMaxWriteChunk);
    telegram[0] = F::kWrite;
    telegram[1] = handle;
    // A short read is no end: a pipe or a slow disk may give less than asked. The whole chunk
    // is in before its telegram goes, so a source that stops leaves no telegram half sent.
    std::size_t filled = 0;
    while (filled < chunk) {
      long got = source(telegram.data() + 2 + filled, chunk - filled);
      if (got <= 0) {
        break;
      }
      filled += static_cast<std::size_t>(got);
    }
    if (filled < chunk) {
      code = BRICK_REFUSE(link, kBrickStopped);
    } else if (long_) {
      code = writeLong(handle, telegram.data(), chunk, progress, done, size);
      continue;
    } else if (posted) {
      code = link->post(true, telegram.data(), static_cast<int>(2 + chunk));
    } else {
      std::uint8_t written[5] = {};
      code = request(link, Kind::System, telegram.data(), 2 + chunk, written, sizeof written);
      if (code == kBrickOk && countOf(written) != chunk) {
        code = BRICK_REFUSE(link, kBrickBadReply);
      }
    }
    if (code == kBrickOk) {
      done += chunk;
      if (progress) {
        progress(done, size);
      }
    }
  }
  if (code == kBrickOk && size == 0 && progress) {
    progress(0, 0);
  }
  if (code == kBrickOk) {
    code = closeHandle(handle);
    if (code == kBrickOk && posted) {
      code = checkSize(name, size);
    }
    return code;
  }
  // The brick drops a file closed before its declared size; the DELETE is for a brick that
  // kept it all the same.
  closeHandle(handle);
  std::uint8_t gone[1 + F::kNameField];
  nameCommand(link, F::kDelete, name, gone, sizeof gone);
  return code;
}

// One chunk in one telegram over Bluetooth (up to 128 bytes, or an extended WRITE beyond). A
// brick that refuses the length is remembered, and the chunk goes again in 61-byte WRITEs.
long Files::writeLong(std::uint8_t handle, const std::uint8_t* telegram, std::size_t chunk,
                      const Progress& progress, std::size_t& done, std::size_t size) {
  std::uint8_t written[5];
  std::size_t got = 0;
  bool refusedLength = false;
  long code = kBrickOk;
  if (2 + chunk > F::kMaxWriteChunk + 2) {
    code = longRequest(link, telegram, 2 + chunk, written, sizeof written, got, refusedLength);
  } else {
    refusedLength = false;
    code = request(link, Kind::System, telegram, 2 + chunk, written, sizeof written);
    got = sizeof written;
  }
  if (refusedLength) {
    link->keepToShortTelegrams();
    for (std::size_t at = 0; at < chunk; at += F::kMaxWriteChunk) {
      std::size_t piece = std::min(chunk - at, F::kMaxWriteChunk);
      std::uint8_t one[2 + F::kMaxWriteChunk] = {F::kWrite, handle};
      std::memcpy(one + 2, telegram + 2 + at, piece);
      code = request(link, Kind::System, one, 2 + piece, written, sizeof written);
      if (code == kBrickOk && countOf(written) != piece) {
        code = BRICK_REFUSE(link, kBrickBadReply);
      }
      if (code != kBrickOk) {
        return code;
      }
      done += piece;
      if (progress) {
        progress(done, size);
      }
    }
    return kBrickOk;
  }
  if (code == kBrickOk && (got < sizeof written || countOf(written) != chunk)) {
    code = BRICK_REFUSE(link, kBrickBadReply);
  }
  if (code == kBrickOk) {
    done += chunk;
    if (progress) {
      progress(done, size);
    }
  }
  return code;
}

// After WRITEs without replies: the brick enters a file at CLOSE only when all its declared
// bytes came, so the size it then reports is the check that every WRITE was taken.
long Files::checkSize(const std::string& name, std::uint32_t size) {
  std::uint8_t opened[7];
  long code = nameCommand(link, F::kOpenRead, name, opened, sizeof opened);
  if (code == brickStatusCode(F::kFileNotFound)) {
    // A WRITE was refused on the way (its status did not come back): the brick dropped it.
    return BRICK_REFUSE(link, brickStatusCode(F::kEndOfFileExpected));
  }
  if (code != kBrickOk) {
    return code;
  }
  code = closeHandle(opened[F::kReplyHandle]);
  if (code == kBrickOk && F::getU32(opened + F::kReplyOpenSize) != size) {
    code = BRICK_REFUSE(link, kBrickBadReply);
  }
  return code;
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
  data.reserve(size);
  while (code == kBrickOk && data.size() < size) {
    if (link->carriesLongTelegrams()) {
      code = readLong(handle, size, data);
    } else if (link->isPacketLink()) {
      code = readRun(handle, size, data);
    } else {
      code = readRun(handle, size, data, 1);
    }
    if (code == kBrickOk && progress) {
      progress(data.size(), size);
    }
  }
  if (code != kBrickOk) {
    closeHandle(handle);
    data.clear();
    return code;
  }
  return closeHandle(handle);
}

// One READ of up to kLongChunk bytes, answered in one long reply over Bluetooth. A brick that
// carries less than asked though more remains keeps to short replies: it is remembered, and
// the next READs ask for 58 bytes.
long Files::readLong(std::uint8_t handle, std::size_t size, std::vector<std::uint8_t>& data) {
  std::size_t want = std::min(size - data.size(), kLongChunk);
  std::uint8_t read[] = {F::kRead, handle, static_cast<std::uint8_t>(want),
                         static_cast<std::uint8_t>(want >> 8)};
  std::vector<std::uint8_t> reply(F::kReplyReadData + want);
  std::size_t got = 0;
  bool refusedLength = false;
  long code = longRequest(link, read, sizeof read, reply.data(), reply.size(), got, refusedLength);
  if (refusedLength) {
    link->keepToShortTelegrams();
    return kBrickOk;
  }
  std::size_t count = countOf(reply.data());
  if (code == kBrickOk && (count == 0 || count > want || got < F::kReplyReadData + count)) {
    code = BRICK_REFUSE(link, kBrickBadReply);
  }
  if (code != kBrickOk) {
    return code;
  }
  if (count < want) {
    link->keepToShortTelegrams();
  }
  data.insert(data.end(), reply.begin() + F::kReplyReadData,
              reply.begin() + static_cast<long>(F::kReplyReadData + count));
  return kBrickOk;
}

// READs of 58 bytes, up to kReadsPerRun of them sent back to back (`inFlight` awaiting their
// replies) and matched to their replies by the link.
long Files::readRun(std::uint8_t handle, std::size_t size, std::vector<std::uint8_t>& data,
                    std::size_t inFlight) {
  const std::size_t most = inFlight > 1 ? kReadsPerRun : 1;
  std::vector<std::array<std::uint8_t, 4>> reads(most);
  std::vector<std::array<std::uint8_t, F::kReplyReadData + F::kMaxReadChunk>> replies(most);
  std::vector<Comm::SerialCommunication::Pipelined> run(most);
  std::vector<std::size_t> wants(most);
  std::size_t n = 0;
  for (std::size_t at = data.size(); at < size && n < most; ++n) {
    std::size_t want = std::min(size - at, F::kMaxReadChunk);
    wants[n] = want;
    reads[n][0] = F::kRead;
    reads[n][1] = handle;
    reads[n][2] = static_cast<std::uint8_t>(want);
    reads[n][3] = static_cast<std::uint8_t>(want >> 8);
    replies[n].fill(0);
    run[n].system = true;
    run[n].command = reads[n].data();
    run[n].length = 4;
    run[n].reply = replies[n].data();
    run[n].replyLength = static_cast<int>(F::kReplyReadData + want);
    at += want;
  }
  long code = n == 1 ? request(link, Kind::System, reads[0].data(), 4, replies[0].data(),
                               F::kReplyReadData + wants[0])
                     : link->pipeline(run.data(), n, inFlight);
  for (std::size_t i = 0; i < n && code == kBrickOk; ++i) {
    if (n > 1 && replies[i][1] != 0) {
      code = BRICK_REFUSE(link, brickStatusCode(replies[i][1]));
      break;
    }
    std::size_t count = countOf(replies[i].data());
    if (count == 0 || count > wants[i] || (count < wants[i] && i + 1 < n)) {
      code = BRICK_REFUSE(link, kBrickBadReply);
      break;
    }
    const std::uint8_t* chunk = replies[i].data() + F::kReplyReadData;
    data.insert(data.end(), chunk, chunk + count);
  }
  return code;
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
