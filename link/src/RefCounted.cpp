#include "comm/RefCounted.h"
#include "comm/Framing.h"
#include "comm/Transport.h"
#include "comm/UsbBackend.h"

namespace Comm {

// Out-of-line virtual destructors give each interface one home for its vtable.
RefCounted::~RefCounted() = default;
Transport::~Transport() = default;
Framing::~Framing() = default;
UsbBackend::~UsbBackend() = default;

}  // namespace Comm
