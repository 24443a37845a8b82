// Telegrams on a byte stream, as over Bluetooth: each preceded by its length in two bytes,
// little-endian. A length of 0 or beyond one telegram means the stream is out of step: what is
// pending is thrown away, so that the next exchange starts clean.
#ifndef COMM_LENGTHPREFIXFRAMING_H
#define COMM_LENGTHPREFIXFRAMING_H

#include "comm/Framing.h"

namespace Comm {

class COMM_API LengthPrefixFraming : public Framing {
 public:
  ~LengthPrefixFraming() override;
  long send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
            const Deadline& deadline) override;
  long receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
               std::size_t& length, const Deadline& deadline) override;
};

}  // namespace Comm

#endif
