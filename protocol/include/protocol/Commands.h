// The layout of every command telegram the system sends: its length and where each field sits,
// counted from the type byte (see Field.h). The class library builds commands from these, the
// virtual brick reads them, the decoder names them.
#ifndef PROTOCOL_COMMANDS_H
#define PROTOCOL_COMMANDS_H

#include <cstddef>

#include "protocol/Field.h"
#include "protocol/Nxt.h"

namespace Nxt {

// Every command: type, then opcode.
namespace Command {
constexpr Field kType{0, 1};
constexpr Field kOpcode{1, 1};
constexpr std::size_t kHeaderLength = 2;
}  // namespace Command

namespace PlayToneCommand {
constexpr Field kFrequency{2, 2};  // Hz
constexpr Field kDuration{4, 2};   // ms
constexpr std::size_t kLength = 6;
}  // namespace PlayToneCommand

namespace SetOutputStateCommand {
constexpr Field kPort{2, 1};   // 0-2, or 0xFF for all three
constexpr Field kPower{3, 1};  // signed, -100 to 100
constexpr Field kMode{4, 1};
constexpr Field kRegulation{5, 1};
constexpr Field kTurnRatio{6, 1};  // signed
constexpr Field kRunState{7, 1};
// A 4-byte number, though the published table numbers it "bytes 8-12".
constexpr Field kTachoLimit{8, 4};
constexpr std::size_t kLength = 12;
}  // namespace SetOutputStateCommand

namespace SetInputModeCommand {
constexpr Field kPort{2, 1};
constexpr Field kSensorType{3, 1};
constexpr Field kSensorMode{4, 1};
constexpr std::size_t kLength = 5;
}  // namespace SetInputModeCommand

namespace ResetMotorPositionCommand {
constexpr Field kPort{2, 1};
constexpr Field kRelative{3, 1};  // TRUE: the block tacho count; FALSE: the rotation count
constexpr std::size_t kLength = 4;
}  // namespace ResetMotorPositionCommand

// GETOUTPUTSTATE, GETINPUTVALUES, RESETINPUTSCALEDVALUE, LSGETSTATUS and LSREAD: a port only.
namespace PortCommand {
constexpr Field kPort{2, 1};
constexpr std::size_t kLength = 3;
}  // namespace PortCommand

namespace LsWriteCommand {
constexpr Field kPort{2, 1};
constexpr Field kTxLength{3, 1};
constexpr Field kRxLength{4, 1};
constexpr std::size_t kData = 5;  // tx bytes follow
constexpr std::size_t kMaxData = 16;
constexpr std::size_t kHeaderLength = kData;
}  // namespace LsWriteCommand

namespace SetBrickNameCommand {
constexpr std::size_t kName = 2;  // NUL-padded
constexpr std::size_t kNameBytes = kDeviceNameBytes + 1;
constexpr std::size_t kLength = kName + kNameBytes;
}  // namespace SetBrickNameCommand

}  // namespace Nxt

#endif
