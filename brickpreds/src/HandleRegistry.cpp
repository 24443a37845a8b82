#include "HandleRegistry.h"

namespace Brick {
namespace Prolog {

HandleRegistry& HandleRegistry::instance() {
  // Leaked on purpose: a Prolog thread may still call a predicate while the process exits.
  static HandleRegistry* registry = new HandleRegistry();
  return *registry;
}

void HandleRegistry::add(const void* object, ObjectClass cls) {
  std::lock_guard<std::mutex> guard(mutex);
  objects[object] = cls;
}

bool HandleRegistry::holds(const void* object, ObjectClass cls) const {
  if (object == nullptr) {
    return false;
  }
  std::lock_guard<std::mutex> guard(mutex);
  auto found = objects.find(object);
  return found != objects.end() && found->second == cls;
}

}  // namespace Prolog
}  // namespace Brick
