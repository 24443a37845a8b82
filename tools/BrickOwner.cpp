#include "BrickOwner.h"

#include "brick/Batch.h"
#include "brick/BrickCode.h"

namespace BrickTool {

namespace {

using Clock = std::chrono::steady_clock;
// The battery and the screen change slowly, and the screen is 800 bytes in a dozen or more
// exchanges: the readings have better uses for the link's time, over Bluetooth above all.
constexpr std::chrono::seconds kBatteryEvery{5};
constexpr std::chrono::seconds kScreenEvery{2};

}  // namespace

BrickOwner::BrickOwner(Brick::Lib::Block& b, ScreenReader reader)
    : block(b), screenReader(std::move(reader)) {}

long BrickOwner::submit(Job job, std::chrono::milliseconds wait) {
  auto pending = std::make_shared<Pending>();
  pending->job = std::move(job);
  std::unique_lock<std::mutex> guard(mutex);
  if (ended) {
    return Brick::Lib::kBrickNotAttached;
  }
  queue.push_back(pending);
  changed.notify_all();
  // Once begun, a command is waited for to its end: its outcome is what the caller reports.
  changed.wait_for(guard, wait, [&] { return pending->taken || ended; });
  changed.wait(guard, [&] { return pending->done || !pending->taken || ended; });
  if (!pending->taken) {
    pending->dropped = true;
    return ended ? Brick::Lib::kBrickNotAttached : Brick::Lib::kBrickWaitTimeout;
  }
  return pending->done ? pending->code : Brick::Lib::kBrickNotAttached;
}

BrickOwner::Reading BrickOwner::latest() const {
  std::lock_guard<std::mutex> guard(mutex);
  return reading;
}

std::string BrickOwner::screen() const {
  std::lock_guard<std::mutex> guard(mutex);
  return png;
}

void BrickOwner::runPending(std::unique_lock<std::mutex>& guard) {
  while (!queue.empty()) {
    std::shared_ptr<Pending> next = queue.front();
    queue.pop_front();
    if (next->dropped) {
      continue;
    }
    next->taken = true;
    guard.unlock();
    long code = next->job(block);
    guard.lock();
    next->code = code;
    next->done = true;
    changed.notify_all();
  }
}

void BrickOwner::read(Clock::time_point start) {
  Reading now;
  {
    std::lock_guard<std::mutex> guard(mutex);
    now = reading;
  }
  auto taken = Clock::now();
  now.seconds = std::chrono::duration<double>(taken - start).count();
  ++now.number;
  Brick::Lib::Batch batch(block);
  for (int port = 0; port < 4; ++port) {
    batch.input(port);
  }
  for (int port = 0; port < 3; ++port) {
    batch.output(port);
  }
  long code = batch.run();
  now.failure = code == Brick::Lib::kBrickOk ? "" : Brick::Lib::brickCodeText(code);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Brick::Lib::Batch::Result& r = batch.result(i);
    if (r.code != Brick::Lib::kBrickOk) {
      continue;
    }
    if (r.what == Brick::Lib::Batch::What::Input) {
      now.inputs[static_cast<std::size_t>(r.port)] = r.input;
    } else {
      now.outputs[static_cast<std::size_t>(r.port)] = r.output;
    }
  }
  std::lock_guard<std::mutex> guard(mutex);
  reading = now;
}

void BrickOwner::run(std::chrono::milliseconds every, const std::function<bool()>& stop) {
  auto start = Clock::now();
  char name[256] = "";
  block.getName(name);
  {
    std::lock_guard<std::mutex> guard(mutex);
    reading.name = name;
  }
  auto nextReading = start;
  auto nextBattery = start;
  auto nextScreen = start;
  std::unique_lock<std::mutex> guard(mutex);
  while (!stop() && !block.getStatus().isFatal()) {
    runPending(guard);
    auto now = Clock::now();
    if (now < nextReading) {
      // Woken by a command, or at the next reading; a stop is seen within a tenth of a second.
      changed.wait_until(guard, std::min(nextReading, now + std::chrono::milliseconds(100)),
                         [&] { return !queue.empty(); });
      continue;
    }
    guard.unlock();
    read(start);
    if (now >= nextBattery) {
      int battery = block.getBatteryLevel();
      std::lock_guard<std::mutex> held(mutex);
      reading.battery = battery;
      nextBattery = now + kBatteryEvery;
    }
    if (screenReader && now >= nextScreen) {
      std::string picture;
      bool got = screenReader(block, picture) == Brick::Lib::kBrickOk;
      std::lock_guard<std::mutex> held(mutex);
      reading.screen = got;
      if (got) {
        png = std::move(picture);
      }
      nextScreen = now + kScreenEvery;
    }
    guard.lock();
    // A reading that comes late is followed by the next one at once, none skipped.
    nextReading += every;
    if (nextReading < Clock::now() - every) {
      nextReading = Clock::now();
    }
  }
  ended = true;
  changed.notify_all();
}

}  // namespace BrickTool
