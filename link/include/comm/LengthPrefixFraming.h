// Telegrams on a byte stream, as over Bluetooth, framed as protocol/LengthPrefix.h says. A
// stream out of step has what is pending thrown away, so that the next exchange starts clean.
//
// Each read takes whatever has arrived, up to one whole frame of the largest size: usually a
// whole reply in one system call. A frame is judged against the receiver's capacity: one beyond
// 64 bytes is out of step unless the caller is waiting for a long reply (a streamed READ). Bytes
// beyond the frame wait for the next receive, as they would in the stream; after a failure they are
// dropped with the rest of the stream.
#ifndef COMM_LENGTHPREFIXFRAMING_H
#define COMM_LENGTHPREFIXFRAMING_H

#include <vector>

#include "comm/Framing.h"
#include "protocol/LengthPrefix.h"

namespace Comm {

class COMM_API LengthPrefixFraming : public Framing {
 public:
  ~LengthPrefixFraming() override;
  long send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
            const Deadline& deadline) override;
  long receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
               std::size_t& length, const Deadline& deadline) override;

 private:
  // Reads until `want` bytes are pending, or fails and drops what is pending.
  long fill(Transport& transport, std::size_t want, const Deadline& deadline);

  std::vector<std::uint8_t> pending =
      std::vector<std::uint8_t>(Nxt::LengthPrefix::kPrefixBytes + Nxt::kMaxStreamTelegram);
  std::size_t pendingLength = 0;
};

}  // namespace Comm

#endif
