#include "comm/RefCounted.h"

namespace Comm {

// Out of line, so that the class has one home for its vtable.
RefCounted::~RefCounted() = default;

}  // namespace Comm
