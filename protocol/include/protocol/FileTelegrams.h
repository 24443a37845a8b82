// The brick's file system commands (system telegrams, type 0x01): opcodes, status codes,
// limits and the 20-byte file name field, shared by the class library and the virtual brick.
#ifndef PROTOCOL_FILETELEGRAMS_H
#define PROTOCOL_FILETELEGRAMS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/Nxt.h"

namespace Nxt {
namespace Files {

// The opcodes are the protocol's own (protocol/Nxt.h), named here too for this family.
using Nxt::kClose;
using Nxt::kDelete;
using Nxt::kDeleteUserFlash;
using Nxt::kFindFirst;
using Nxt::kFindNext;
using Nxt::kGetFirmwareVersion;
using Nxt::kOpenAppendData;
using Nxt::kOpenRead;
using Nxt::kOpenWrite;
using Nxt::kOpenWriteData;
using Nxt::kOpenWriteLinear;
using Nxt::kRead;
using Nxt::kWrite;

// The brick's file handles are 0 to kHandles - 1.
const int kHandles = 16;

// Status bytes of the file commands.
const std::uint8_t kNoMoreHandles = 0x81;
const std::uint8_t kNoSpace = 0x82;
const std::uint8_t kNoMoreFiles = 0x83;
const std::uint8_t kEndOfFileExpected = 0x84;
const std::uint8_t kEndOfFile = 0x85;
const std::uint8_t kNotLinearFile = 0x86;
const std::uint8_t kFileNotFound = 0x87;
const std::uint8_t kHandleAlreadyClosed = 0x88;
const std::uint8_t kNoLinearSpace = 0x89;
const std::uint8_t kUndefinedError = 0x8A;
const std::uint8_t kFileBusy = 0x8B;
const std::uint8_t kNoWriteBuffers = 0x8C;
const std::uint8_t kAppendNotPossible = 0x8D;
const std::uint8_t kFileFull = 0x8E;
const std::uint8_t kFileExists = 0x8F;
const std::uint8_t kModuleNotFound = 0x90;
const std::uint8_t kOutOfBoundary = 0x91;
const std::uint8_t kIllegalFileName = 0x92;
const std::uint8_t kIllegalHandle = 0x93;

// A file name field: 20 bytes, NUL-padded. The brick takes any name up to 19 characters (one
// byte is left for the NUL) and checks nothing else: "noext" and "w3.rxe.txt" are names too.
const std::size_t kNameField = 20;
const std::size_t kMaxName = kNameField - 1;
// One WRITE carries at most this many data bytes (64 - type, opcode, handle); one READ reply
// brings at most this many (64 - 0x02, opcode, status, handle, 2-byte count).
const std::size_t kMaxWriteChunk = 61;
const std::size_t kMaxReadChunk = 58;

// Reply layouts, offsets from the echoed opcode (as the link hands replies over).
const std::size_t kReplyHandle = 2;     // every reply that carries a handle
const std::size_t kReplyOpenSize = 3;   // OPEN READ: file size (u32)
const std::size_t kReplyFindName = 3;   // FIND FIRST/NEXT: name (20)
const std::size_t kReplyFindSize = 23;  // FIND FIRST/NEXT: size (u32)
const std::size_t kReplyCount = 3;      // READ and WRITE: count (u16)
const std::size_t kReplyReadData = 5;   // READ: the data
const std::size_t kReplyFindLength = 27;
// GET FIRMWARE VERSION (a system command beside the file ones): protocol minor, major, firmware
// minor, major after the status.
const std::size_t kReplyFirmwareLength = 6;

// True when the brick accepts `name` as a file name, or as a search pattern ("*.rxe"): it
// checks only the length. A NUL inside could not cross the wire as part of the name.
inline bool validName(const std::string& name, bool /*pattern*/ = false) {
  return name.size() <= kMaxName && name.find('\0') == std::string::npos;
}

// Writes `name` into a 20-byte field, NUL-padded (the caller has checked it fits).
inline void putName(std::uint8_t* field, const std::string& name) {
  for (std::size_t i = 0; i < kNameField; ++i) {
    field[i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
  }
}

// The name in a 20-byte field, up to its first NUL.
inline std::string getName(const std::uint8_t* field) {
  std::size_t n = 0;
  while (n < kNameField && field[n] != 0) {
    ++n;
  }
  return std::string(reinterpret_cast<const char*>(field), n);
}

inline std::uint32_t getU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void putU32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace Files
}  // namespace Nxt

#endif
