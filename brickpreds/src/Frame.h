// What every predicate of module brickmod shares: turning Prolog terms into the arguments of a
// Brick::Lib operation, handing objects to Prolog as integer handles, unifying results, and the
// guard that turns every C++ exception into a Prolog exception before it can reach
// SWI-Prolog's C code.
//
// Argument kinds and the error each raises when its term does not fit:
//   object   a live handle of the wanted class         error(type_error(pointer, Arg), _)
//   integer  an integer in the signed 32-bit range      error(type_error(integer, Arg), _)
//   flag     as integer; 0 is false, all else true      error(type_error(integer, Arg), _)
//   text     anything write/1 prints, as 8-bit chars    error(type_error(text, Arg), _)
//            without a NUL
// Arg is the argument term itself: an unbound argument stays the same variable, so an unbound
// handle is a type error and not an instantiation error (which PlTypeError would make of it).
//
// Built on SWI-cpp2.h rather than SWI-cpp.h: when SWI-Prolog cannot create a term, SWI-cpp2.h
// throws PlFail and leaves SWI-Prolog's own pending exception to be raised unchanged, where
// SWI-cpp.h would replace it with a resource error of its own making. Its PREDICATE wrapper
// catches too little, so the guard and the registration here are our own.
#ifndef BRICKPREDS_FRAME_H
#define BRICKPREDS_FRAME_H

#include <SWI-cpp2.h>

#include <memory>

#include "HandleRegistry.h"
#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"

namespace Brick {
namespace Prolog {

template <class T>
struct ClassOf;
template <>
struct ClassOf<Lib::Block> {
  static constexpr ObjectClass value = ObjectClass::Block;
};
template <>
struct ClassOf<Lib::Motor> {
  static constexpr ObjectClass value = ObjectClass::Motor;
};
template <>
struct ClassOf<Lib::Sensor> {
  static constexpr ObjectClass value = ObjectClass::Sensor;
};

// Throws error(type_error(Type, Culprit), _) with `culprit` itself as the culprit.
[[noreturn]] void throwTypeError(const char* type, const PlTerm& culprit);
// Throws the exception SWI-Prolog holds pending, to be raised again unchanged.
[[noreturn]] void throwPending();

void* objectArgument(const PlTerm& arg, ObjectClass cls);
template <class T>
T* object(const PlTerm& arg) {
  return static_cast<T*>(objectArgument(arg, ClassOf<T>::value));
}
int integer(const PlTerm& arg);
bool flag(const PlTerm& arg);
// The characters lie in SWI-Prolog's buffer ring, which the next conversion may reuse: convert
// a text argument last and hand it straight to the operation, which copies it.
char* text(const PlTerm& arg);

// Each gives TRUE, or FALSE when `result` does not unify; SWI-Prolog's errors are thrown.
foreign_t unifyInteger(const PlTerm& result, int value);
foreign_t unifyHandle(const PlTerm& result, const void* object);
foreign_t unifyAtom(const PlTerm& result, const char* text);

// A creating predicate: a new T, its handle unified with `result`. An object whose handle does
// not unify could never be reached from Prolog, so it is freed at once.
template <class T>
foreign_t create(const PlTerm& result) {
  std::unique_ptr<T> made(new T());
  if (unifyHandle(result, made.get()) != TRUE) {
    return FALSE;
  }
  HandleRegistry::instance().add(made.get(), ClassOf<T>::value);
  made.release();
  return TRUE;
}

using Body = foreign_t (*)(const PlTermv& args);

// Runs `body` on the argument vector that starts at `t0` and has `arity` terms. A PlException
// is raised in Prolog as it is; std::bad_alloc becomes error(resource_error(memory), _); any
// other C++ exception error(system_error(cpp_exception(Type, Message)), _).
foreign_t guard(Body body, term_t t0, int arity) noexcept;

// The function SWI-Prolog calls (PL_FA_VARARGS). The vector's size is the arity the predicate
// is registered with, never the arity SWI-Prolog passes.
template <int Arity, Body B>
foreign_t predicate(term_t t0, int, control_t) {
  return guard(B, t0, Arity);
}

}  // namespace Prolog
}  // namespace Brick

#endif
