// brick: sets up, checks and pokes a brick from the command line. See BrickTool.h.
#include <csignal>
#include <iostream>

#include "BrickTool.h"

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) {
  interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C ends a watch cleanly (the line is finished, the link closed); std::atomic<bool> is
  // lock-free here, so setting it from a signal handler is safe.
  static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
  std::signal(SIGINT, onInterrupt);
  BrickTool::Environment environment;
  environment.interrupted = &interrupted;
  return BrickTool::run(argc, argv, std::cout, std::cerr, environment);
}
