// The brick's own menu screen as the virtual brick shows it: the brick's name on top, the
// battery's charge beside it, and below either the running program or the menu's first entry.
// Drawn into a screen buffer laid out as the display module keeps it: 8 bands of 100 bytes,
// each byte 8 pixels one above the other, bit 0 uppermost.
#ifndef SIM_BRICKSCREEN_H
#define SIM_BRICKSCREEN_H

#include <cstdint>
#include <string>

namespace Sim {

class BrickScreen {
 public:
  struct Shows {
    std::string name;
    int batteryState = 4;  // 0 (empty) to 4 (full)
    std::string program;   // the running program's file name; empty when none runs
    bool operator==(const Shows& other) const {
      return name == other.name && batteryState == other.batteryState && program == other.program;
    }
    bool operator!=(const Shows& other) const { return !(*this == other); }
  };

  static constexpr int kWidth = 100;
  static constexpr int kBands = 8;
  static constexpr int kGlyphStep = 6;  // 5 columns and a blank one

  // Clears the 800 bytes at `screen` and draws what the menu shows.
  static void draw(const Shows& shows, std::uint8_t* screen);
  // Writes `text` into band `band` from column `x` (clipped at the edge); a byte outside
  // printable ASCII shows as '?'. Returns the column after it.
  static int text(std::uint8_t* screen, int band, int x, const std::string& text);
  // The columns `text` takes (its last glyph's blank column not counted).
  static int width(const std::string& text);
  // The column from which `text` is centred across the screen.
  static int centred(const std::string& text);
};

}  // namespace Sim

#endif
