// One predicate's turn on the wire, and the registration of library(brick)'s foreign
// predicates.
//
// An Exchange holds the brick's lock from before the first request to after the last reply,
// so that another thread's telegrams cannot come between a request and its reply, and turns
// the outcome into an error term. The classes of the first interface (Block, Motor, Sensor)
// leave their outcome in the link's status record and the replies' status bytes: check() reads
// those. The newer classes return a code of brick/BrickCode.h, which already tells an answer
// the class expects (no file matching a pattern) from a refusal: checkCode() reads that.
#ifndef BRICKPREDS_BRICK_EXCHANGE_H
#define BRICKPREDS_BRICK_EXCHANGE_H

#include <SWI-cpp2.h>

#include <cstddef>
#include <mutex>

#include "BrickHandle.h"

namespace Brick {
namespace Prolog {

class Exchange {
 public:
  Exchange(BrickHandle& brick, const char* operation);
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // Raises the error for what went wrong since the exchange began, if anything did.
  void check();
  // Raises the error for a code of brick/BrickCode.h other than 0.
  void checkCode(long code);

 private:
  BrickHandle& handle;
  std::lock_guard<std::mutex> guard;
  const char* name;
};

struct ForeignPredicate {
  const char* name;
  int arity;
  foreign_t (*function)(term_t, int, control_t);
};

// Registers the predicates in module brick; each source file registers its own while the
// library loads.
void registerPredicates(const ForeignPredicate* table, std::size_t count);
template <std::size_t N>
void registerPredicates(const ForeignPredicate (&table)[N]) {
  registerPredicates(table, N);
}

}  // namespace Prolog
}  // namespace Brick

#endif
