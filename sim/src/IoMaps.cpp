#include "sim/IoMaps.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "AnswerParts.h"
#include "protocol/IoMapLayout.h"
#include "protocol/ModuleTelegrams.h"

namespace Sim {

using namespace answer;
namespace M = Nxt::Modules;
namespace L = Nxt::IoMaps;

namespace {

std::string upper(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

// The firmware's module patterns, case-insensitive: "*.*" all, "NAME.*" names that start so,
// "*.EXT" names that hold ".EXT" anywhere, anything else the whole name.
bool matches(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") {
    return true;
  }
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0) {
    return name.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  }
  if (pattern.size() >= 2 && pattern[0] == '*' && pattern[1] == '.') {
    return name.find(pattern.substr(1)) != std::string::npos;
  }
  return pattern == name;
}

Bytes emptyMap;

}  // namespace

IoMaps::IoMaps() {
  for (const L::Module& module : L::kModules) {
    maps[module.id] = Bytes(module.ioMapSize, 0);
  }
  maps[L::kDisplayId][L::Display::kFlags.offset] = L::Display::kOn | L::Display::kRefresh;
}

bool IoMaps::handles(std::uint8_t opcode) {
  return opcode == M::kFindFirstModule || opcode == M::kFindNextModule ||
         opcode == M::kCloseModuleHandle || opcode == M::kReadIoMap || opcode == M::kWriteIoMap;
}

Bytes IoMaps::answer(const std::uint8_t* t, std::size_t n, std::size_t most, VirtualBrick& brick) {
  switch (t[1]) {
    case M::kFindFirstModule:
    case M::kFindNextModule:
      return find(t, n, brick);
    case M::kCloseModuleHandle:
      searching = false;  // whatever the handle: the firmware keeps one search
      return reply(t[1], Nxt::kStatusOk, M::CloseReply::kLength);
    case M::kReadIoMap:
      return read(t, n, most, brick);
    default:
      return write(t, n, brick);
  }
}

Bytes IoMaps::find(const std::uint8_t* t, std::size_t n, VirtualBrick& /*brick*/) {
  namespace R = M::FindReply;
  std::uint8_t op = t[1];
  if (op == M::kFindFirstModule) {
    if (n < M::FindFirstCommand::kLength) {
      return reply(op, Nxt::kStatusInsanePacket, R::kLength);
    }
    if (searching) {
      return reply(op, M::kSearchOpen, R::kLength);
    }
    // Open even when nothing matches: the firmware wants a CLOSE either way.
    searching = true;
    const char* text = reinterpret_cast<const char*>(t + M::FindFirstCommand::kPattern);
    pattern = upper(std::string(text, strnlen(text, M::FindFirstCommand::kPatternBytes)));
    next = 0;
  } else if (n < M::HandleCommand::kLength) {
    return reply(op, Nxt::kStatusInsanePacket, R::kLength);
  } else if (!searching) {
    return reply(op, M::kModuleNotFound, R::kLength);
  }
  for (; next < L::kModuleCount; ++next) {
    const L::Module& module = L::kModules[next];
    if (matches(pattern, upper(module.name))) {
      ++next;
      Bytes out = reply(op, Nxt::kStatusOk, R::kLength);
      std::memcpy(out.data() + R::kName, module.name, std::strlen(module.name));
      set(out, R::kId, module.id);
      set(out, R::kIoMapSize, module.ioMapSize);
      return out;
    }
  }
  return reply(op, M::kModuleNotFound, R::kLength);
}

Bytes IoMaps::read(const std::uint8_t* t, std::size_t n, std::size_t most, VirtualBrick& brick) {
  namespace C = M::IoMapCommand;
  namespace R = M::IoMapReply;
  if (n < C::kLength) {
    return reply(t[1], Nxt::kStatusInsanePacket, R::kLength);
  }
  std::uint32_t id = Nxt::get(t, C::kId);
  std::size_t offset = Nxt::get(t, C::kOffset);
  // The firmware cuts the count to what one reply can carry, and sends that many data bytes
  // whatever it answers.
  std::size_t count = std::min<std::size_t>(Nxt::get(t, C::kCount), most - R::kData);
  Bytes out = reply(t[1], Nxt::kStatusOk, R::kData + count);
  set(out, R::kId, id);
  const L::Module* module = L::moduleById(id);
  if (module == nullptr || offset + count > module->ioMapSize) {
    set(out, Nxt::Reply::kStatus, module == nullptr ? M::kModuleNotFound : M::kOutOfBoundary);
    return out;
  }
  refresh(id, brick);
  const Bytes& bytes = maps[id];
  std::copy(bytes.begin() + static_cast<long>(offset),
            bytes.begin() + static_cast<long>(offset + count), out.begin() + R::kData);
  set(out, R::kCount, static_cast<std::uint32_t>(count));
  return out;
}

Bytes IoMaps::write(const std::uint8_t* t, std::size_t n, VirtualBrick& brick) {
  namespace C = M::IoMapCommand;
  namespace R = M::IoMapReply;
  Bytes out = reply(t[1], Nxt::kStatusOk, R::kLength);
  if (n < C::kLength) {
    set(out, Nxt::Reply::kStatus, Nxt::kStatusInsanePacket);
    return out;
  }
  std::uint32_t id = Nxt::get(t, C::kId);
  std::size_t offset = Nxt::get(t, C::kOffset);
  std::size_t count = Nxt::get(t, C::kCount);
  set(out, R::kId, id);
  const L::Module* module = L::moduleById(id);
  if (module == nullptr || offset + count > module->ioMapSize) {
    set(out, Nxt::Reply::kStatus, module == nullptr ? M::kModuleNotFound : M::kOutOfBoundary);
    return out;
  }
  if (n < C::kData + count) {
    // The firmware would copy whatever the previous telegram left in its buffer.
    set(out, Nxt::Reply::kStatus, Nxt::kStatusInsanePacket);
    return out;
  }
  refresh(id, brick);
  Bytes& bytes = maps[id];
  Bytes before = bytes;
  std::copy(t + C::kData, t + C::kData + count, bytes.begin() + static_cast<long>(offset));
  wrote(id, offset, count, before, brick);
  set(out, R::kCount, static_cast<std::uint32_t>(count));
  return out;
}

const Bytes& IoMaps::map(std::uint32_t id, VirtualBrick& brick) {
  auto found = maps.find(id);
  if (found == maps.end()) {
    return emptyMap;
  }
  refresh(id, brick);
  return found->second;
}

}  // namespace Sim
