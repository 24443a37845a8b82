// The commands that talk to one brick: info, battery, tone, rename, motor, stop and read (the
// brick's files, programs and mailboxes are in FlashCommands.cpp).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <functional>
#include <string>
#include <thread>

#include "Connection.h"
#include "DeviceReader.h"
#include "FlashCommands.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"
#include "brick/Ultrasonic.h"

namespace BrickTool {

int doInfo(Run& run) {
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Flash::Io io = flashIo(run);
  status = Flash::infoLines(block, io);
  if (status == kExitOk) {
    run.out << "link:    " << linkName(run.target) << "\n";
  }
  return status;
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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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
  if (kind == nullptr && DeviceReader::known(run.options.arguments[1])) {
    return readDevice(run, port, run.options.arguments[1]);
  }
  if (kind == nullptr) {
    return usageError(run.err, command,
                      "unknown KIND '" + run.options.arguments[1] +
                          "': touch, light, light-off, sound, sound-a, ultrasonic, color, red, "
                          "green, blue, color-off, " +
                          DeviceReader::kindList());
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
  // On a terminal a watch rewrites one line; into a pipe or a file it writes one per reading.
  bool rewrite = run.options.watch && run.environment.terminal;
  std::size_t widest = 0;
  bool midLine = false;
  // Whatever comes next, an error or the shell's prompt, starts on a line of its own.
  auto endLine = [&] {
    if (midLine) {
      run.out << "\n";
    }
    run.out << std::flush;
  };
  for (;;) {
    int value = -1;
    long code = Brick::Lib::kBrickOk;
    if (kind->code == Brick::Lib::SENSOR_ULTRASONIC) {
      // One distance request and its read, as the brick runs its bus: Sensor::getValue would
      // send a request per poll, each refused while the last one is on the bus.
      code = Brick::Lib::Ultrasonic(block, static_cast<int>(port) - 1).read(value);
    } else {
      value = sensor.getValue();
    }
    // The reading's own refusals and time-out are the sensor's; anything else is the link's.
    bool linkFailed = code == Brick::Lib::kBrickOk
                          ? block.getStatus().isFatal()
                          : code < 0 && code > Brick::Lib::kBrickNotAttached;
    if (linkFailed) {
      endLine();
      return checkLink(run, block);
    }
    if (code != Brick::Lib::kBrickOk || value < 0) {
      endLine();
      run.err << "brick: no reading from the " << kind->name << " sensor on port " << port
              << ": is it plugged in?\n";
      return kExitFailed;
    }
    std::string line = label + readingText(kind->code, value);
    if (!run.options.watch) {
      run.out << line << "\n";
      return kExitOk;
    }
    if (rewrite) {
      // Pad over what a longer reading left.
      widest = std::max(widest, line.size());
      run.out << "\r" << line << std::string(widest - line.size(), ' ') << std::flush;
      midLine = true;
    } else {
      run.out << line << "\n" << std::flush;
    }
    auto until = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(run.environment.watchIntervalMs);
    while (!interrupted(run.environment) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (interrupted(run.environment)) {
      endLine();
      return kExitOk;
    }
  }
}

}  // namespace BrickTool
