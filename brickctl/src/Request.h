// One command and its reply for the newer operations, with the outcome as a code of
// BrickCode.h: a failed exchange, a refusal by the brick, or 0. Internal to the library.
#ifndef BRICK_REQUEST_H
#define BRICK_REQUEST_H

#include <cstddef>
#include <cstdint>

#include "brick/BrickCode.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {
namespace detail {

enum class Kind { Direct, System };

// Sends `command` (opcode first) and waits for its reply, `replyLength` bytes from the echoed
// opcode on, zero-filled where the reply does not reach. Returns 0, the link's code when the
// exchange failed (the link has recorded it), or kBrickStatus + the brick's status byte, which
// is recorded here unless `recordRefusal` is false (a poll that expects "not yet" answers).
long request(Comm::SerialCommunication* link, Kind kind, const std::uint8_t* command,
             std::size_t length, std::uint8_t* reply, std::size_t replyLength,
             bool recordRefusal = true);

// Sends a command whose reply says only "done" (motors, tones, sounds, sensor modes): as a
// no-reply telegram, unless the link's host asked for such replies (setConfirmCommands), then as
// request() does. The caller has refused beforehand what the brick would refuse.
long command(Comm::SerialCommunication* link, Kind kind, const std::uint8_t* command,
             std::size_t length);

// Records an argument refused before sending (or any other code found above the link) and
// returns it.
long refuse(Comm::SerialCommunication* link, long code, const char* file, unsigned long line);

// Sleeps for a poll interval.
void pause(int ms);

}  // namespace detail
}  // namespace Lib
}  // namespace Brick

#define BRICK_REFUSE(link, code) ::Brick::Lib::detail::refuse((link), (code), __FILE__, __LINE__)

#endif
