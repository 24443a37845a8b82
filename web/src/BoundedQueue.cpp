#include "web/BoundedQueue.h"

namespace Web {

BoundedQueue::BoundedQueue(int workers) {
  for (int i = 0; i < workers; ++i) {
    threads.emplace_back([this] { work(); });
  }
  most = static_cast<std::size_t>(workers);
}

void BoundedQueue::enqueue(std::function<void()> fn) {
  std::unique_lock<std::mutex> guard(mutex);
  room.wait(guard, [&] { return jobs.size() < most || closing; });
  jobs.push_back(std::move(fn));
  ready.notify_one();
}

void BoundedQueue::shutdown() {
  {
    std::lock_guard<std::mutex> guard(mutex);
    closing = true;
  }
  ready.notify_all();
  room.notify_all();
  for (std::thread& t : threads) {
    t.join();
  }
}

void BoundedQueue::work() {
  for (;;) {
    std::function<void()> fn;
    {
      std::unique_lock<std::mutex> guard(mutex);
      ready.wait(guard, [&] { return !jobs.empty() || closing; });
      if (jobs.empty()) {
        return;  // closing, and every accepted connection served
      }
      fn = std::move(jobs.front());
      jobs.pop_front();
      room.notify_one();
    }
    fn();
  }
}

}  // namespace Web
