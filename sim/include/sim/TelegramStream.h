// The bytes a client sends the brick over Bluetooth, cut into telegrams: a 2-byte little-endian
// length before each. A telegram over the brick's 128 bytes is taken in whole all the same (up to
// what the prefix can say), so that the stream stays in step and the brick can refuse it; but an
// extended WRITE, which a brick takes over Bluetooth as its bytes arrive, comes out in pieces, so
// that a 64 KiB one is never held whole.
#ifndef SIM_TELEGRAMSTREAM_H
#define SIM_TELEGRAMSTREAM_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/FileTelegrams.h"
#include "protocol/LengthPrefix.h"

namespace Sim {

class TelegramStream {
 public:
  // A whole telegram (first and last), or a piece of an extended WRITE: the first holds its
  // type, opcode and handle and whatever data had come, the others data only.
  struct Piece {
    std::vector<std::uint8_t> bytes;
    std::size_t length = 0;  // the whole telegram's length, as its prefix says
    bool first = true;
    bool last = true;
    bool extended = false;  // a piece of an extended WRITE (first and last when it came whole)
  };

  // The longest telegram a brick holds in its Bluetooth buffer; a WRITE beyond it streams.
  static constexpr std::size_t kBuffer = 128;
  // The header of a WRITE: type, opcode, handle.
  static constexpr std::size_t kWriteHead = 3;

  void add(const std::uint8_t* bytes, std::size_t n) {
    pending.insert(pending.end(), bytes, bytes + n);
  }

  // Takes the next whole telegram out (an empty one for a length of 0: nothing to answer, but
  // a trace shows that it came). False when none is whole yet. Every telegram comes whole.
  bool next(std::vector<std::uint8_t>& telegram) {
    Piece piece;
    if (!take(piece, false)) {
      return false;
    }
    telegram.swap(piece.bytes);
    return true;
  }

  // The same, with extended WRITEs in pieces as their bytes arrive.
  bool next(Piece& piece) { return take(piece, true); }

  // True when a whole telegram (or the start of an extended WRITE) waits: a client sent it
  // without waiting for the reply of the one before.
  bool queued() const {
    if (streamLeft > 0) {
      return !pending.empty();
    }
    std::size_t n = 0;
    Nxt::LengthPrefix::Scan found =
        Nxt::LengthPrefix::scan(pending.data(), pending.size(), n, 0xFFFF);
    return found == Nxt::LengthPrefix::Scan::kComplete || streams(n);
  }

  void clear() {
    pending.clear();
    streamLeft = 0;
  }
  bool empty() const { return pending.empty() && streamLeft == 0; }

 private:
  bool streams(std::size_t n) const {
    const std::size_t at = Nxt::LengthPrefix::kPrefixBytes;
    return n > kBuffer && pending.size() >= at + kWriteHead && (pending[at] & 0x7F) == 0x01 &&
           pending[at + 1] == Nxt::Files::kWrite;
  }

  bool take(Piece& piece, bool pieces) {
    if (streamLeft > 0) {
      if (pending.empty()) {
        return false;
      }
      std::size_t n = std::min(streamLeft, pending.size());
      piece.bytes.assign(pending.begin(), pending.begin() + static_cast<long>(n));
      pending.erase(pending.begin(), pending.begin() + static_cast<long>(n));
      streamLeft -= n;
      piece.length = streamLength;
      piece.first = false;
      piece.last = streamLeft == 0;
      piece.extended = true;
      return true;
    }
    if (pending.size() >= Nxt::LengthPrefix::kPrefixBytes && pending[0] == 0 && pending[1] == 0) {
      pending.erase(pending.begin(), pending.begin() + Nxt::LengthPrefix::kPrefixBytes);
      piece = Piece();
      return true;
    }
    std::size_t n = 0;
    Nxt::LengthPrefix::Scan found =
        Nxt::LengthPrefix::scan(pending.data(), pending.size(), n, 0xFFFF);
    if (found == Nxt::LengthPrefix::Scan::kOutOfStep) {
      pending.clear();
    }
    auto start = pending.begin() + static_cast<long>(Nxt::LengthPrefix::kPrefixBytes);
    if (pieces && found != Nxt::LengthPrefix::Scan::kOutOfStep && streams(n)) {
      std::size_t have = std::min(n, pending.size() - Nxt::LengthPrefix::kPrefixBytes);
      piece.bytes.assign(start, start + static_cast<long>(have));
      pending.erase(pending.begin(), start + static_cast<long>(have));
      piece.length = n;
      piece.first = true;
      piece.last = have == n;
      piece.extended = true;
      streamLength = n;
      streamLeft = n - have;
      return true;
    }
    if (found != Nxt::LengthPrefix::Scan::kComplete) {
      return false;
    }
    piece.bytes.assign(start, start + static_cast<long>(n));
    pending.erase(pending.begin(), start + static_cast<long>(n));
    piece.length = n;
    piece.first = true;
    piece.last = true;
    piece.extended = false;
    return true;
  }

  std::vector<std::uint8_t> pending;
  std::size_t streamLeft = 0;  // bytes of the extended WRITE under way still to come
  std::size_t streamLength = 0;
};

}  // namespace Sim

#endif
