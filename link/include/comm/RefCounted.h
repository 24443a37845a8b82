// Shared ownership for the objects a link owns, so that copies of a link share them and the
// last copy to go frees them.
#ifndef COMM_REFCOUNTED_H
#define COMM_REFCOUNTED_H

#include "comm/Export.h"

namespace Comm {

class COMM_API RefCounted {
 public:
  RefCounted() : refs(1) {}
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted();

  void retain() { ++refs; }
  // Drops one reference and frees the object when it was the last.
  static void release(RefCounted* object) {
    if (object != nullptr && --object->refs == 0) {
      delete object;
    }
  }
  long references() const { return refs; }

 private:
  long refs;
};

}  // namespace Comm

#endif
