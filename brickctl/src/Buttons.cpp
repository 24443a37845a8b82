#include "brick/Buttons.h"

#include <cctype>

#include "brick/Block.h"
#include "brick/IoMap.h"
#include "protocol/IoMapLayout.h"

namespace Brick {
namespace Lib {

namespace U = Nxt::IoMaps::Ui;

namespace {

const struct {
  Buttons::Button button;
  const char* name;
} kNames[] = {
    {Buttons::Button::Left, "left"},
    {Buttons::Button::Enter, "enter"},
    {Buttons::Button::Right, "right"},
    {Buttons::Button::Exit, "exit"},
};

static_assert(static_cast<int>(Buttons::Button::Left) == U::kButtonLeft &&
                  static_cast<int>(Buttons::Button::Enter) == U::kButtonEnter &&
                  static_cast<int>(Buttons::Button::Right) == U::kButtonRight &&
                  static_cast<int>(Buttons::Button::Exit) == U::kButtonExit,
              "the menu's button codes");

}  // namespace

Buttons::Buttons(Block& block) : link(&block.getCommunication()) {}
Buttons::Buttons(Comm::SerialCommunication& l) : link(&l) {}

long Buttons::press(Button button) {
  return IoMap(*link).write(Nxt::IoMaps::kUiId, U::kButton.offset,
                            {static_cast<std::uint8_t>(button)});
}

bool Buttons::parse(const std::string& text, Button& out) {
  std::string lower;
  for (char c : text) {
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const auto& entry : kNames) {
    if (lower == entry.name) {
      out = entry.button;
      return true;
    }
  }
  return false;
}

const char* Buttons::name(Button button) {
  for (const auto& entry : kNames) {
    if (entry.button == button) {
      return entry.name;
    }
  }
  return "?";
}

}  // namespace Lib
}  // namespace Brick
