// A foreign library with one predicate that does nothing, registered the way brickpreds
// registers its own: the yardstick for what SWI-Prolog's foreign call costs by itself, so that
// the Prolog benchmark can tell it apart from the binding's own work.
#include <SWI-Prolog.h>

namespace {

foreign_t nop(term_t, int, control_t) {
  return TRUE;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void install_benchnop() {
  PL_register_foreign_in_module("benchnop", "nop", 2, reinterpret_cast<pl_function_t>(nop),
                                PL_FA_VARARGS);
}
