#include "Frame.h"

#include <cxxabi.h>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <typeinfo>

namespace Brick {
namespace Prolog {

namespace {

// Raises error(system_error(cpp_exception(Type, Message)), _) with the C interface only, so
// that nothing here can throw again.
foreign_t raiseCppException(const char* type, const char* message) {
  term_t ex = PL_new_term_ref();
  if (ex == 0 || !PL_unify_term(ex, PL_FUNCTOR_CHARS, "error", 2, PL_FUNCTOR_CHARS, "system_error",
                                1, PL_FUNCTOR_CHARS, "cpp_exception", 2, PL_CHARS, type, PL_CHARS,
                                message, PL_VARIABLE)) {
    return FALSE;  // SWI-Prolog holds the reason, which it raises
  }
  return PL_raise_exception(ex);
}

// The exception being handled, named as its C++ type, e.g. "std::out_of_range".
foreign_t raiseCurrentException(const char* message) {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) {
    return raiseCppException("unknown", message);
  }
  int status = 0;
  char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  foreign_t rc =
      raiseCppException(status == 0 && readable != nullptr ? readable : type->name(), message);
  std::free(readable);
  return rc;
}

}  // namespace

void throwTypeError(const char* type, const PlTerm& culprit) {
  throw PlException(PlCompound(
      "error",
      PlTermv(PlCompound("type_error", PlTermv(PlTerm_atom(type), culprit)), PlTerm_var())));
}

void throwPending() {
  term_t pending = PL_exception(0);
  if (pending == 0) {
    // SWI-Prolog refused a term operation without saying why; raise that rather than fail.
    throw std::runtime_error("SWI-Prolog refused a term operation and holds no exception");
  }
  throw PlException(PlTerm_term_t(pending));
}

void* objectArgument(const PlTerm& arg, ObjectClass cls) {
  void* object = nullptr;
  if (!PL_get_pointer(arg.C_, &object) || !HandleRegistry::instance().holds(object, cls)) {
    throwTypeError("pointer", arg);
  }
  return object;
}

int integer(const PlTerm& arg) {
  int value = 0;
  if (!PL_is_integer(arg.C_) || !PL_get_integer(arg.C_, &value)) {
    throwTypeError("integer", arg);
  }
  return value;
}

bool flag(const PlTerm& arg) {
  return integer(arg) != 0;
}

char* text(const PlTerm& arg) {
  char* chars = nullptr;
  std::size_t length = 0;
  if (!PL_get_nchars(arg.C_, &length, &chars, CVT_ALL | CVT_WRITE | BUF_RING)) {
    // Writing the term can fail for SWI-Prolog's own reason (a term too deep for its C stack);
    // that is no fault of the term's type.
    if (PL_exception(0) != 0) {
      throwPending();
    }
    throwTypeError("text", arg);
  }
  // The operations take NUL-terminated texts: one with a NUL inside would reach them cut short,
  // naming another device or another name than the caller gave.
  if (std::strlen(chars) != length) {
    throwTypeError("text", arg);
  }
  return chars;
}

foreign_t unifyInteger(const PlTerm& result, int value) {
  if (PL_unify_integer(result.C_, value)) {
    return TRUE;
  }
  if (PL_exception(0) != 0) {
    throwPending();
  }
  return FALSE;
}

foreign_t unifyHandle(const PlTerm& result, const void* object) {
  term_t handle = PL_new_term_ref();
  if (handle == 0 || !PL_put_pointer(handle, const_cast<void*>(object))) {
    throwPending();
  }
  if (PL_unify(result.C_, handle)) {
    return TRUE;
  }
  if (PL_exception(0) != 0) {
    throwPending();
  }
  return FALSE;
}

foreign_t unifyAtom(const PlTerm& result, const char* text) {
  if (PL_unify_atom_chars(result.C_, text)) {
    return TRUE;
  }
  if (PL_exception(0) != 0) {
    throwPending();
  }
  return FALSE;
}

foreign_t guard(Body body, term_t t0, int arity) noexcept {
  try {
    return body(PlTermv(static_cast<std::size_t>(arity), PlTerm_term_t(t0)));
  } catch (PlException& ex) {
    return ex.plThrow();
  } catch (PlFail&) {
    // SWI-cpp2.h throws PlFail when SWI-Prolog could not create or fill a term; the reason is
    // pending and SWI-Prolog raises it when the predicate returns FALSE.
    if (PL_exception(0) != 0) {
      return FALSE;
    }
    return raiseCppException("PlFail", "SWI-Prolog refused a term operation");
  } catch (std::bad_alloc&) {
    return PL_resource_error("memory");
  } catch (std::exception& ex) {
    return raiseCurrentException(ex.what());
  } catch (...) {
    return raiseCurrentException("");
  }
}

}  // namespace Prolog
}  // namespace Brick
