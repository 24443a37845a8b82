#include "brick/Version.h"

// The build passes the project's version in; see brickctl/CMakeLists.txt.
#define BRICKCTL_TEXT(x) #x
#define BRICKCTL_DOTTED(a, b, c) BRICKCTL_TEXT(a) "." BRICKCTL_TEXT(b) "." BRICKCTL_TEXT(c)

namespace Brick {
namespace Lib {

const char* version() {
  return BRICKCTL_DOTTED(BRICKCTL_VERSION_MAJOR, BRICKCTL_VERSION_MINOR, BRICKCTL_VERSION_PATCH);
}

Version versionNumbers() {
  return {BRICKCTL_VERSION_MAJOR, BRICKCTL_VERSION_MINOR, BRICKCTL_VERSION_PATCH};
}

}  // namespace Lib
}  // namespace Brick
