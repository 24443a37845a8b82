// A transport that hands each written packet to a function in the same process and returns
// the packets it answers with: a brick in memory, for tests, benchmarks and fuzzing.
#ifndef COMM_MEMORYTRANSPORT_H
#define COMM_MEMORYTRANSPORT_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "comm/Export.h"
#include "comm/Transport.h"

namespace Comm {

class COMM_API MemoryTransport : public Transport {
 public:
  // Called with every packet written; appends the packets to deliver to `replies`.
  using Peer = std::function<void(const std::uint8_t* packet, std::size_t n,
                                  std::deque<std::vector<std::uint8_t>>& replies)>;

  explicit MemoryTransport(Peer peer);
  ~MemoryTransport() override;

  long write(const std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  long read(std::uint8_t* data, std::size_t n, const Deadline& deadline) override;
  void discardInput() override;
  void close() override;
  bool isPacketBased() const override { return true; }

 private:
  Peer peer;
  std::deque<std::vector<std::uint8_t>> pending;
  bool open = true;
};

}  // namespace Comm

#endif
