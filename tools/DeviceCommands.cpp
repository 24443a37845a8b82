// `brick read PORT KIND` for the sensors with a typed driver (DeviceReader), and `brick log`.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "Connection.h"
#include "DeviceReader.h"
#include "brick/BrickCode.h"
#include "brick/Sampler.h"

namespace BrickTool {

namespace {

bool interruptedRun(const Environment& environment) {
  return environment.interrupted != nullptr && environment.interrupted->load();
}

// A driver's failure: the link's, a device refused with its reason, or no reading.
int readingFailure(Run& run, Block& block, const DeviceReader& reader, long code,
                   const std::string& what) {
  std::string why = reader.problem();
  if (why.empty() && code < 0 && code > Brick::Lib::kBrickNotAttached) {
    return checkLink(run, block);
  }
  run.err << "brick: "
          << (why.empty() ? "no reading from the " + what + ": is it plugged in?" : why) << "\n";
  return kExitFailed;
}

// A number from the command line with a fraction allowed, in [low, high].
bool decimalArgument(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  double parsed = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(parsed >= low && parsed <= high)) {
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

int readDevice(Run& run, long port, const std::string& kind) {
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  auto reader = DeviceReader::make(block, kind, static_cast<int>(port) - 1);
  std::string what = kind + " sensor on port " + std::to_string(port);
  long code = reader->setUp();
  if (code != Brick::Lib::kBrickOk) {
    return readingFailure(run, block, *reader, code, what);
  }
  for (;;) {
    DeviceReader::Reading reading;
    code = reader->read(reading);
    if (code != Brick::Lib::kBrickOk) {
      return readingFailure(run, block, *reader, code, what);
    }
    run.out << "port " << port << " " << kind << ": " << reading.text << "\n" << std::flush;
    if (!run.options.watch) {
      return kExitOk;
    }
    auto until = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(run.environment.watchIntervalMs);
    while (!interruptedRun(run.environment) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (interruptedRun(run.environment)) {
      return kExitOk;
    }
  }
}

int doLog(Run& run) {
  const Command* command = run.options.command;
  double every = 100;
  double seconds = 10;
  if (!run.options.every.empty() && !decimalArgument(run.options.every, 1, 60000, every)) {
    return usageError(run.err, command, "--every takes 1 to 60000 milliseconds");
  }
  if (!run.options.duration.empty() &&
      !decimalArgument(run.options.duration, 0.001, 86400, seconds)) {
    return usageError(run.err, command, "--for takes up to 86400 seconds");
  }
  struct Wanted {
    int port;
    bool motor;
    std::string kind;
  };
  std::vector<Wanted> wanted;
  for (const std::string& word : run.options.arguments) {
    std::string name = word.substr(0, word.find(':'));
    std::string kind = word.find(':') == std::string::npos ? "" : word.substr(word.find(':') + 1);
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'C' && kind.empty()) {
      wanted.push_back(Wanted{name[0] - 'A', true, ""});
    } else if (name.size() == 1 && name[0] >= '1' && name[0] <= '4' &&
               (kind.empty() || DeviceReader::known(kind))) {
      wanted.push_back(Wanted{name[0] - '1', false, kind});
    } else {
      return usageError(run.err, command,
                        "'" + shown(word) + "' is not a sensor port 1 to 4 (or PORT:KIND, KIND " +
                            DeviceReader::kindList() + ", ultrasonic) nor a motor A to C");
    }
  }
  std::ofstream file;
  if (!run.options.csv.empty()) {
    file.open(run.options.csv, std::ios::out | std::ios::trunc);
    if (!file) {
      run.err << "brick: cannot write " << shown(run.options.csv) << "\n";
      return kExitFailed;
    }
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Brick::Lib::Sampler sampler(block);
  std::vector<std::shared_ptr<DeviceReader>> readers;
  for (const Wanted& w : wanted) {
    if (w.motor) {
      sampler.addMotor(w.port);
    } else if (w.kind.empty()) {
      sampler.addInput(w.port);
    } else {
      std::shared_ptr<DeviceReader> reader = DeviceReader::make(block, w.kind, w.port);
      long code = reader->setUp();
      if (code != Brick::Lib::kBrickOk) {
        return readingFailure(run, block, *reader, code,
                              w.kind + " sensor on port " + std::to_string(w.port + 1));
      }
      readers.push_back(reader);
      sampler.add("port" + std::to_string(w.port + 1) + ":" + w.kind, [reader](double& value) {
        DeviceReader::Reading reading;
        long code = reader->read(reading);
        value = reading.value;
        return code;
      });
    }
  }
  int rows = static_cast<int>(std::lround(seconds * 1000 / every));
  std::ostream& out = run.options.csv.empty() ? run.out : file;
  long code = sampler.run(static_cast<int>(std::lround(every)), rows, out,
                          [&run] { return interruptedRun(run.environment); });
  if (code != Brick::Lib::kBrickOk) {
    if ((status = checkLink(run, block)) != kExitOk) {
      return status;
    }
    run.err << "brick: a reading failed: " << Brick::Lib::brickCodeText(code) << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace BrickTool
