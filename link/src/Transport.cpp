#include "comm/Transport.h"

namespace Comm {

// Out of line, so that the interface has one home for its vtable.
Transport::~Transport() = default;

}  // namespace Comm
