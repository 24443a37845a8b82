// What SerialCommunication's operations share across its source files. Internal to the link.
#ifndef COMM_LINKINTERNALS_H
#define COMM_LINKINTERNALS_H

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "comm/Framing.h"
#include "comm/Transport.h"

namespace Comm {

class SerialCommunication;

namespace detail {

// A source file's name as the status record gives it: relative to the source tree.
const char* sourceName(const char* file);
// Whether a received telegram is a reply to a command with this opcode.
bool answers(const std::uint8_t* telegram, std::size_t n, std::uint8_t opcode);
// The lock every operation on one link holds, so that one thread's open or close never meets
// another's command.
std::recursive_mutex& guardOf(const SerialCommunication* link);
// Brings the link back in step before a command whose opcode a late reply may still echo.
// Returns 0, or the failure of the probe exchange.
long resync(Transport& transport, Framing& framing);

}  // namespace detail
}  // namespace Comm

#endif
