// A bound on how long stopping may take. A world may be in the middle of a long computation when
// a signal comes (a telegram's step of up to 60 s in a world of many walls, on the server's
// thread): bricksim must still end within a second. If the stop is not done in time, `giveUp`
// runs (it tidies what must not be left behind, and says why) and the process ends at once with
// status 1.
#ifndef SIM_STOPDEADLINE_H
#define SIM_STOPDEADLINE_H

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace Sim {

class StopDeadline {
 public:
  StopDeadline(double seconds, std::function<void()> giveUp)
      : watcher([this, seconds, giveUp] {
          std::unique_lock<std::mutex> guard(mutex);
          if (!woken.wait_for(guard, std::chrono::duration<double>(seconds),
                              [this] { return done; })) {
            giveUp();
            std::_Exit(1);
          }
        }) {}
  // The stop is done: nothing more happens.
  ~StopDeadline() {
    {
      std::lock_guard<std::mutex> guard(mutex);
      done = true;
    }
    woken.notify_all();
    watcher.join();
  }
  StopDeadline(const StopDeadline&) = delete;
  StopDeadline& operator=(const StopDeadline&) = delete;

 private:
  std::mutex mutex;
  std::condition_variable woken;
  bool done = false;
  std::thread watcher;  // last: started once the rest is ready
};

}  // namespace Sim

#endif
