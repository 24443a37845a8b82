// The published commands a virtual brick does not carry out (it keeps no files, runs no
// programs, has no mailboxes): each gets the reply a real brick with an
// empty flash and no running program gives, in the reply's full layout, so that a client
// waiting for an answer always gets one it can read. docs/virtual-brick.md tables them.
#ifndef SIM_UNMODELLEDCOMMANDS_H
#define SIM_UNMODELLEDCOMMANDS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Sim {

class UnmodelledCommands {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // The reply to a telegram (type byte first, at least 2 bytes) whose opcode is one of these;
  // empty when the opcode is not.
  static Bytes answer(const std::uint8_t* t, std::size_t n);
  // A reply with this status in the published layout of the opcode's reply, data zeroed
  // (just the status for an opcode the protocol does not have).
  static Bytes refusal(bool system, std::uint8_t opcode, std::uint8_t status);
};

}  // namespace Sim

#endif
