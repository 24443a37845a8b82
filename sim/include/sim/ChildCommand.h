// The command a bricksim run serves (--usb -- COMMAND): started with a library preloaded ahead
// of what LD_PRELOAD already holds, and waited for; the run's exit status is its.
#ifndef SIM_CHILDCOMMAND_H
#define SIM_CHILDCOMMAND_H

#include <sys/types.h>
#include <string>
#include <vector>

namespace Sim {

class ChildCommand {
 public:
  // Starts `argv` (argv[0] looked up in PATH). False, with the reason, when it cannot start.
  bool start(const std::vector<std::string>& argv, const std::string& preload, std::string& error);
  // True once it has ended; does not wait.
  bool ended();
  // Asks it to end, as bricksim itself was asked (SIGTERM), once.
  void terminate();
  // Its exit status once ended, or 128 + the signal that ended it, as a shell reports it.
  int status() const { return exitStatus; }

 private:
  pid_t pid = -1;
  bool told = false;
  int exitStatus = 0;
};

}  // namespace Sim

#endif
