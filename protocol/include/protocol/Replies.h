// The layout of every reply telegram: its length and where each field sits, counted from the
// type byte 0x02 (see Field.h). The virtual brick writes replies from these, the class library
// and the link read them, the decoder names them.
#ifndef PROTOCOL_REPLIES_H
#define PROTOCOL_REPLIES_H

#include <cstddef>

#include "protocol/Field.h"
#include "protocol/Nxt.h"

namespace Nxt {

// Every reply: 0x02, the opcode it answers, its status. A reply that carries nothing else (or
// one refused) is this long.
namespace Reply {
constexpr Field kType{0, 1};
constexpr Field kOpcode{1, 1};
constexpr Field kStatus{2, 1};
constexpr std::size_t kLength = 3;
}  // namespace Reply

namespace GetOutputStateReply {
constexpr Field kPort{3, 1};
constexpr Field kPower{4, 1};  // signed
constexpr Field kMode{5, 1};
constexpr Field kRegulation{6, 1};
constexpr Field kTurnRatio{7, 1};  // signed
constexpr Field kRunState{8, 1};
constexpr Field kTachoLimit{9, 4};
constexpr Field kTachoCount{13, 4};       // signed, since the last movement began
constexpr Field kBlockTachoCount{17, 4};  // signed, since the last relative reset
constexpr Field kRotationCount{21, 4};    // signed, since the last absolute reset
constexpr std::size_t kLength = 25;
}  // namespace GetOutputStateReply

namespace GetInputValuesReply {
constexpr Field kPort{3, 1};
constexpr Field kValid{4, 1};
constexpr Field kCalibrated{5, 1};
constexpr Field kSensorType{6, 1};
constexpr Field kSensorMode{7, 1};
constexpr Field kRaw{8, 2};
constexpr Field kNormalized{10, 2};
constexpr Field kScaled{12, 2};           // signed
constexpr Field kCalibratedValue{14, 2};  // signed
constexpr std::size_t kLength = 16;
}  // namespace GetInputValuesReply

namespace GetBatteryLevelReply {
constexpr Field kMillivolts{3, 2};
constexpr std::size_t kLength = 5;
}  // namespace GetBatteryLevelReply

namespace KeepAliveReply {
constexpr Field kSleepTime{3, 4};  // ms
constexpr std::size_t kLength = 7;
}  // namespace KeepAliveReply

namespace LsGetStatusReply {
constexpr Field kBytesReady{3, 1};
constexpr std::size_t kLength = 4;
}  // namespace LsGetStatusReply

namespace LsReadReply {
constexpr Field kBytesRead{3, 1};
constexpr std::size_t kData = 4;  // always 16 bytes, the unread ones 0
constexpr std::size_t kDataBytes = 16;
constexpr std::size_t kLength = kData + kDataBytes;
}  // namespace LsReadReply

namespace GetDeviceInfoReply {
constexpr std::size_t kName = 3;                            // kDeviceNameBytes, NUL-padded
constexpr std::size_t kAddress = kName + kDeviceNameBytes;  // Bluetooth address, then a 0
constexpr std::size_t kAddressBytes = 7;
constexpr Field kSignalStrength{kAddress + kAddressBytes, 4};
constexpr Field kFreeFlash{kSignalStrength.end(), 4};
constexpr std::size_t kLength = kFreeFlash.end();
}  // namespace GetDeviceInfoReply

// The GETDEVICEINFO reply's length without the leading 0x02, as the link hands it to callers.
const int kReplyGetDeviceInfo = static_cast<int>(GetDeviceInfoReply::kLength - kFromOpcode);
static_assert(kReplyGetDeviceInfo == 32, "the GETDEVICEINFO reply is 33 bytes");

}  // namespace Nxt

#endif
