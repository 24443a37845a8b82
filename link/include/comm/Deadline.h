// A point on the monotonic clock by which an exchange with the brick must be over.
#ifndef COMM_DEADLINE_H
#define COMM_DEADLINE_H

#include <chrono>

namespace Comm {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Deadline(int milliseconds)
      : end(Clock::now() + std::chrono::milliseconds(milliseconds)) {}

  // Whole milliseconds left, rounded up so that a poll never gives up before the end; 0 once
  // the deadline has passed.
  int remainingMs() const {
    auto left = end - Clock::now();
    if (left <= Clock::duration::zero()) {
      return 0;
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    if (std::chrono::milliseconds(ms) < left) {
      ++ms;
    }
    return static_cast<int>(ms);
  }
  bool expired() const { return Clock::now() >= end; }

 private:
  Clock::time_point end;
};

}  // namespace Comm

#endif
