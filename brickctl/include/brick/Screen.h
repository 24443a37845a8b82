// The brick's 100 x 64 screen as its display module holds it, read through the module's IO
// map: what the LCD shows now, pixel by pixel.
//
// capture() returns 0 or a code of BrickCode.h, recorded in the link's status record.
#ifndef BRICK_SCREEN_H
#define BRICK_SCREEN_H

#include <cstdint>
#include <vector>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Screen {
 public:
  static constexpr int kWidth = 100;
  static constexpr int kHeight = 64;

  struct Picture {
    // 800 bytes as the brick keeps them: 8 bands of 100 columns from the top, a byte the 8
    // pixels of a column in its band, bit 0 uppermost.
    std::vector<std::uint8_t> bands;
    bool popup = false;  // the display shows its popup screen instead of the normal one
    // True when the pixel at column x (0-99) and row y (0-63, 0 the top) is dark.
    bool pixel(int x, int y) const;
  };

  explicit Screen(Block& block);
  explicit Screen(Comm::SerialCommunication& link);

  // Reads the screen the LCD shows: the normal one, or the popup when that is up.
  long capture(Picture& out);

 private:
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
