// A framing that reports every telegram passing through another framing: what `brick --trace`
// and the virtual brick's users see. It sees telegrams as the brick does, without USB packet
// boundaries or the Bluetooth length prefix.
#ifndef COMM_TRACINGFRAMING_H
#define COMM_TRACINGFRAMING_H

#include <functional>

#include "comm/Framing.h"

namespace Comm {

class COMM_API TracingFraming : public Framing {
 public:
  // Called with each telegram sent (type byte first) and each received (0x02 first), replies
  // that turn out to be stale included; `sent` tells which.
  using Tracer = std::function<void(bool sent, const std::uint8_t* telegram, std::size_t n)>;

  explicit TracingFraming(Tracer tracer);
  ~TracingFraming() override;

  // Takes over one reference to `framing` (null: none), dropping the one held before.
  void setInner(Framing* framing);
  Framing* getInner() const { return inner; }
  void setTracer(Tracer newTracer) { tracer = std::move(newTracer); }

  long send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
            const Deadline& deadline) override;
  long receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
               std::size_t& length, const Deadline& deadline) override;

 private:
  Tracer tracer;
  Framing* inner = nullptr;
};

}  // namespace Comm

#endif
