#include "comm/UsbBackend.h"

namespace Comm {

// Out of line, so that the interface has one home for its vtable.
UsbBackend::~UsbBackend() = default;

}  // namespace Comm
