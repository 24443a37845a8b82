// The brick tool's commands for the brick's files, programs, mailboxes and sleep timer, and the
// extra lines of `brick info`. Each runs on a Block whose link is open and returns an exit
// status; a link failure goes to `linkFailure`, which explains it and gives the status.
#ifndef TOOLS_FLASHCOMMANDS_H
#define TOOLS_FLASHCOMMANDS_H

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "brick/Block.h"

namespace BrickTool {
namespace Flash {

struct Io {
  std::ostream& out;
  std::ostream& err;
  std::function<int(long)> linkFailure;
  const std::atomic<bool>* interrupted = nullptr;
  bool watch = false;
  const std::atomic<int>* stopSignal = nullptr;
  void (*catchStopSignals)() = nullptr;
};

using Arguments = std::vector<std::string>;
using Brick::Lib::Block;

// Checked before connecting: an empty text, or what is wrong with the arguments.
std::string checkArguments(const std::string& command, const Arguments& arguments);

int ls(Block& block, const Arguments& arguments, Io& io);
int upload(Block& block, const Arguments& arguments, Io& io);
int download(Block& block, const Arguments& arguments, Io& io);
int rm(Block& block, const Arguments& arguments, Io& io);
int runProgram(Block& block, const Arguments& arguments, Io& io);
int stopProgram(Block& block, const Arguments& arguments, Io& io);
int send(Block& block, const Arguments& arguments, Io& io);
int receive(Block& block, const Arguments& arguments, Io& io);
int keepAlive(Block& block, const Arguments& arguments, Io& io);
// Name, battery, firmware, Bluetooth address, free flash and sleep time, one line each.
int infoLines(Block& block, Io& io);

}  // namespace Flash

struct Run;
// The streams, link-failure explanation and Ctrl-C of a command's run, for the functions above.
Flash::Io flashIo(Run& run);

}  // namespace BrickTool

#endif
