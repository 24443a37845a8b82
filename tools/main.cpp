// brick: sets up, checks and pokes a brick from the command line. See BrickTool.h.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>

#include "BrickTool.h"

namespace {

std::atomic<bool> interrupted{false};

std::atomic<int> stopSignal{0};

void onInterrupt(int) {
  interrupted = true;
}

void onStop(int signal) {
  stopSignal = signal;
  interrupted = true;
}

// An upload holds a handle on the brick and a half-written file: a signal that ended the tool
// there would leave the file busy until the brick restarts.
void catchStopSignals() {
  std::signal(SIGINT, onStop);
  std::signal(SIGTERM, onStop);
}

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C ends a watch cleanly (the line is finished, the link closed); std::atomic<bool> is
  // lock-free here, so setting it from a signal handler is safe.
  static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
  static_assert(std::atomic<int>::is_always_lock_free, "the signal is set from a signal handler");
  // Only a watch catches it (and an upload, once it begins): any other command, waiting for a brick
  // that does not answer or for a Bluetooth connection, ends at once as a program does on Ctrl-C.
  // A dashboard also ends on SIGTERM as on Ctrl-C: it brakes the motors its buttons started.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--watch") == 0) {
      std::signal(SIGINT, onInterrupt);
    }
    if (std::strcmp(argv[i], "dashboard") == 0) {
      std::signal(SIGINT, onInterrupt);
      std::signal(SIGTERM, onInterrupt);
    }
  }
  BrickTool::Environment environment;
  environment.interrupted = &interrupted;
  environment.stopSignal = &stopSignal;
  environment.catchStopSignals = catchStopSignals;
  environment.terminal = ::isatty(STDOUT_FILENO) == 1;
  return BrickTool::run(argc, argv, std::cout, std::cerr, environment);
}
