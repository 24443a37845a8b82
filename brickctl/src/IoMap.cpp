#include "brick/IoMap.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/ModuleTelegrams.h"

namespace Brick {
namespace Lib {

namespace M = Nxt::Modules;
using detail::Kind;
using detail::request;

static_assert(IoMap::kReadPiece == M::kMostReadUsb, "a READ IO MAP reply fits a USB packet");
static_assert(IoMap::kWritePiece == M::kMostWriteUsb, "a WRITE IO MAP fits a USB packet");

namespace {

// Replies as the link hands them over, from the echoed opcode on.
const std::size_t kFindReply = M::FindReply::kLength - Nxt::kFromOpcode;
const std::size_t kCloseReply = M::CloseReply::kLength - Nxt::kFromOpcode;

IoMap::Module moduleIn(const std::uint8_t* reply) {
  namespace R = M::FindReply;
  IoMap::Module module;
  const char* name = reinterpret_cast<const char*>(reply + R::kName - Nxt::kFromOpcode);
  module.name.assign(name, strnlen(name, R::kNameBytes));
  module.id = Nxt::get(reply, R::kId, Nxt::kFromOpcode);
  module.moduleSize = Nxt::get(reply, R::kModuleSize, Nxt::kFromOpcode);
  module.ioMapSize = static_cast<std::uint16_t>(Nxt::get(reply, R::kIoMapSize, Nxt::kFromOpcode));
  return module;
}

bool idIn(const std::string& text, std::uint32_t& id) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) {
    return false;
  }
  id = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

IoMap::IoMap(Block& block) : link(&block.getCommunication()) {}
IoMap::IoMap(Comm::SerialCommunication& l) : link(&l) {}

long IoMap::find(const std::string& pattern, std::vector<Module>& out) {
  out.clear();
  if (pattern.empty() || pattern.size() >= M::FindFirstCommand::kPatternBytes ||
      pattern.find('\0') != std::string::npos) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::uint8_t first[M::FindFirstCommand::kLength - Nxt::kFromOpcode] = {M::kFindFirstModule};
  std::memcpy(first + M::FindFirstCommand::kPattern - Nxt::kFromOpcode, pattern.data(),
              pattern.size());
  std::uint8_t reply[kFindReply];
  std::uint8_t close[] = {M::kCloseModuleHandle, 0};
  std::uint8_t closed[kCloseReply];
  long code = request(link, Kind::System, first, sizeof first, reply, sizeof reply, false);
  if (code == brickStatusCode(M::kSearchOpen)) {
    // A search another client left open: the brick keeps one at a time.
    request(link, Kind::System, close, sizeof close, closed, sizeof closed);
    code = request(link, Kind::System, first, sizeof first, reply, sizeof reply, false);
  }
  while (code == kBrickOk) {
    out.push_back(moduleIn(reply));
    std::uint8_t next[] = {M::kFindNextModule, 0};
    code = request(link, Kind::System, next, sizeof next, reply, sizeof reply, false);
  }
  // The search stays open even when nothing matched.
  long closing = request(link, Kind::System, close, sizeof close, closed, sizeof closed);
  if (code == brickStatusCode(M::kModuleNotFound)) {
    return closing;  // the list has ended
  }
  if (isBrickStatus(code)) {
    link->recordStatus(code, __FILE__, __LINE__);
  }
  return code;
}

long IoMap::lookup(const std::string& text, Module& out) {
  std::uint32_t id = 0;
  bool byId = idIn(text, id);
  std::string pattern = text;
  if (byId) {
    pattern = "*.*";
  } else if (text.find('.') == std::string::npos) {
    pattern += ".mod";
  }
  std::vector<Module> found;
  long code = find(pattern, found);
  if (code != kBrickOk) {
    return code;
  }
  for (const Module& module : found) {
    if (!byId || module.id == id) {
      out = module;
      return kBrickOk;
    }
  }
  return BRICK_REFUSE(link, brickStatusCode(M::kModuleNotFound));
}

long IoMap::read(std::uint32_t id, std::size_t offset, std::size_t count,
                 std::vector<std::uint8_t>& out) {
  namespace C = M::IoMapCommand;
  namespace R = M::IoMapReply;
  out.clear();
  if (offset + count > 0xFFFF) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::size_t done = 0;
  do {
    std::size_t piece = std::min(count - done, kReadPiece);
    std::uint8_t command[C::kLength - Nxt::kFromOpcode] = {M::kReadIoMap};
    Nxt::put(command, C::kId, id, Nxt::kFromOpcode);
    Nxt::put(command, C::kOffset, static_cast<std::uint32_t>(offset + done), Nxt::kFromOpcode);
    Nxt::put(command, C::kCount, static_cast<std::uint32_t>(piece), Nxt::kFromOpcode);
    std::uint8_t reply[R::kData - Nxt::kFromOpcode + kReadPiece];
    long code = request(link, Kind::System, command, sizeof command, reply,
                        R::kData - Nxt::kFromOpcode + piece);
    if (code != kBrickOk) {
      return code;
    }
    if (Nxt::get(reply, R::kCount, Nxt::kFromOpcode) != piece) {
      return BRICK_REFUSE(link, kBrickBadReply);
    }
    const std::uint8_t* data = reply + R::kData - Nxt::kFromOpcode;
    out.insert(out.end(), data, data + piece);
    done += piece;
  } while (done < count);
  return kBrickOk;
}

long IoMap::write(std::uint32_t id, std::size_t offset, const std::vector<std::uint8_t>& data) {
  namespace C = M::IoMapCommand;
  namespace R = M::IoMapReply;
  if (offset + data.size() > 0xFFFF) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::size_t done = 0;
  do {
    std::size_t piece = std::min(data.size() - done, kWritePiece);
    std::uint8_t command[C::kData - Nxt::kFromOpcode + kWritePiece] = {M::kWriteIoMap};
    Nxt::put(command, C::kId, id, Nxt::kFromOpcode);
    Nxt::put(command, C::kOffset, static_cast<std::uint32_t>(offset + done), Nxt::kFromOpcode);
    Nxt::put(command, C::kCount, static_cast<std::uint32_t>(piece), Nxt::kFromOpcode);
    if (piece > 0) {
      std::memcpy(command + C::kData - Nxt::kFromOpcode, data.data() + done, piece);
    }
    std::uint8_t reply[R::kLength - Nxt::kFromOpcode];
    long code = request(link, Kind::System, command, C::kData - Nxt::kFromOpcode + piece, reply,
                        sizeof reply);
    if (code != kBrickOk) {
      return code;
    }
    if (Nxt::get(reply, R::kCount, Nxt::kFromOpcode) != piece) {
      return BRICK_REFUSE(link, kBrickBadReply);
    }
    done += piece;
  } while (done < data.size());
  return kBrickOk;
}

}  // namespace Lib
}  // namespace Brick
