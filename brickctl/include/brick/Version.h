// The version of libbrickctl that a program runs with, which may be newer than the one it was
// built against: a program that needs a feature of a later release can check before using it.
#ifndef BRICK_VERSION_H
#define BRICK_VERSION_H

#include "brick/Export.h"

namespace Brick {
namespace Lib {

struct Version {
  int major;
  int minor;
  int patch;
};

// "MAJOR.MINOR.PATCH", e.g. "0.1.0"; never null.
BRICKCTL_API const char* version();
// The same as numbers, to compare: releases with the same major and minor are compatible.
BRICKCTL_API Version versionNumbers();

}  // namespace Lib
}  // namespace Brick

#endif
