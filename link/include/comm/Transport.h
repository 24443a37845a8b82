// A byte pipe to a brick: a USB device, an RFCOMM socket, a serial device, or memory in tests.
#ifndef COMM_TRANSPORT_H
#define COMM_TRANSPORT_H

#include <cstddef>
#include <cstdint>

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
};

}  // namespace Comm

#endif
