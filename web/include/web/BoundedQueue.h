// cpp-httplib's task queue with a fixed set of workers and a queue no longer than they are
// many: when all are busy the accepting thread waits, and further connections wait in the
// kernel's listen backlog instead of in memory here.
#ifndef WEB_BOUNDEDQUEUE_H
#define WEB_BOUNDEDQUEUE_H

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Web {

class BoundedQueue : public httplib::TaskQueue {
 public:
  explicit BoundedQueue(int workers);
  void enqueue(std::function<void()> fn) override;
  void shutdown() override;

 private:
  void work();

  std::mutex mutex;
  std::condition_variable ready;
  std::condition_variable room;
  std::deque<std::function<void()>> jobs;
  std::vector<std::thread> threads;
  std::size_t most = 1;
  bool closing = false;
};

}  // namespace Web

#endif
