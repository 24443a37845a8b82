// The objects that the Prolog binding has handed out, each with its class. Prolog sees a
// brick, motor or sensor only as an integer; before a predicate uses one, the binding asks this
// registry whether the integer designates a live object of the class the predicate wants, so
// that a typo, a null handle or a Motor passed as a Sensor becomes a Prolog type error instead
// of a wild pointer.
//
// Objects are never destroyed, so an entry stays until the process ends. Prolog may call the
// predicates from several threads (one brick per thread), hence the lock.
#ifndef BRICKPREDS_HANDLEREGISTRY_H
#define BRICKPREDS_HANDLEREGISTRY_H

#include <mutex>
#include <unordered_map>

namespace Brick {
namespace Prolog {

enum class ObjectClass { Block, Motor, Sensor };

class HandleRegistry {
 public:
  // The one registry of the process; never destroyed, so that it outlives every caller.
  static HandleRegistry& instance();

  void add(const void* object, ObjectClass cls);
  // True when `object` was handed out as an object of class `cls`.
  bool holds(const void* object, ObjectClass cls) const;

 private:
  HandleRegistry() = default;

  mutable std::mutex mutex;
  std::unordered_map<const void*, ObjectClass> objects;
};

}  // namespace Prolog
}  // namespace Brick

#endif
