// Opening the link a command is to use, and explaining when that fails.
#ifndef TOOLS_CONNECTION_H
#define TOOLS_CONNECTION_H

#include <ostream>
#include <string>

#include "Tool.h"
#include "brick/Block.h"
#include "comm/UsbBackend.h"

namespace BrickTool {

using Brick::Lib::Block;

// A brick's name as the terminal may show it: control characters escaped, as in traces.
std::string printable(const char* name);
std::string quoted(const std::string& text);
// Text from the user (a device path, an address, a file name, a setting) as part of one
// message line: escaped as names are and cut short, so that it can neither drive the terminal
// nor flood it. Every place that prints such text goes through this.
std::string shown(const std::string& text);
// "USB", "Bluetooth 00:16:53:01:02:03" or the device path, as shown().
std::string linkName(const Target& target);

// Prints every telegram and reply the link carries, hex then decoded.
void traceTo(Block& block, std::ostream& err);
// Opens the link of run.target (choosing one first when none was named). Returns kExitOk, or
// the status of the failure it explained.
int connect(Run& run, Block& block);
// kExitOk while the link is sound, else the status of the failure it explained.
int checkLink(Run& run, Block& block);

struct Probe {
  bool answered = false;
  std::string name;
  long code = 0;
  Comm::UsbDeviceInfo usb;  // on USB, the brick opened; its node is empty when none was
};
// Opens a target (a path as the host locates it) and asks the brick's name.
Probe probe(Run& run, const Target& target);

// LinkFailure.cpp
// Explains a failed link and returns the exit status for it.
int linkFailure(Run& run, long code);
// How to let this user open a brick on USB.
void printUdevFix(std::ostream& err);
// For --trace: why opening run.target failed, as far as the machine shows it.
void traceOpenFailure(Run& run, const Block& block);

}  // namespace BrickTool

#endif
