// The one thread that talks to the brick while `brick dashboard` runs (docs/threads.md): it
// reads every port at a steady pace and carries out, between two readings, the commands the
// web server's threads hand it. The link never has two users, and a reading never waits
// behind a browser.
#ifndef TOOLS_BRICKOWNER_H
#define TOOLS_BRICKOWNER_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "brick/Block.h"
#include "brick/Input.h"
#include "brick/Output.h"

namespace BrickTool {

class BrickOwner {
 public:
  struct Reading {
    double seconds = 0;  // since the owner started, when the reading was taken
    long number = 0;     // how many readings there have been
    std::string name;
    int battery = -1;  // millivolts, refreshed every few seconds
    std::array<Brick::Lib::Input::Values, 4> inputs{};
    std::array<Brick::Lib::Output::State, 3> outputs{};
    bool screen = false;  // whether screen() has a picture
    std::string failure;  // why the last reading failed; empty when it did not
  };
  // A command for the brick, run on the owner's thread: 0 or a code of BrickCode.h.
  using Job = std::function<long(Brick::Lib::Block&)>;
  // Reads the brick's screen into a PNG (through the display module's IO map); without one,
  // or while it fails, the page says the screen cannot be read.
  using ScreenReader = std::function<long(Brick::Lib::Block&, std::string& png)>;

  explicit BrickOwner(Brick::Lib::Block& block, ScreenReader screenReader = {});

  // From any thread: has `job` run on the owner's thread and returns its code, or
  // kBrickWaitTimeout when it has not run within `wait` (it is then dropped, never run late).
  long submit(Job job, std::chrono::milliseconds wait);
  Reading latest() const;
  std::string screen() const;

  // On the owning thread: reads every `every` and runs the commands handed in between, until
  // `stop` says so or the link has failed (the brick's status record says why).
  void run(std::chrono::milliseconds every, const std::function<bool()>& stop);

 private:
  struct Pending {
    Job job;
    long code = 0;
    bool taken = false;  // the owner has begun it: the caller waits for its end
    bool done = false;
    bool dropped = false;
  };
  void read(std::chrono::steady_clock::time_point start);
  void runPending(std::unique_lock<std::mutex>& guard);

  Brick::Lib::Block& block;
  ScreenReader screenReader;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<Pending>> queue;
  Reading reading;
  std::string png;
  bool ended = false;
};

}  // namespace BrickTool

#endif
