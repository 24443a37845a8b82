// The brick's module commands (system telegrams 0x90-0x95): finding the firmware's modules and
// reading or writing a module's IO map, the block of memory through which the firmware's parts
// talk to each other. Request and reply layouts count from the type byte (see Field.h).
#ifndef PROTOCOL_MODULETELEGRAMS_H
#define PROTOCOL_MODULETELEGRAMS_H

#include <cstddef>
#include <cstdint>

#include "protocol/Field.h"
#include "protocol/Nxt.h"

namespace Nxt {
namespace Modules {

using Nxt::kCloseModuleHandle;
using Nxt::kFindFirstModule;
using Nxt::kFindNextModule;
using Nxt::kReadIoMap;
using Nxt::kWriteIoMap;

// Status bytes of the module commands.
const std::uint8_t kSearchOpen = 0x81;  // a module search is open already: CLOSE it first
const std::uint8_t kModuleNotFound = 0x90;
const std::uint8_t kOutOfBoundary = 0x91;  // offset + count past the end of the IO map

// FIND FIRST MODULE: a 20-byte ASCIIZ pattern ("*.*", "Name.*", "*.mod" or a full name).
namespace FindFirstCommand {
constexpr std::size_t kPattern = 2;
constexpr std::size_t kPatternBytes = 20;
constexpr std::size_t kLength = kPattern + kPatternBytes;
}  // namespace FindFirstCommand

// FIND NEXT MODULE and CLOSE MODULE HANDLE: a handle the firmware does not look at.
namespace HandleCommand {
constexpr Field kHandle{2, 1};
constexpr std::size_t kLength = 3;
}  // namespace HandleCommand

// FIND FIRST / FIND NEXT MODULE's reply, 34 bytes whatever the status (zeros after it on an
// error).
namespace FindReply {
constexpr Field kHandle{3, 1};  // always 0
constexpr std::size_t kName = 4;
constexpr std::size_t kNameBytes = 20;
constexpr Field kId{24, 4};
constexpr Field kModuleSize{28, 4};
constexpr Field kIoMapSize{32, 2};
constexpr std::size_t kLength = 34;
}  // namespace FindReply

namespace CloseReply {
constexpr Field kHandle{3, 1};
constexpr std::size_t kLength = 4;
}  // namespace CloseReply

// READ IO MAP and WRITE IO MAP (whose data follow the count).
namespace IoMapCommand {
constexpr Field kId{2, 4};
constexpr Field kOffset{6, 2};
constexpr Field kCount{8, 2};
constexpr std::size_t kData = 10;
constexpr std::size_t kLength = kData;
}  // namespace IoMapCommand

// Both replies: the id echoed and the count done; a READ's data follow, as many bytes as it
// was asked for (after the brick's cut), zero when it refused.
namespace IoMapReply {
constexpr Field kId{3, 4};
constexpr Field kCount{7, 2};
constexpr std::size_t kData = 9;
constexpr std::size_t kLength = kData;
}  // namespace IoMapReply

// The brick cuts a READ IO MAP's count so that its reply fits one receive buffer: 64 bytes
// over USB, 128 over Bluetooth. A WRITE IO MAP must fit one whole.
const std::size_t kMostReadUsb = kMaxTelegram - IoMapReply::kData;     // 55
const std::size_t kMostReadBluetooth = 128 - IoMapReply::kData;        // 119
const std::size_t kMostWriteUsb = kMaxTelegram - IoMapCommand::kData;  // 54
const std::size_t kMostWriteBluetooth = 128 - IoMapCommand::kData;     // 118

}  // namespace Modules
}  // namespace Nxt

#endif
