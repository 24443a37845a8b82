#include "comm/TracingFraming.h"

#include <utility>

#include "comm/LinkCode.h"

namespace Comm {

TracingFraming::TracingFraming(Tracer t) : tracer(std::move(t)) {}

TracingFraming::~TracingFraming() {
  RefCounted::release(inner);
}

void TracingFraming::setInner(Framing* framing) {
  RefCounted::release(inner);
  inner = framing;
}

long TracingFraming::send(Transport& transport, const std::uint8_t* telegram, std::size_t n,
                          const Deadline& deadline) {
  if (inner == nullptr) {
    return kLinkNotOpen;
  }
  if (tracer) {
    tracer(true, telegram, n);
  }
  return inner->send(transport, telegram, n, deadline);
}

long TracingFraming::receive(Transport& transport, std::uint8_t* telegram, std::size_t capacity,
                             std::size_t& length, const Deadline& deadline) {
  if (inner == nullptr) {
    return kLinkNotOpen;
  }
  long rc = inner->receive(transport, telegram, capacity, length, deadline);
  if (rc == kLinkOk && tracer) {
    tracer(false, telegram, length);
  }
  return rc;
}

}  // namespace Comm
