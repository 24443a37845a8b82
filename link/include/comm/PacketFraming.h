// Telegrams as whole packets, as on USB: one write sends one telegram, one read brings one.
#ifndef COMM_PACKETFRAMING_H
#define COMM_PACKETFRAMING_H

#include "comm/Framing.h"

namespace Comm {

class COMM_API PacketFraming : public Framing {
 public:
  ~PacketFraming() override;
  long send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
            const Deadline& deadline) override;
  long receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
               std::size_t& length, const Deadline& deadline) override;
};

}  // namespace Comm

#endif
