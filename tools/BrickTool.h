// `brick`, the command-line tool for setting up, checking and poking a brick: its commands run
// here, with their output and their exit status, so that tests can run them as a user would.
// main() only hands over the arguments, the standard streams and Ctrl-C.
#ifndef TOOLS_BRICKTOOL_H
#define TOOLS_BRICKTOOL_H

#include <atomic>
#include <ostream>

#include "Host.h"

namespace BrickTool {

// Exit statuses, one per kind of failure, so that scripts can tell them apart.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,      // the brick or the link failed in another way
  kExitUsage = 2,       // bad arguments
  kExitNoBrick = 3,     // no brick where the tool looked
  kExitPermission = 4,  // a brick is there but this user may not open it
  kExitTimeout = 5,     // the brick did not answer in time
  kExitBusy = 6,        // another program holds the brick
  // An upload stopped by a signal ends with 128 + its number, as a shell reports it: 130 for
  // SIGINT (Ctrl-C), 143 for SIGTERM.
  kExitSignalBase = 128,
};

// What a run of the tool works with besides its arguments.
struct Environment {
  // The machine as `doctor` and `list` see it; null for the machine itself.
  const Host* host = nullptr;
  // Set by Ctrl-C: ends `read --watch`.
  const std::atomic<bool>* interrupted = nullptr;
  // The signal (SIGINT or SIGTERM) that came during an upload, 0 while none has.
  const std::atomic<int>* stopSignal = nullptr;
  // Called as an upload begins: from then on SIGINT and SIGTERM set `stopSignal` instead of
  // ending the tool at once, so that it can close and delete what it opened on the brick.
  void (*catchStopSignals)() = nullptr;
  // Time between two readings of `read --watch`.
  int watchIntervalMs = 200;
  // Whether standard output is a terminal (main() asks isatty): there a watch rewrites one
  // line in place; elsewhere it writes one line per reading.
  bool terminal = true;
};

// Runs `brick` with argv[1..argc-1]; returns its exit status.
int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
        const Environment& environment);

}  // namespace BrickTool

#endif
