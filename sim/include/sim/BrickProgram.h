// The program running on a virtual brick, as far as a host can see it: its name, its inboxes
// 0-9 that MESSAGEWRITE fills, and its outboxes 10-19 that MESSAGEREAD empties. What the
// program does with a message is scripted: rules from a world file ("a message in inbox 1 is
// answered in outbox 10 with a prefix"), or a test's own hook.
#ifndef SIM_BRICKPROGRAM_H
#define SIM_BRICKPROGRAM_H

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace Sim {

using Bytes = std::vector<std::uint8_t>;
class FlashStore;

class BrickProgram {
 public:
  // A scripted answer: each message arriving in `inbox` is put in `outbox` (10-19) with
  // `prefix` before it, while any program runs.
  struct Rule {
    int inbox;
    int outbox;
    std::string prefix;
  };
  // Called with the inbox and the message (without its closing NUL) when one arrives while a
  // program runs; it may post answers with post().
  using Hook = std::function<void(int inbox, const Bytes& message, BrickProgram& program)>;

  // Answers STARTPROGRAM, STOPPROGRAM, GETCURRENTPROGRAMNAME, MESSAGEWRITE and MESSAGEREAD.
  Bytes answer(const std::uint8_t* t, std::size_t n, const FlashStore& flash);
  static bool handles(std::uint8_t opcode);

  bool running() const { return !current.empty(); }
  const std::string& name() const { return current; }
  // Puts a message into a mailbox (0-19) as the program would; the oldest goes when it is full.
  void post(int box, const Bytes& message);
  void post(int box, const std::string& text) { post(box, Bytes(text.begin(), text.end())); }
  // Messages waiting in a mailbox, oldest first.
  const std::deque<Bytes>& mailbox(int box) const {
    return boxes.at(static_cast<std::size_t>(box));
  }

  std::vector<Rule> rules;
  Hook hook;

 private:
  Bytes start(const std::uint8_t* t, std::size_t n, const FlashStore& flash);
  Bytes write(const std::uint8_t* t, std::size_t n);
  Bytes read(const std::uint8_t* t, std::size_t n);

  std::string current;
  std::array<std::deque<Bytes>, 20> boxes;
};

}  // namespace Sim

#endif
