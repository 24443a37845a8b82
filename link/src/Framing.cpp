#include "comm/Framing.h"

namespace Comm {

// Out of line, so that the interface has one home for its vtable.
Framing::~Framing() = default;

}  // namespace Comm
