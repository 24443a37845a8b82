#include "brick/BrickCode.h"

#include "comm/LinkCode.h"

namespace Brick {
namespace Lib {

const char* brickCodeText(long code) {
  return Comm::linkCodeText(code);
}

}  // namespace Lib
}  // namespace Brick
