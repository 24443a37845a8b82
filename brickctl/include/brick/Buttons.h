// The brick's four buttons pressed from the host: the press goes through the UI module's IO map,
// where the brick's menu takes it as if the button had been pressed on the brick (a short press
// and its release).
//
// press() returns 0 or a code of BrickCode.h, recorded in the link's status record.
#ifndef BRICK_BUTTONS_H
#define BRICK_BUTTONS_H

#include <string>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Buttons {
 public:
  // The values the menu takes: exit is the dark grey button, enter the orange one.
  enum class Button { Left = 1, Enter = 2, Right = 3, Exit = 4 };

  explicit Buttons(Block& block);
  explicit Buttons(Comm::SerialCommunication& link);

  long press(Button button);

  // "left", "enter", "right" or "exit", in any case; false for anything else.
  static bool parse(const std::string& text, Button& out);
  static const char* name(Button button);

 private:
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
