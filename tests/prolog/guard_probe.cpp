// A foreign library for tests only: predicates whose bodies throw what the class library might
// throw, run through the same guard as the predicates of brickmod, so that the tests can show
// that no C++ exception reaches SWI-Prolog's C code. Registered in module brickguard.
#include <new>
#include <stdexcept>

#include "Frame.h"

namespace {

using Brick::Prolog::predicate;

foreign_t throwBadAlloc(const PlTermv&) {
  throw std::bad_alloc();
}

foreign_t throwRuntimeError(const PlTermv& a) {
  throw std::runtime_error(Brick::Prolog::text(a[0]));
}

foreign_t throwInt(const PlTermv&) {
  throw 42;
}

// Fails a term operation the way SWI-cpp2.h reports it, with nothing pending.
foreign_t throwPlFail(const PlTermv&) {
  throw PlFail();
}

__attribute__((constructor)) void registerProbes() {
  PL_register_foreign_in_module("brickguard", "throw_bad_alloc", 1,
                                reinterpret_cast<pl_function_t>(predicate<1, throwBadAlloc>),
                                PL_FA_VARARGS);
  PL_register_foreign_in_module("brickguard", "throw_runtime_error", 1,
                                reinterpret_cast<pl_function_t>(predicate<1, throwRuntimeError>),
                                PL_FA_VARARGS);
  PL_register_foreign_in_module("brickguard", "throw_int", 1,
                                reinterpret_cast<pl_function_t>(predicate<1, throwInt>),
                                PL_FA_VARARGS);
  PL_register_foreign_in_module("brickguard", "throw_plfail", 1,
                                reinterpret_cast<pl_function_t>(predicate<1, throwPlFail>),
                                PL_FA_VARARGS);
}

}  // namespace
