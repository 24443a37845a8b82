#include "Exchange.h"

#include "BrickErrors.h"
#include "brick/BrickCode.h"

namespace Brick {
namespace Prolog {

Exchange::Exchange(BrickHandle& brick, const char* operation)
    : handle(brick), guard(brick.lock()), name(operation) {
  handle.beginExchange();
}

void Exchange::check() {
  // A refusal first: the link records it too, as a failure of its own (kLinkBadReply).
  if (handle.firstRefusal() != 0) {
    throwRefused(name, handle.firstRefusal());
  }
  const nFANTOM100::tStatus& status = handle.block().getStatus();
  if (status.isFatal()) {
    throwLinkFailed(status.getCode(), name, handle.device().c_str());
  }
}

void Exchange::checkCode(long code) {
  if (code == Lib::kBrickOk) {
    return;
  }
  if (Lib::isBrickStatus(code)) {
    throwRefused(name, Lib::brickStatusOf(code));
  }
  // A bounded wait on the brick (an I2C transaction) that ran out: the brick answers, but the
  // sensor does not.
  // A reply cut short is no answer either, as for the link's own short replies.
  if (code == Lib::kBrickWaitTimeout || code == Lib::kBrickBadReply) {
    throwTimeout(name, handle.device().c_str());
  }
  // An argument the class refused before sending: the checks here should have caught it first.
  if (code <= Lib::kBrickNotAttached && code > Lib::kBrickNotAttached - 100) {
    throwError(PlCompound("system_error", PlTermv(PlTerm_atom(Lib::brickCodeText(code)))));
  }
  throwLinkFailed(code, name, handle.device().c_str());
}

void registerPredicates(const ForeignPredicate* table, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    PL_register_foreign_in_module("brick", table[i].name, table[i].arity,
                                  reinterpret_cast<pl_function_t>(table[i].function),
                                  PL_FA_VARARGS);
  }
}

}  // namespace Prolog
}  // namespace Brick
