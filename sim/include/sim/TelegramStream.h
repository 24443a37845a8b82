// The bytes a client sends the brick over Bluetooth, cut into telegrams: a 2-byte little-endian
// length before each. A telegram over 64 bytes is taken in whole all the same (up to what the
// prefix can say), so that the stream stays in step and the brick can refuse it.
#ifndef SIM_TELEGRAMSTREAM_H
#define SIM_TELEGRAMSTREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/LengthPrefix.h"

namespace Sim {

class TelegramStream {
 public:
  void add(const std::uint8_t* bytes, std::size_t n) {
    pending.insert(pending.end(), bytes, bytes + n);
  }

  // Takes the next whole telegram out (an empty one for a length of 0: nothing to answer, but
  // a trace shows that it came). False when none is whole yet.
  bool next(std::vector<std::uint8_t>& telegram) {
    if (pending.size() >= Nxt::LengthPrefix::kPrefixBytes && pending[0] == 0 && pending[1] == 0) {
      pending.erase(pending.begin(), pending.begin() + Nxt::LengthPrefix::kPrefixBytes);
      telegram.clear();
      return true;
    }
    std::size_t n = 0;
    Nxt::LengthPrefix::Scan found =
        Nxt::LengthPrefix::scan(pending.data(), pending.size(), n, 0xFFFF);
    if (found == Nxt::LengthPrefix::Scan::kOutOfStep) {
      pending.clear();
    }
    if (found != Nxt::LengthPrefix::Scan::kComplete) {
      return false;
    }
    auto start = pending.begin() + static_cast<long>(Nxt::LengthPrefix::kPrefixBytes);
    telegram.assign(start, start + static_cast<long>(n));
    pending.erase(pending.begin(), start + static_cast<long>(n));
    return true;
  }

  void clear() { pending.clear(); }
  bool empty() const { return pending.empty(); }

 private:
  std::vector<std::uint8_t> pending;
};

}  // namespace Sim

#endif
