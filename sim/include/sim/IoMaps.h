// The firmware's modules as a virtual brick shows them to a host: the module commands (FIND
// FIRST / NEXT MODULE, CLOSE MODULE HANDLE, READ / WRITE IO MAP) over an IO map of the real size
// for each module.
//
// The Output, Input, Display, Button, Sound, UI, Comm (the name), Command (the program) and
// Loader (free flash) maps are filled from the brick's state each time a module command reads
// them, and what the firmware acts on when a host writes it reaches the brick: an output's
// update flags, a sensor's type, a tone or sound file, a button press through the UI map, the
// volume, switching off. Everything else in a map holds what was last written to it (zeros at
// first), as memory does.
#ifndef SIM_IOMAPS_H
#define SIM_IOMAPS_H

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/BrickScreen.h"
#include "sim/Environment.h"

namespace Sim {

using Bytes = std::vector<std::uint8_t>;
class VirtualBrick;

class IoMaps {
 public:
  // A button pressed through the UI map, as the menu took it: its index in the Button map
  // (0 exit, 1 right, 2 left, 3 enter) and the world's time then.
  struct Press {
    int button;
    double seconds;
  };

  IoMaps();
  static bool handles(std::uint8_t opcode);
  // Answers a module command (type byte first); `most` is the link's telegram size, which
  // bounds what one READ IO MAP returns.
  Bytes answer(const std::uint8_t* t, std::size_t n, std::size_t most, VirtualBrick& brick);

  // A module's IO map as a host would read it now; empty for an unknown id.
  const Bytes& map(std::uint32_t id, VirtualBrick& brick);
  // The last kKept presses, oldest first.
  const std::deque<Press>& presses() const { return pressLog; }
  static constexpr std::size_t kKept = 256;

 private:
  Bytes find(const std::uint8_t* t, std::size_t n, VirtualBrick& brick);
  Bytes read(const std::uint8_t* t, std::size_t n, std::size_t most, VirtualBrick& brick);
  Bytes write(const std::uint8_t* t, std::size_t n, VirtualBrick& brick);

  // IoMapsLive.cpp: filling a map from the brick, and acting on what a host wrote.
  void refresh(std::uint32_t id, VirtualBrick& brick);
  void wrote(std::uint32_t id, std::size_t offset, std::size_t count, const Bytes& before,
             VirtualBrick& brick);
  void refreshOutput(VirtualBrick& brick);
  void refreshInput(VirtualBrick& brick);
  void refreshSound(VirtualBrick& brick);
  void refreshUi(VirtualBrick& brick);
  void refreshScreen(VirtualBrick& brick);
  void wroteOutput(std::size_t offset, std::size_t count, VirtualBrick& brick);
  void wroteInput(const Bytes& before, VirtualBrick& brick);
  void wroteSound(VirtualBrick& brick);
  void wroteUi(VirtualBrick& brick);
  void press(int button, VirtualBrick& brick);
  void noteSound(VirtualBrick& brick);

  std::map<std::uint32_t, Bytes> maps;
  // One module search at a time; FIND NEXT goes on from `next` with the same pattern.
  bool searching = false;
  std::string pattern;
  std::size_t next = 0;
  // What the menu shows now; it draws again when that changes, so what a host drew stays
  // until then.
  BrickScreen::Shows shown;
  bool drawn = false;
  // The tone playing: when it ends on the world's clock, and the tone and stop counts seen, so
  // that a PLAYTONE or STOPSOUNDPLAYBACK since the last look is noticed.
  double toneEnds = -1;
  std::uint64_t tonesSeen = 0;
  std::size_t stopsSeen = 0;
  std::uint8_t volume = 3;
  // The motors' settings the Output map last showed.
  std::array<OutputState, 3> outputsSeen{};
  std::deque<Press> pressLog;
};

}  // namespace Sim

#endif
