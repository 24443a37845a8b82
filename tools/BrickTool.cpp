// The tool's entry: the command table, help, and the checks every command line goes through
// before a command runs.
#include "BrickTool.h"

#include "SystemHost.h"
#include "Tool.h"
#include "brick/Version.h"
#include "comm/FdTransport.h"
#include "protocol/TelegramText.h"

namespace BrickTool {

namespace {

const char* const kUsage =
    "usage: brick [--usb | --bt ADDRESS | --device PATH] [--trace] COMMAND [ARGUMENTS]\n";

// The options every command takes.
const char* const kLinkOptions =
    "Link options (every command):\n"
    "  --usb              the first brick on USB\n"
    "  --bt ADDRESS       a brick over Bluetooth, e.g. --bt 00:16:53:01:02:03\n"
    "  --device PATH      a serial device: a bound /dev/rfcommN, or bricksim's pseudo-terminal\n"
    "  --trace            every telegram and reply, in hex and decoded, on stderr, and why\n"
    "                     opening failed\n"
    "  --help             help for the command\n";

const char* const kDefaultLink =
    "With none of --usb, --bt and --device: the device BRICK_DEVICE names (usb, an address or\n"
    "a path), else the one `device = ...` names in $XDG_CONFIG_HOME/brick/config\n"
    "(~/.config/brick/config), else the first brick `brick list` shows: USB first, then the\n"
    "bound /dev/rfcomm devices.\n";

void printToolHelp(std::ostream& out) {
  out << kUsage
      << "\n"
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
    out << command.summary << "\n";
  }
  out << "\n"
      << kLinkOptions << "  --version          prints the version\n"
      << kDefaultLink
      << "\n"
         "Exit status: 0 done, 1 failed, 2 bad arguments, 3 no brick, 4 permission denied,\n"
         "5 no reply in time, 6 brick in use by another program, 130 or 143 an upload stopped by\n"
         "SIGINT or SIGTERM.\n"
         "When no brick can be reached, `brick doctor` says why and how to fix it.\n";
}

void printCommandHelp(std::ostream& out, const Command& command) {
  out << "usage: brick " << command.synopsis << "\n\n"
      << command.summary << (command.help[0] != '\0' ? "\n" : "") << command.help << "\n\n"
      << kLinkOptions << kDefaultLink;
}

}  // namespace

const std::vector<Command>& commands() {
  static const std::vector<Command> table{
      {"list",
       "list",
       "Lists every brick this machine sees.",
       "On USB, with whether you may open it and its name; on the bound Bluetooth devices\n"
       "/dev/rfcomm0 to 9. With --usb, --bt or --device: only that link.\n"
       "Exit status 3 when none is found.",
       0,
       0,
       {},
       doList},
      {"doctor",
       "doctor",
       "Checks what it takes to reach a brick.",
       "One line each with OK or a fix: libusb, the brick's USB device node, the udev rule,\n"
       "your groups, the RFCOMM devices, a brick in firmware-update mode, the device\n"
       "BRICK_DEVICE or the config file names. With --usb only the USB checks; with --bt or\n"
       "--device only that link. Exit status 0 only when a brick can be used.",
       0,
       0,
       {},
       doDoctor},
      {"info",
       "info",
       "Prints name, battery, firmware, flash, sleep.",
       "Also the Bluetooth address. The sleep time comes with a KEEPALIVE, which also resets the "
       "brick's sleep timer.",
       0,
       0,
       {},
       doInfo},
      {"battery", "battery", "Prints the battery voltage in millivolts.", "", 0, 0, {}, doBattery},
      {"tone", "tone FREQ MS", "Plays FREQ hertz for MS milliseconds.", "", 2, 2, {}, doTone},
      {"rename",
       "rename NAME",
       "Renames the brick.",
       "NAME has 1 to 15 printable characters.",
       1,
       1,
       {},
       doRename},
      {"motor",
       "motor PORT POWER [DEGREES]",
       "Runs the motor on PORT at POWER.",
       "PORT is A, B or C; POWER is -100 to 100 (negative runs backwards). It runs\n"
       "without end, or for DEGREES degrees.",
       2,
       3,
       {},
       doMotor},
      {"stop",
       "stop PORT [--brake]",
       "Stops the motor on PORT.",
       "PORT is A, B or C. The motor is let float, or with --brake held still.",
       1,
       1,
       {"--brake"},
       doStop},
      {"read",
       "read PORT KIND [--watch]",
       "Reads the sensor on PORT as KIND.",
       "PORT is 1 to 4. KIND: touch, light, light-off, sound,\n"
       "sound-a, ultrasonic, color, red, green, blue, color-off (the brick maker's\n"
       "sensors); compass, accelerometer, ir-seeker, color-v2, gyro (HiTechnic's) and\n"
       "temperature (the brick maker's digital one). A digital sensor is identified\n"
       "first: another device on the port is named and refused.\n"
       "With --watch the reading is refreshed until Ctrl-C: on one line in a terminal,\n"
       "one line per reading into a pipe or a file.",
       2,
       2,
       {"--watch"},
       doRead},
      {"log",
       "log PORT... [OPTIONS]",
       "Samples sensors and motors to CSV.",
       "Options: --every MS, --for S, --csv FILE.\n"
       "PORT: a sensor port 1 to 4 (its scaled value, as the port is set up), PORT:KIND to\n"
       "set it up and log a typed reading (KIND as for read: compass, gyro, temperature,\n"
       "ir-seeker (the zone), ultrasonic, ...), or a motor A to C (its rotation count).\n"
       "A row every MS milliseconds (default 100) for S seconds (default 10), S x 1000 / MS\n"
       "rows in all, each with the milliseconds since the start; a late row is taken at once\n"
       "and none is skipped. To standard output, or FILE. Ctrl-C ends it early.",
       1,
       7,
       {"--every", "--for", "--csv"},
       doLog},
      {"ls",
       "ls [PATTERN]",
       "Lists the brick's files and their sizes.",
       "PATTERN, as the brick takes it: *.* (the default), NAME.*, *.EXT or a whole name.",
       0,
       1,
       {},
       doLs},
      {"upload",
       "upload FILE [NAME]",
       "Copies FILE to the brick.",
       "As NAME or under its own name, of at most 19 characters (e.g. prog.rxe). An existing file\n"
       "of that name, in any case, is left alone: remove it first. Progress is shown on\n"
       "transfers that take more than a second.\n"
       "FILE is read as it is sent; it must be a regular file (not a device, a FIFO or a\n"
       "directory) no larger than the brick's free flash, else nothing is sent. Ctrl-C or\n"
       "SIGTERM stops it: the brick's handle is closed and the half file deleted (exit 130\n"
       "or 143). A brick out of file handles has all 16 closed, and the upload tried again.",
       1,
       2,
       {},
       doUpload},
      {"download",
       "download NAME [FILE]",
       "Copies the brick's file NAME to FILE.",
       "FILE defaults to NAME in the current directory; - writes to standard output.",
       1,
       2,
       {},
       doDownload},
      {"rm",
       "rm NAME",
       "Deletes the file NAME on the brick.",
       "A file the brick says is busy, held open by a client that ended without closing it,\n"
       "is deleted after closing all 16 of the brick's file handles (any other transfer ends).",
       1,
       1,
       {},
       doRm},
      {"run",
       "run PROGRAM",
       "Starts PROGRAM (e.g. robot.rxe) on the brick.",
       "",
       1,
       1,
       {},
       doRunProgram},
      {"stop-program",
       "stop-program",
       "Stops the program running on the brick.",
       "",
       0,
       0,
       {},
       doStopProgram},
      {"send",
       "send BOX TEXT",
       "Sends TEXT to a program's inbox BOX.",
       "BOX is 0 to 9; TEXT has at most 58 bytes.",
       2,
       2,
       {},
       doSend},
      {"receive",
       "receive BOX",
       "Prints a program's oldest message in BOX.",
       "BOX is 10 to 19, the running program's outboxes; the message is taken out.",
       1,
       1,
       {},
       doReceive},
      {"keepalive",
       "keepalive [--watch]",
       "Resets the sleep timer; prints the time.",
       "With --watch keeps the brick awake until Ctrl-C.",
       0,
       0,
       {"--watch"},
       doKeepAlive},
      {"iomap",
       "iomap [MODULE [OFFSET LEN]]",
       "Shows or writes a firmware module's IO map.",
       "Without MODULE, lists the brick's modules: name, id and IO map size. MODULE is a name\n"
       "(Display.mod, or display) or an id (0x000A0001). Prints LEN bytes from OFFSET in hex,\n"
       "or the whole map. With --write, the arguments are MODULE OFFSET HEX: writes the bytes\n"
       "HEX (e.g. 0102ff) at OFFSET, which the firmware acts on as its own parts do.\n"
       "OFFSET and LEN are decimal, or hex after 0x.",
       0,
       3,
       {"--write"},
       doIoMap},
      {"screenshot",
       "screenshot [FILE]",
       "Saves the brick's screen as a PNG.",
       "100 x 64 pixels, dark ones black, to FILE (default screenshot.png; - writes to standard\n"
       "output). Shows what the LCD shows: the popup screen when one is up.",
       0,
       1,
       {},
       doScreenshot},
      {"button",
       "button BUTTON",
       "Presses one of the brick's buttons.",
       "BUTTON is ENTER (orange), LEFT, RIGHT or EXIT (dark grey); the brick's menu takes the\n"
       "press as if made on the brick.",
       1,
       1,
       {},
       doButton},
  };
  return table;
}

const Command* findCommand(const std::string& name) {
  for (const Command& command : commands()) {
    if (name == command.name) {
      return &command;
    }
  }
  return nullptr;
}

int usageError(std::ostream& err, const Command* command, const std::string& message) {
  err << "brick: " << Nxt::shortText(message, 160) << "\n";  // it may quote any argv word
  if (command != nullptr) {
    err << "usage: brick " << command->synopsis << "\n"
        << "Try `brick " << command->name << " --help`.\n";
  } else {
    err << kUsage << "Try `brick --help`.\n";
  }
  return kExitUsage;
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
        const Environment& environment) {
  Options options;
  std::string error;
  if (!parse(argc, argv, options, error)) {
    return usageError(err, options.command, error);
  }
  if (options.version) {
    out << "brick " << Brick::Lib::version() << "\n";
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
  const Host& host = environment.host != nullptr ? *environment.host : machine;
  Run context{options, out, err, environment, host, Target()};
  if (!nameTarget(options, host, context.target, error, err)) {
    return usageError(err, command, error);
  }
  return command->action(context);
}

}  // namespace BrickTool
