// What the pieces of the brick tool share: the parsed command line, the link it is to use, the
// command table and the context a command runs in. Internal to the tool; BrickTool.h is what
// main() and the tests see.
#ifndef TOOLS_TOOL_H
#define TOOLS_TOOL_H

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "BrickTool.h"
#include "Host.h"
#include "brick/DeviceSetting.hpp"
#include "brick/Screen.h"

namespace BrickTool {

struct Command;

// Block::connectBluetooth takes at most this many characters of a device text and cuts the
// rest, which could leave the path of some other device.
const std::size_t kMaxDevicePath = brick::DeviceSetting::maxPath;

// The command line, parsed.
struct Options {
  const Command* command = nullptr;
  std::vector<std::string> arguments;
  bool usb = false;
  std::string bluetooth;
  std::string device;
  int linkChoices = 0;  // how many of --usb, --bt and --device were given
  bool trace = false;
  bool help = false;
  bool version = false;
  bool brake = false;
  bool watch = false;
  std::string every;     // log --every MS
  std::string duration;  // log --for S
  std::string csv;       // log --csv FILE
  bool write = false;
  std::string port;  // dashboard --port N
};

// Where the commands find the brick, and who said so.
struct Target {
  enum Kind { Usb, Bluetooth, Device };
  Kind kind = Usb;
  std::string text;  // the address or the path; empty for USB
  // Who named it: "--device", "BRICK_DEVICE", the config file's path and line; empty when the
  // tool chooses by itself.
  std::string source;
  bool commandLine = false;  // named by --usb, --bt or --device
  bool chosen = false;       // an automatic target the tool has chosen already
  bool automatic() const { return source.empty(); }
  bool named() const { return !source.empty(); }
};

// What a command runs with.
struct Run {
  const Options& options;
  std::ostream& out;
  std::ostream& err;
  const Environment& environment;
  const Host& host;
  Target target;
};

struct Command {
  const char* name;
  const char* synopsis;
  const char* summary;  // one line, for `brick --help`
  const char* help;     // the rest, for `brick COMMAND --help`
  std::size_t minArguments;
  std::size_t maxArguments;
  std::vector<std::string> flags;  // the command's own options, e.g. --brake
  int (*action)(Run&);
};

const std::vector<Command>& commands();
const Command* findCommand(const std::string& name);

// The commands, one file per group.
int doInfo(Run& run);  // BrickCommands.cpp
int doBattery(Run& run);
int doTone(Run& run);
int doRename(Run& run);
int doMotor(Run& run);
int doStop(Run& run);
int doRead(Run& run);
int readDevice(Run& run, long port, const std::string& kind);  // DeviceCommands.cpp
int doLog(Run& run);
int doDashboard(Run& run);  // Dashboard.cpp
int doList(Run& run);       // Discovery.cpp
int doDoctor(Run& run);     // Doctor.cpp
int doLs(Run& run);         // FlashCommands.cpp
int doUpload(Run& run);
int doDownload(Run& run);
int doRm(Run& run);
int doRunProgram(Run& run);
int doStopProgram(Run& run);
int doSend(Run& run);
int doReceive(Run& run);
int doKeepAlive(Run& run);
int doIoMap(Run& run);  // IoMapCommands.cpp
int doScreenshot(Run& run);
int doButton(Run& run);

// IoMapCommands.cpp: the screen read and made a 100 x 64 PNG (brick::Picture's), for
// `screenshot` and the dashboard; 0 or a code of BrickCode.h.
long screenPng(Brick::Lib::Block& block, std::string& png);

// Options.cpp
bool parse(int argc, const char* const* argv, Options& options, std::string& error);
// An integer in [low, high], or false.
bool integerArgument(const std::string& text, long low, long high, long& value);

// BrickTool.cpp
int usageError(std::ostream& err, const Command* command, const std::string& message);

// Target.cpp: the device the commands use when none is given on the command line.
// Names it from the command line, BRICK_DEVICE or the config file; false with a message when a
// setting cannot be used. Unknown settings in the config file are warned about on `err`.
bool nameTarget(const Options& options, const Host& host, Target& target, std::string& error,
                std::ostream& err);
// The config file's path: $XDG_CONFIG_HOME/brick/config or ~/.config/brick/config; empty when
// neither variable is set.
std::string configPath(const Host& host);
// Chooses a target as `brick list` finds bricks: a USB brick first, then a bound RFCOMM device.
void chooseTarget(Run& run);

}  // namespace BrickTool

#endif
