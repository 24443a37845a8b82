#include "brick/Screen.h"

#include "brick/Block.h"
#include "brick/BrickCode.h"
#include "brick/IoMap.h"
#include "protocol/IoMapLayout.h"

namespace Brick {
namespace Lib {

namespace D = Nxt::IoMaps::Display;

static_assert(Screen::kWidth == D::kWidth && Screen::kHeight == D::kHeight, "the brick's LCD");

bool Screen::Picture::pixel(int x, int y) const {
  if (x < 0 || x >= kWidth || y < 0 || y >= kHeight || bands.size() < D::kScreenBytes) {
    return false;
  }
  return D::pixel(bands.data(), x, y);
}

Screen::Screen(Block& block) : link(&block.getCommunication()) {}
Screen::Screen(Comm::SerialCommunication& l) : link(&l) {}

long Screen::capture(Picture& out) {
  IoMap map(*link);
  // The flags sit just before the normal screen: one read takes both.
  std::vector<std::uint8_t> bytes;
  long code = map.read(Nxt::IoMaps::kDisplayId, D::kFlags.offset,
                       D::kNormal - D::kFlags.offset + D::kScreenBytes, bytes);
  if (code != kBrickOk) {
    return code;
  }
  out.popup = (bytes[0] & D::kPopupShown) != 0;
  if (out.popup) {
    return map.read(Nxt::IoMaps::kDisplayId, D::kPopup, D::kScreenBytes, out.bands);
  }
  out.bands.assign(bytes.begin() + static_cast<long>(D::kNormal - D::kFlags.offset), bytes.end());
  return kBrickOk;
}

}  // namespace Lib
}  // namespace Brick
