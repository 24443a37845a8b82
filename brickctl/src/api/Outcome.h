// How the modern API turns the codes of the classes underneath into std::error_code. Internal
// to the library.
#ifndef BRICK_API_OUTCOME_H
#define BRICK_API_OUTCOME_H

#include <system_error>

#include "brick/BrickCode.h"
#include "brick/Error.hpp"
#include "comm/SerialCommunication.h"

namespace brick {
namespace detail {

// A code of brick/BrickCode.h as this call's outcome. "No link" reads as the brick not being
// open: that is the only way a handle of this API meets it.
inline void setOutcome(std::error_code& ec, long code) noexcept {
  if (code == ::Brick::Lib::kBrickOk) {
    ec.clear();
  } else if (code == ::Brick::Lib::kBrickNotAttached) {
    ec = make_error_code(Errc::not_open);
  } else {
    ec.assign(static_cast<int>(code), category());
  }
}

// True when `link` can carry a command; else sets not_open, so that nothing is sent and no
// status record is touched.
inline bool usable(Comm::SerialCommunication* link, std::error_code& ec) noexcept {
  if (link == nullptr || !link->isOpen()) {
    ec = make_error_code(Errc::not_open);
    return false;
  }
  return true;
}

inline bool inRange(long value, long low, long high) noexcept {
  return value >= low && value <= high;
}

}  // namespace detail
}  // namespace brick

#endif
