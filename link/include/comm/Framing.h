// How telegrams are delimited on a transport: as whole packets (USB) or behind a 2-byte
// little-endian length prefix (Bluetooth and serial devices).
#ifndef COMM_FRAMING_H
#define COMM_FRAMING_H

#include <cstddef>
#include <cstdint>

#include "comm/Deadline.h"
#include "comm/Export.h"
#include "comm/RefCounted.h"
#include "comm/Transport.h"

namespace Comm {

class COMM_API Framing : public RefCounted {
 public:
  ~Framing() override;

  // Sends one telegram. Returns 0, or a negative LinkCode.
  virtual long send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                    const Deadline& deadline) = 0;
  // Receives one telegram of at most `capacity` bytes into `telegram`, its length in `length`.
  // Returns 0, or a negative LinkCode; after a failure the stream may be out of step, and the
  // next exchange first discards what is pending.
  virtual long receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
                       std::size_t& length, const Deadline& deadline) = 0;
};

}  // namespace Comm

#endif
