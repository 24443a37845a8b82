// A byte pipe to a brick: a USB device, an RFCOMM socket, a serial device, or memory in tests.
#ifndef COMM_TRANSPORT_H
#define COMM_TRANSPORT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "comm/Deadline.h"
#include "comm/Export.h"
#include "comm/RefCounted.h"

namespace Comm {

class COMM_API Transport : public RefCounted {
 public:
  ~Transport() override;

  // Writes all n bytes before the deadline. Returns 0, or a negative LinkCode.
  virtual long write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) = 0;
  // Waits until at least one byte has arrived or the deadline passes, then reads at most n.
  // Returns the number of bytes read (at least 1), or a negative LinkCode (kLinkTimeout when
  // nothing arrived in time). A packet transport returns one whole packet per call.
  virtual long read(std::uint8_t* data, std::size_t n, const Deadline& deadline) = 0;
  // Throws away whatever has arrived and has not been read, without waiting.
  virtual void discardInput() = 0;
  // Releases the device; later calls fail with kLinkNotOpen. Harmless when repeated.
  virtual void close() = 0;
  // True when every read returns exactly one telegram (USB), false for a byte stream.
  virtual bool isPacketBased() const { return false; }

  // What the link knows about this device across exchanges. Every copy of a link shares the
  // transport, so the lock that makes one exchange (command and reply) whole lives here too.
  std::mutex exchangeLock;
  // The host's choice that commands whose reply says only "done" still get one
  // (SerialCommunication::setConfirmCommands).
  bool confirmCommands = false;
  // Set while a command sent without a reply may not have reached the brick: no reply has come
  // since. Closing first waits for one.
  bool unconfirmed = false;
  // Set once the brick refused a telegram over 64 bytes: it gets none again on this device.
  bool shortTelegramsOnly = false;
  // Set after a failed exchange: bytes of an abandoned reply may be pending.
  bool outOfStep = false;
  // Replies given up on, by opcode: the brick answers in order and may still send them.
  void owe(std::uint8_t opcode) {
    if (owed[opcode] < 255) {
      ++owed[opcode];
    }
  }
  bool owes(std::uint8_t opcode) const { return owed[opcode] != 0; }
  // A late reply came for one of them.
  void settle(std::uint8_t opcode) {
    if (owed[opcode] > 0) {
      --owed[opcode];
    }
  }
  // Everything sent before was answered or is lost.
  void settleAll() { owed.fill(0); }

 private:
  std::array<std::uint8_t, 256> owed{};
};

}  // namespace Comm

#endif
