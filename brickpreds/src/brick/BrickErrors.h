// The error terms library(brick) raises, built in one place so that every predicate says the
// same thing for the same fault. Each throws a PlException that the frame's guard raises in
// Prolog; messages for them live in brick.pl (prolog:message//1).
//
//   error(existence_error(brick, Device), _)          no brick answers at Device, or it went away
//   error(existence_error(brick, Brick), _)           Brick was closed
//   error(timeout_error(Operation, Device), _)        the brick stopped answering during Operation
//   error(brick_refused(Operation, Code, Name), _)     the brick answered with status Code
//   error(permission_error(open, brick, Device), _)   the device may not be opened by this user
//   error(resource_error(brick(Device)), _)           another program holds the device
//   error(domain_error(Domain, Culprit), _)           nothing was sent
//   error(type_error(Type, Culprit), _)               nothing was sent
#ifndef BRICKPREDS_BRICK_BRICKERRORS_H
#define BRICKPREDS_BRICK_BRICKERRORS_H

#include <SWI-cpp2.h>

namespace Brick {
namespace Prolog {

[[noreturn]] void throwError(const PlTerm& formal);
[[noreturn]] void throwDomainError(const char* domain, const PlTerm& culprit);
[[noreturn]] void throwExistence(const char* device);
[[noreturn]] void throwClosed(const PlTerm& brick);
[[noreturn]] void throwTimeout(const char* operation, const char* device);
[[noreturn]] void throwRefused(const char* operation, int status);
// The error for a failed open, from the link's code for it.
[[noreturn]] void throwOpenFailed(long linkCode, const char* device);
// The error for a failed exchange: the brick went away or fell silent.
[[noreturn]] void throwLinkFailed(long linkCode, const char* operation, const char* device);

// The name SWI-Prolog programs see for a reply status, e.g. 0xC0 out_of_range.
const char* statusAtom(int status);

}  // namespace Prolog
}  // namespace Brick

#endif
