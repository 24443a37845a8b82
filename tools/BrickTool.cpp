#include "BrickTool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Survey.h"
#include "SystemHost.h"
#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"
#include "comm/FdTransport.h"
#include "comm/LinkCode.h"
#include "comm/TelegramText.h"

namespace BrickTool {

namespace {

using Brick::Lib::Block;

const char* const kVersion = BRICK_TOOL_VERSION;
const char* const kRuleFile = "70-nxt-brick.rules";
const char* const kRuleGroup = "plugdev";
// Block::connectBluetooth takes at most this many characters of a device text and cuts the
// rest, which could leave the path of some other device.
const std::size_t kMaxDevicePath = 255;

// The options every command takes.
const char* const kLinkOptions =
    "Link options (every command):\n"
    "  --usb              the first brick on USB (the default)\n"
    "  --bt ADDRESS       a brick over Bluetooth, e.g. --bt 00:16:53:01:02:03\n"
    "  --device PATH      a serial device: a bound /dev/rfcommN, or bricksim's pseudo-terminal\n"
    "  --trace            every telegram and reply, in hex and decoded, on stderr\n"
    "  --help             help for the command\n";

struct Command;

// The command line, parsed.
struct Options {
  const Command* command = nullptr;
  std::vector<std::string> arguments;
  std::string bluetooth;
  std::string device;
  int linkChoices = 0;
  bool trace = false;
  bool help = false;
  bool version = false;
  bool brake = false;
  bool watch = false;
};

// What a command runs with.
struct Run {
  const Options& options;
  std::ostream& out;
  std::ostream& err;
  const Environment& environment;
  const Host& host;
};

struct Command {
  const char* name;
  const char* synopsis;
  const char* help;
  std::size_t minArguments;
  std::size_t maxArguments;
  std::vector<std::string> flags;  // the command's own options, e.g. --brake
  int (*action)(Run&);
};

const std::vector<Command>& commands();

const Command* findCommand(const std::string& name) {
  for (const Command& command : commands()) {
    if (name == command.name) {
      return &command;
    }
  }
  return nullptr;
}

void printToolHelp(std::ostream& out) {
  out << "usage: brick [--usb | --bt ADDRESS | --device PATH] [--trace] COMMAND [ARGUMENTS]\n"
         "\n"
         "Sets up, checks and pokes an NXT brick.\n"
         "\n"
         "Commands:\n";
  for (const Command& command : commands()) {
    std::string line = std::string("  ") + command.synopsis;
    out << line;
    if (line.size() < 34) {
      out << std::string(34 - line.size(), ' ');
    } else {
      out << "\n" << std::string(34, ' ');
    }
    std::string help = command.help;
    out << help.substr(0, help.find('\n')) << "\n";
  }
  out << "\n"
      << kLinkOptions
      << "  --version          prints the version\n"
         "\n"
         "Exit status: 0 done, 1 failed, 2 bad arguments, 3 no brick, 4 permission denied,\n"
         "5 no reply in time, 6 brick in use by another program.\n"
         "When no brick can be reached, `brick doctor` says why and how to fix it.\n";
}

void printCommandHelp(std::ostream& out, const Command& command) {
  out << "usage: brick " << command.synopsis << "\n\n" << command.help << "\n\n" << kLinkOptions;
}

int usageError(std::ostream& err, const Command* command, const std::string& message) {
  err << "brick: " << Nxt::shortText(message, 160) << "\n";  // it may quote any argv word
  if (command != nullptr) {
    err << "usage: brick " << command->synopsis << "\n"
        << "Try `brick " << command->name << " --help`.\n";
  } else {
    err << "usage: brick [--usb | --bt ADDRESS | --device PATH] [--trace] COMMAND [ARGUMENTS]\n"
           "Try `brick --help`.\n";
  }
  return kExitUsage;
}

bool parse(int argc, const char* const* argv, Options& options, std::string& error) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    words.emplace_back(argv[i] != nullptr ? argv[i] : "");
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    bool isNumber =
        word.size() > 1 && word[0] == '-' && std::isdigit(static_cast<unsigned char>(word[1]));
    if (word.empty() || word[0] != '-' || isNumber || word == "-") {
      if (options.command == nullptr) {
        options.command = findCommand(word);
        if (options.command == nullptr) {
          error = "unknown command '" + word + "'";
          return false;
        }
      } else {
        options.arguments.push_back(word);
      }
      continue;
    }
    if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--version") {
      options.version = true;
    } else if (word == "--trace") {
      options.trace = true;
    } else if (word == "--usb") {
      ++options.linkChoices;
    } else if (word == "--bt" || word == "--device") {
      if (i + 1 >= words.size()) {
        error = word + " needs a value";
        return false;
      }
      ++options.linkChoices;
      (word == "--bt" ? options.bluetooth : options.device) = words[++i];
      if (words[i].empty()) {
        error = word + " needs a value";
        return false;
      }
    } else if (options.command != nullptr &&
               std::find(options.command->flags.begin(), options.command->flags.end(), word) !=
                   options.command->flags.end()) {
      (word == "--brake" ? options.brake : options.watch) = true;
    } else {
      error = "unknown option '" + word + "'";
      return false;
    }
  }
  return true;
}

// An integer in [low, high], or false.
bool integerArgument(const std::string& text, long low, long high, long& value) {
  if (text.empty()) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The link

// A brick's name as the terminal may show it: control characters escaped, as in traces.
std::string printable(const char* name) {
  return Nxt::nameText(reinterpret_cast<const std::uint8_t*>(name), std::strlen(name));
}

// Prints every telegram and reply the link carries, hex then decoded.
void traceTo(Block& block, std::ostream& err) {
  block.getCommunication().setTracer([&err](bool sent, const std::uint8_t* t, std::size_t n) {
    err << (sent ? "trace > " : "trace < ") << Nxt::hexText(t, n) << "  ("
        << (sent ? Nxt::describeCommand(t, n) : Nxt::describeReply(t, n)) << ")\n";
  });
}

std::string linkName(const Options& options) {
  if (!options.device.empty()) {
    return options.device;
  }
  if (!options.bluetooth.empty()) {
    return "Bluetooth " + options.bluetooth;
  }
  return "USB";
}

void printUdevFix(std::ostream& err) {
  err << "  fix: install the udev rule that gives the brick to group " << kRuleGroup << ":\n"
      << "         sudo install -m 644 udev/" << kRuleFile << " /etc/udev/rules.d/\n"
      << "         sudo udevadm control --reload-rules && sudo udevadm trigger\n"
      << "       be in group " << kRuleGroup << ": sudo usermod -aG " << kRuleGroup
      << " \"$USER\", then log out and in again\n"
      << "       then unplug the brick and plug it in again.\n"
      << "  `brick doctor` checks each step.\n";
}

// Explains a failed link and returns the exit status for it.
int linkFailure(Run& run, long code) {
  std::ostream& err = run.err;
  std::string where = linkName(run.options);
  bool usb = run.options.device.empty() && run.options.bluetooth.empty();
  switch (code) {
    case Comm::kLinkNoDevice:
      if (usb) {
        err << "brick: no brick found on USB: plug it in and switch it on.\n"
            << "  `brick doctor` says what else to check; `brick list` shows every brick.\n";
      } else {
        err << "brick: no brick at " << where << ".\n"
            << "  Check the path or address; `brick list` shows the bricks this machine sees.\n";
      }
      return kExitNoBrick;
    case Comm::kLinkAccessDenied:
      err << "brick: permission denied on " << where << ".\n";
      if (usb) {
        printUdevFix(err);
      } else {
        std::string group = run.host.ownerGroup(run.options.device);
        if (group.empty() || group == "root") {
          group = "dialout";
        }
        err << "  fix: sudo usermod -aG " << group
            << " \"$USER\", then log out and in again (ls -l shows the device's group).\n";
      }
      return kExitPermission;
    case Comm::kLinkTimeout:
      err << "brick: no reply from the brick on " << where << " within "
          << Comm::kReplyTimeoutMs / 1000.0 << " s.\n"
          << "  Is it switched on" << (usb ? "" : ", paired and in range")
          << "? A brick that sleeps must be woken with its orange button.\n";
      return kExitTimeout;
    case Comm::kLinkBusy:
      err << "brick: the brick on " << where
          << " is in use by another program: close that program and try again.\n";
      return kExitBusy;
    case Comm::kLinkClosedByPeer:
      err << "brick: the brick on " << where << " went away (unplugged, switched off or out of "
          << "range).\n";
      return kExitFailed;
    case Comm::kLinkIoError:
      if (usb) {
        err << "brick: cannot list the USB devices (libusb failed); `brick doctor` says more.\n";
        return kExitNoBrick;
      }
      break;
    default:
      break;
  }
  err << "brick: " << Comm::linkCodeText(code) << " on " << where << ".\n";
  return kExitFailed;
}

// Opens the link the options name. Returns kExitOk, or the status of the failure it explained.
int connect(Run& run, Block& block) {
  if (run.options.trace) {
    traceTo(block, run.err);
  }
  bool opened = false;
  if (!run.options.device.empty()) {
    std::string path = run.options.device;
    opened = block.connectBluetooth(&path[0]);
  } else if (!run.options.bluetooth.empty()) {
    std::string address = run.options.bluetooth;
    opened = block.connectBluetooth(&address[0]);
  } else {
    opened = block.connect();
  }
  if (!opened) {
    long code = block.getStatus().getCode();
    return linkFailure(run, code != 0 ? code : Comm::kLinkNoDevice);
  }
  return kExitOk;
}

// kExitOk while the link is sound, else the status of the failure it explained.
int checkLink(Run& run, Block& block) {
  return block.getStatus().isFatal() ? linkFailure(run, block.getStatus().getCode()) : kExitOk;
}

// ---------------------------------------------------------------------------------------------
// Commands on one brick

int doInfo(Run& run) {
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  char name[256];
  block.getName(name);
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  int battery = block.getBatteryLevel();
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  run.out << "name:    " << (name[0] != '\0' ? printable(name) : "(none given)") << "\n"
          << "battery: " << battery << " mV\n"
          << "link:    " << linkName(run.options) << "\n";
  return kExitOk;
}

int doBattery(Run& run) {
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  int battery = block.getBatteryLevel();
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  run.out << battery << " mV\n";
  return kExitOk;
}

int doTone(Run& run) {
  long frequency = 0;
  long duration = 0;
  const Command* command = run.options.command;
  if (!integerArgument(run.options.arguments[0], 1, 65535, frequency)) {
    return usageError(run.err, command, "FREQ must be a whole number of hertz, 1 to 65535");
  }
  if (!integerArgument(run.options.arguments[1], 1, 65535, duration)) {
    return usageError(run.err, command, "MS must be a whole number of milliseconds, 1 to 65535");
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  block.playTone(static_cast<int>(frequency), static_cast<int>(duration));
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  run.out << "tone: " << frequency << " Hz for " << duration << " ms\n";
  return kExitOk;
}

int doRename(Run& run) {
  const std::string& name = run.options.arguments[0];
  if (name.empty() || name.size() > 15) {
    return usageError(run.err, run.options.command, "NAME must have 1 to 15 characters");
  }
  for (char c : name) {
    if (c < 0x20 || c > 0x7E) {
      return usageError(run.err, run.options.command,
                        "NAME may hold only printable ASCII characters");
    }
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  std::string text = name;
  block.setName(&text[0]);
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  char now[256];
  block.getName(now);
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  if (name != now) {
    run.err << "brick: the brick did not take the name; it is still called '" << printable(now)
            << "'.\n";
    return kExitFailed;
  }
  run.out << "name: " << printable(now) << "\n";
  return kExitOk;
}

// Output ports are A, B, C on the brick's case; 0, 1, 2 on the wire.
bool outputPort(const std::string& text, int& port) {
  if (text.size() != 1) {
    return false;
  }
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (c < 'A' || c > 'C') {
    return false;
  }
  port = c - 'A';
  return true;
}

// Connects, attaches a motor at an output port, lets `act` drive it, and says whether the
// brick was reached.
int onMotor(Run& run, int port, const std::function<void(Brick::Lib::Motor&)>& act) {
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Brick::Lib::Motor motor;
  block.setMotor(&motor, port);
  act(motor);
  return checkLink(run, block);
}

int doMotor(Run& run) {
  const Command* command = run.options.command;
  int port = 0;
  long power = 0;
  long degrees = 0;
  if (!outputPort(run.options.arguments[0], port)) {
    return usageError(run.err, command, "PORT must be A, B or C");
  }
  if (!integerArgument(run.options.arguments[1], -100, 100, power)) {
    return usageError(run.err, command, "POWER must be a whole number from -100 to 100");
  }
  bool limited = run.options.arguments.size() > 2;
  if (limited && !integerArgument(run.options.arguments[2], 1, INT_MAX, degrees)) {
    return usageError(run.err, command, "DEGREES must be a whole number above 0");
  }
  int p = static_cast<int>(power);
  int status = onMotor(run, port, [&](Brick::Lib::Motor& motor) {
    if (limited) {
      p >= 0 ? motor.moveForwardDegrees(p, static_cast<int>(degrees))
             : motor.moveBackwardDegrees(-p, static_cast<int>(degrees));
    } else {
      p >= 0 ? motor.moveForward(p) : motor.moveBackward(-p);
    }
  });
  if (status != kExitOk) {
    return status;
  }
  run.out << "motor " << static_cast<char>('A' + port) << ": power " << power;
  if (limited) {
    run.out << " for " << degrees << " degrees";
  }
  run.out << "\n";
  return kExitOk;
}

int doStop(Run& run) {
  int port = 0;
  if (!outputPort(run.options.arguments[0], port)) {
    return usageError(run.err, run.options.command, "PORT must be A, B or C");
  }
  int status =
      onMotor(run, port, [&](Brick::Lib::Motor& motor) { motor.setBrake(run.options.brake); });
  if (status != kExitOk) {
    return status;
  }
  run.out << "motor " << static_cast<char>('A' + port) << ": "
          << (run.options.brake ? "braked" : "floating") << "\n";
  return kExitOk;
}

struct SensorKind {
  const char* name;
  int code;
};

const std::vector<SensorKind>& sensorKinds() {
  using namespace Brick::Lib;
  static const std::vector<SensorKind> kinds{{"touch", SENSOR_TOUCH},
                                             {"light", SENSOR_LIGHT_ACTIVE},
                                             {"light-off", SENSOR_LIGHT_INACTIVE},
                                             {"sound", SENSOR_SOUND_DB},
                                             {"sound-a", SENSOR_SOUND_DBA},
                                             {"ultrasonic", SENSOR_ULTRASONIC},
                                             {"color", SENSOR_COLOR_FULL},
                                             {"red", SENSOR_COLOR_RED},
                                             {"green", SENSOR_COLOR_GREEN},
                                             {"blue", SENSOR_COLOR_BLUE},
                                             {"color-off", SENSOR_COLOR_NONE}};
  return kinds;
}

// A reading as a person reads it, e.g. "pressed", "42 %", "17 cm", "red".
std::string readingText(int kind, int value) {
  using namespace Brick::Lib;
  switch (kind) {
    case SENSOR_TOUCH:
      return value != 0 ? "pressed" : "released";
    case SENSOR_LIGHT_ACTIVE:
    case SENSOR_LIGHT_INACTIVE:
    case SENSOR_SOUND_DB:
    case SENSOR_SOUND_DBA:
      return std::to_string(value) + " %";
    case SENSOR_ULTRASONIC:
      return value == 255 ? "no echo" : std::to_string(value) + " cm";
    case SENSOR_COLOR_FULL: {
      static const char* const colours[] = {"black", "blue", "green", "yellow", "red", "white"};
      if (value >= 1 && value <= 6) {
        return colours[value - 1];
      }
      return "colour " + std::to_string(value);
    }
    default:
      return std::to_string(value);
  }
}

bool interrupted(const Environment& environment) {
  return environment.interrupted != nullptr && environment.interrupted->load();
}

int doRead(Run& run) {
  const Command* command = run.options.command;
  long port = 0;
  if (!integerArgument(run.options.arguments[0], 1, 4, port)) {
    return usageError(run.err, command, "PORT must be 1, 2, 3 or 4");
  }
  const SensorKind* kind = nullptr;
  for (const SensorKind& candidate : sensorKinds()) {
    if (run.options.arguments[1] == candidate.name) {
      kind = &candidate;
    }
  }
  if (kind == nullptr) {
    return usageError(run.err, command,
                      "unknown KIND '" + run.options.arguments[1] +
                          "': touch, light, light-off, sound, sound-a, ultrasonic, color, red, "
                          "green, blue or color-off");
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Brick::Lib::Sensor sensor;
  sensor.setSensorType(kind->code);
  block.setSensor(&sensor, static_cast<int>(port) - 1);
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  std::string label = "port " + std::to_string(port) + " " + kind->name + ": ";
  std::size_t widest = 0;
  bool first = true;
  for (;;) {
    int value = sensor.getValue();
    if ((status = checkLink(run, block)) != kExitOk) {
      if (run.options.watch && !first) {
        run.out << "\n";
      }
      return status;
    }
    if (value < 0) {
      if (run.options.watch && !first) {
        run.out << "\n";
      }
      run.err << "brick: no reading from the " << kind->name << " sensor on port " << port
              << ": is it plugged in?\n";
      return kExitFailed;
    }
    std::string line = label + readingText(kind->code, value);
    if (!run.options.watch) {
      run.out << line << "\n";
      return kExitOk;
    }
    // One line, rewritten in place: pad over what a longer reading left.
    widest = std::max(widest, line.size());
    run.out << "\r" << line << std::string(widest - line.size(), ' ') << std::flush;
    first = false;
    auto until = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(run.environment.watchIntervalMs);
    while (!interrupted(run.environment) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (interrupted(run.environment)) {
      run.out << "\n";
      return kExitOk;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Finding bricks: list and doctor

std::string usbPlace(const Comm::UsbDeviceInfo& device) {
  char text[64];
  std::snprintf(text, sizeof text, "bus %03d device %03d", device.bus, device.address);
  return text;
}

struct Probe {
  bool answered = false;
  std::string name;
  long code = 0;
};

// Opens the first USB brick, or a serial device, and asks its name.
Probe probe(Run& run, const std::string& path) {
  Probe result;
  Block block;
  if (run.options.trace) {
    traceTo(block, run.err);
  }
  bool opened = false;
  if (path.empty()) {
    opened = block.connect();
  } else {
    std::string located = run.host.locate(path);
    opened = block.connectBluetooth(&located[0]);
  }
  if (!opened) {
    result.code = block.getStatus().getCode();
    return result;
  }
  char name[256];
  block.getName(name);
  result.code = block.getStatus().getCode();
  result.answered = block.getStatus().isNotFatal() && name[0] != '\0';
  result.name = name;
  if (block.getStatus().isNotFatal() && !result.answered) {
    result.code = Comm::kLinkBadReply;
  }
  return result;
}

std::string quoted(const std::string& text) {
  return "\"" + printable(text.c_str()) + "\"";
}

int doList(Run& run) {
  Survey survey(run.host);
  std::ostream& out = run.out;
  int usable = 0;
  int denied = 0;
  int found = 0;
  bool firstProbed = false;
  if (!survey.usbEnumerated) {
    out << "USB: cannot list the devices (libusb failed); `brick doctor` says more.\n";
  }
  for (const Survey::UsbBrick& brick : survey.usbBricks) {
    ++found;
    out << "USB " << usbPlace(brick.device) << "  ";
    if (brick.firmwareUpdate) {
      out << "brick in firmware-update mode: cannot be talked to\n";
    } else if (!brick.accessible) {
      ++denied;
      out << "brick, permission denied on " << brick.device.node << ": see `brick doctor`\n";
    } else if (!firstProbed) {
      // The link opens the first brick it may open, which is this one.
      firstProbed = true;
      Probe answer = probe(run, "");
      if (answer.answered) {
        ++usable;
        out << "brick " << quoted(answer.name) << "\n";
      } else {
        out << "brick, " << Comm::linkCodeText(answer.code) << "\n";
      }
    } else {
      ++usable;
      out << "brick (name not read: `brick --usb` opens the first brick only)\n";
    }
  }
  for (const Survey::RfcommDevice& device : survey.rfcomm) {
    out << device.path << "  ";
    if (!device.accessible) {
      ++denied;
      out << "permission denied (group " << device.group << "): see `brick doctor`\n";
      continue;
    }
    Probe answer = probe(run, device.path);
    if (answer.answered) {
      ++found;
      ++usable;
      out << "brick " << quoted(answer.name) << "\n";
    } else {
      out << "no brick answers (" << Comm::linkCodeText(answer.code) << ")\n";
    }
  }
  if (found == 0 && denied == 0) {
    out << "No brick found: none on USB";
    out << (survey.rfcomm.empty() ? ", no bound /dev/rfcomm device" : ", none on /dev/rfcomm");
    out << ".\n`brick doctor` says what to check.\n";
    return kExitNoBrick;
  }
  if (usable > 0) {
    return kExitOk;
  }
  return denied > 0 ? kExitPermission : kExitNoBrick;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

int doDoctor(Run& run) {
  const Host& host = run.host;
  Survey survey(host);
  std::ostream& out = run.out;
  const char* const ok = "OK    ";
  const char* const fail = "FAIL  ";
  const char* const note = "--    ";
  const std::string indent = "      ";
  bool usable = false;
  bool denied = false;
  std::string user = host.userName();

  // USB
  if (survey.usbEnumerated) {
    out << ok << "libusb lists " << survey.usbDeviceCount << " USB device"
        << (survey.usbDeviceCount == 1 ? "" : "s") << "\n";
  } else {
    out << fail << "libusb cannot list the USB devices\n"
        << indent << "fix: check that /dev/bus/usb exists (in a container, pass the host's "
        << "/dev/bus/usb through)\n";
  }
  bool brickOnUsb = false;
  bool probed = false;
  for (const Survey::UsbBrick& brick : survey.usbBricks) {
    std::string place = usbPlace(brick.device) + " (" + brick.device.node + ")";
    if (brick.firmwareUpdate) {
      out << fail << "brick in firmware-update mode at " << place << ": it cannot be talked to\n"
          << indent << "fix: flash its firmware again with a firmware-update program, then "
          << "replug it\n";
      continue;
    }
    brickOnUsb = true;
    if (!brick.accessible) {
      denied = true;
      out << fail << "brick at " << place << ": user " << user << " may not open it\n"
          << indent << "fix: install the udev rule and be in its group (below), then unplug "
          << "and replug the brick\n";
      continue;
    }
    if (probed) {
      out << ok << "brick at " << place << " may be opened\n";
      continue;
    }
    probed = true;
    Probe answer = probe(run, "");
    if (answer.answered) {
      usable = true;
      out << ok << "brick at " << place << " answers as " << quoted(answer.name) << "\n";
    } else if (answer.code == Comm::kLinkBusy) {
      out << fail << "brick at " << place << " is held by another program\n"
          << indent << "fix: close the other program that uses the brick\n";
    } else {
      out << fail << "brick at " << place << " does not answer (" << Comm::linkCodeText(answer.code)
          << ")\n"
          << indent << "fix: switch it on (orange button); if it ticks, it waits for firmware\n";
    }
  }
  if (survey.usbEnumerated && !brickOnUsb) {
    out << note << "no brick on USB: plug it in with its cable and switch it on\n";
  }

  // udev rule and groups
  std::string group = kRuleGroup;
  if (!survey.rules.empty()) {
    const Survey::UdevRule& rule = survey.rules.front();
    if (!rule.group.empty()) {
      group = rule.group;
    }
    out << ok << "udev rule " << rule.file << " gives the brick to group "
        << (rule.group.empty() ? "(none)" : rule.group)
        << (rule.uaccess ? " and the seat's user" : "") << "\n";
  } else {
    out << fail << "no udev rule for the brick (0694:0002) in /etc/udev/rules.d or "
        << "/lib/udev/rules.d\n"
        << indent << "fix: sudo install -m 644 udev/" << kRuleFile << " /etc/udev/rules.d/ && "
        << "sudo udevadm control --reload-rules && sudo udevadm trigger\n"
        << indent << "     then unplug and replug the brick\n";
  }
  if (host.isRoot()) {
    out << ok << "running as root: every device may be opened (not needed once the rule is in)\n";
  } else if (contains(host.sessionGroups(), group)) {
    out << ok << "user " << user << " is in group " << group << "\n";
  } else if (contains(host.accountGroups(), group)) {
    out << fail << "user " << user << " was added to group " << group
        << ", but this login session predates it\n"
        << indent << "fix: log out and in again (or run `newgrp " << group << "`)\n";
  } else {
    out << fail << "user " << user << " is not in group " << group << "\n"
        << indent << "fix: sudo usermod -aG " << group << " " << user
        << ", then log out and in again\n";
  }

  // Bluetooth
  if (survey.rfcomm.empty()) {
    out << note << "no bound RFCOMM device (/dev/rfcomm0 to 9): for Bluetooth, pair the brick, "
        << "then `sudo rfcomm bind 0 ADDRESS`, or use --bt ADDRESS\n";
  }
  for (const Survey::RfcommDevice& device : survey.rfcomm) {
    if (!device.accessible) {
      denied = true;
      std::string owner = device.group.empty() || device.group == "root" ? "dialout" : device.group;
      out << fail << device.path << ": user " << user << " may not open it\n"
          << indent << "fix: sudo usermod -aG " << owner << " " << user
          << ", then log out and in again\n";
      continue;
    }
    Probe answer = probe(run, device.path);
    if (answer.answered) {
      usable = true;
      out << ok << device.path << ": a brick answers as " << quoted(answer.name) << "\n";
    } else {
      out << fail << device.path << ": no brick answers (" << Comm::linkCodeText(answer.code)
          << ")\n"
          << indent << "fix: switch the brick on and bring it in range; check that the address "
          << "bound (rfcomm -a) is the brick's\n";
    }
  }

  if (usable) {
    out << "A brick can be used: try `brick info`"
        << (brickOnUsb ? "" : " with --device and the path above") << ".\n";
    return kExitOk;
  }
  if (denied) {
    out << "A brick is there but cannot be opened: apply the fixes above, then run "
        << "`brick doctor` again.\n";
    return kExitPermission;
  }
  if (!brickOnUsb && survey.rfcomm.empty()) {
    out << "No brick found: plug one in by USB and switch it on, or bind one over Bluetooth;\n"
        << "apply the fixes above, then run `brick doctor` again.\n";
  } else {
    out << "No brick can be used: apply the fixes above, then run `brick doctor` again.\n";
  }
  return kExitNoBrick;
}

const std::vector<Command>& commands() {
  static const std::vector<Command> table{
      {"list",
       "list",
       "Lists every brick this machine sees: on USB (with whether you may open "
       "it\nand its name), and on the bound Bluetooth devices /dev/rfcomm0 to 9.\nExit status 3 "
       "when none is found.",
       0,
       0,
       {},
       doList},
      {"doctor",
       "doctor",
       "Checks what it takes to reach a brick, one line each with OK or a fix:\nlibusb, the "
       "brick's USB device node, the udev rule, your groups, the\nRFCOMM devices, a brick in "
       "firmware-update mode. Exit status 0 only when\na brick can be used.",
       0,
       0,
       {},
       doDoctor},
      {"info", "info", "Prints the brick's name and battery voltage.", 0, 0, {}, doInfo},
      {"battery", "battery", "Prints the battery voltage in millivolts.", 0, 0, {}, doBattery},
      {"tone", "tone FREQ MS", "Plays a tone of FREQ hertz for MS milliseconds.", 2, 2, {}, doTone},
      {"rename",
       "rename NAME",
       "Renames the brick; NAME has 1 to 15 printable characters.",
       1,
       1,
       {},
       doRename},
      {"motor",
       "motor PORT POWER [DEGREES]",
       "Runs the motor on PORT (A, B or C) at POWER (-100 to 100; negative runs\nbackwards), "
       "without end or for DEGREES degrees.",
       2,
       3,
       {},
       doMotor},
      {"stop",
       "stop PORT [--brake]",
       "Stops the motor on PORT (A, B or C): lets it float, or with --brake holds\nit still.",
       1,
       1,
       {"--brake"},
       doStop},
      {"read",
       "read PORT KIND [--watch]",
       "Reads the sensor on PORT (1 to 4). KIND: touch, light, light-off, sound,\nsound-a, "
       "ultrasonic, color, red, green, blue, color-off.\nWith --watch the reading is refreshed "
       "on one line until Ctrl-C.",
       2,
       2,
       {"--watch"},
       doRead},
  };
  return table;
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
        const Environment& environment) {
  Options options;
  std::string error;
  if (!parse(argc, argv, options, error)) {
    return usageError(err, options.command, error);
  }
  if (options.version) {
    out << "brick " << kVersion << "\n";
    return kExitOk;
  }
  if (options.help) {
    options.command != nullptr ? printCommandHelp(out, *options.command) : printToolHelp(out);
    return kExitOk;
  }
  const Command* command = options.command;
  if (command == nullptr) {
    return usageError(err, nullptr, "no command given");
  }
  if (options.arguments.size() < command->minArguments) {
    return usageError(err, command, "missing arguments");
  }
  if (options.arguments.size() > command->maxArguments) {
    return usageError(err, command, "too many arguments");
  }
  if (options.linkChoices > 1) {
    return usageError(err, command, "give one of --usb, --bt ADDRESS and --device PATH");
  }
  if (!options.bluetooth.empty() && !Comm::FdTransport::isBluetoothAddress(options.bluetooth)) {
    return usageError(err, command,
                      "'" + options.bluetooth + "' is not a Bluetooth address (XX:XX:XX:XX:XX:XX)");
  }
  if (options.device.size() > kMaxDevicePath) {
    return usageError(
        err, command,
        "the device path must have at most " + std::to_string(kMaxDevicePath) + " characters");
  }
  SystemHost machine;
  Run context{options, out, err, environment,
              environment.host != nullptr ? *environment.host : machine};
  return command->action(context);
}

}  // namespace BrickTool
