#include "FlashCommands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "BrickTool.h"
#include "Connection.h"
#include "Tool.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"
#include "brick/Files.h"
#include "brick/KeepAlive.h"
#include "brick/LocalFile.h"
#include "brick/Mailbox.h"
#include "brick/Program.h"
#include "comm/TelegramText.h"
#include "protocol/FileTelegrams.h"
#include "protocol/MessageTelegrams.h"

namespace BrickTool {
namespace Flash {

namespace {

using Brick::Lib::brickCodeText;
using Brick::Lib::isBrickStatus;
using Brick::Lib::kBrickOk;

std::string baseName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The outcome of one operation as an exit status: a refusal by the brick is said here, a link
// failure by the tool's own explanation.
int outcome(Io& io, long code, const std::string& what) {
  if (code == kBrickOk) {
    return kExitOk;
  }
  if (isBrickStatus(code) || code <= -1100) {
    io.err << "brick: " << shown(what) << ": " << brickCodeText(code) << "\n";
    return kExitFailed;
  }
  return io.linkFailure(code);
}

// A failure of the link itself, as against the brick's answer (a refusal, or a reply that does
// not fit its command).
bool isLinkFailure(long code) {
  return code != kBrickOk && !isBrickStatus(code) && code > -1100;
}

bool numberIn(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 3 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return value >= low && value <= high;
}

// Shows how far a transfer is once it has taken more than a second, on one line of stderr.
class Progress {
 public:
  Progress(Io& io, const char* verb) : io(io), verb(verb), start(Clock::now()) {}
  ~Progress() {
    if (shown) {
      io.err << "\n";
    }
  }
  void operator()(std::size_t done, std::size_t total) {
    auto now = Clock::now();
    if (now - start < std::chrono::seconds(1) || (shown && now - last < kEvery && done < total)) {
      return;
    }
    last = now;
    shown = true;
    int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    io.err << "\r" << verb << " " << done << " of " << total << " bytes (" << percent << " %)"
           << std::flush;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kEvery{200};
  Io& io;
  const char* verb;
  Clock::time_point start;
  Clock::time_point last;
  bool shown = false;
};

std::string notRegular(const std::string& path) {
  return shown(path) +
         " is not a regular file (a device, a pipe or a directory): its size is not known "
         "before sending; copy what you want into a file first";
}

int stopSignal(const Io& io) {
  return io.stopSignal == nullptr ? 0 : io.stopSignal->load();
}

// What an interrupted client leaves on a brick (a file held open, handles taken) stays until the
// brick restarts, unless someone closes it: `why` is what the brick said, and the line tells
// the user what was done about it. True when the link still works, so the command may try
// again once.
bool mended(Brick::Lib::Files& files, Io& io, const std::string& why) {
  int closed = 0;
  long code = files.closeAllHandles(closed);
  if (code != kBrickOk) {
    return false;
  }
  io.err << "brick: " << why << ": closed " << closed << " file handle" << (closed == 1 ? "" : "s")
         << " left open on the brick (by an interrupted transfer?) and tried again\n";
  return true;
}

std::string sleepText(std::uint32_t ms) {
  if (ms == 0) {
    return "never";
  }
  char text[64];
  if (ms % 60000 == 0) {
    std::snprintf(text, sizeof text, "%u min", ms / 60000);
  } else {
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
  }
  return text;
}

}  // namespace

std::string checkArguments(const std::string& command, const Arguments& a) {
  auto name = [](const std::string& text, bool pattern) {
    return Nxt::Files::validName(text, pattern)
               ? std::string()
               : "\"" + text +
                     "\" is too long for a brick file name: the brick takes at most 19 "
                     "characters (e.g. prog.rxe)";
  };
  int box = 0;
  if (command == "ls" && !a.empty()) {
    return name(a[0], true);
  }
  if (command == "upload") {
    // The local file first (a device's own name may be too long for the brick): see upload().
    struct stat file {};
    if (::stat(a[0].c_str(), &file) == 0 && !S_ISREG(file.st_mode)) {
      return notRegular(a[0]);
    }
    return name(a.size() > 1 ? a[1] : baseName(a[0]), false);
  }
  if (command == "download" || command == "rm" || command == "run") {
    return name(a[0], false);
  }
  if (command == "send") {
    if (!numberIn(a[0], 0, 9, box)) {
      return "BOX is the program's inbox, 0 to 9";
    }
    if (a[1].size() > Nxt::Messages::kMaxMessage) {
      return "a message has at most 58 bytes";
    }
  }
  if (command == "receive" && !numberIn(a[0], 10, 19, box)) {
    return "BOX is the program's outbox, 10 to 19";
  }
  return std::string();
}

int ls(Block& block, const Arguments& a, Io& io) {
  std::vector<Brick::Lib::Files::Entry> entries;
  std::string pattern = a.empty() ? "*.*" : a[0];
  Brick::Lib::Files files(block);
  long code = files.list(pattern, entries);
  if (code == Brick::Lib::brickStatusCode(Nxt::Files::kNoMoreHandles) &&
      mended(files, io, "the brick had no file handle free")) {
    code = files.list(pattern, entries);
  }
  int status = outcome(io, code, pattern);
  for (const auto& e : entries) {
    // A file's name as the brick gives it may hold anything too.
    std::string name = printable(e.name.c_str());
    char size[16];
    std::snprintf(size, sizeof size, " %8u\n", e.size);
    io.out << name << std::string(name.size() < 19 ? 19 - name.size() : 0, ' ') << size;
  }
  return status;
}

int upload(Block& block, const Arguments& a, Io& io) {
  Brick::Lib::LocalFile local(a[0]);
  switch (local.state()) {
    case Brick::Lib::LocalFile::State::kUnreadable:
      io.err << "brick: cannot read " << shown(a[0]) << "\n";
      return kExitFailed;
    case Brick::Lib::LocalFile::State::kNotRegular:
      io.err << "brick: " << notRegular(a[0]) << "\n";
      return kExitFailed;
    case Brick::Lib::LocalFile::State::kTooLarge:
      io.err << "brick: " << shown(a[0]) << ": " << brickCodeText(Brick::Lib::kBrickFileTooLarge)
             << "\n";
      return kExitFailed;
    case Brick::Lib::LocalFile::State::kReady:
      break;
  }
  const std::uint32_t size = local.size();
  std::string name = a.size() > 1 ? a[1] : baseName(a[0]);
  if (io.catchStopSignals != nullptr) {
    io.catchStopSignals();
  }
  auto source = [&](std::uint8_t* buffer, std::size_t most) -> long {
    return stopSignal(io) != 0 ? -1 : local.read(buffer, most);
  };
  Brick::Lib::Files files(block);
  long code;
  {
    Progress progress(io, "uploaded");
    code = files.upload(name, size, source, std::ref(progress));
    if (code == Brick::Lib::brickStatusCode(Nxt::Files::kNoMoreHandles) ||
        code == Brick::Lib::brickStatusCode(Nxt::Files::kNoWriteBuffers)) {
      if (mended(files, io, "the brick had no file handle free") && stopSignal(io) == 0) {
        code = files.upload(name, size, source, std::ref(progress));
      }
    }
  }
  if (stopSignal(io) != 0 && code != Brick::Lib::kBrickOk) {
    io.err << "brick: interrupted: " << shown(name)
           << " was not stored (its handle on the brick closed, the half-written file deleted)\n";
    return kExitSignalBase + stopSignal(io);
  }
  if (code == Brick::Lib::kBrickStopped && local.error() != 0) {
    io.err << "brick: cannot read " << shown(a[0]) << ": " << std::strerror(local.error()) << "\n";
    return kExitFailed;
  }
  if (code == Brick::Lib::kBrickStopped) {
    io.err << "brick: " << shown(a[0]) << " became shorter while it was sent; " << shown(name)
           << " was not stored\n";
    return kExitFailed;
  }
  if (code == Brick::Lib::kBrickNoRoom) {
    Brick::Lib::BrickInfo::Device device;
    Brick::Lib::BrickInfo(block).deviceInfo(device);
    io.err << "brick: " << shown(a[0]) << " (" << size << " bytes) does not fit: the brick has "
           << device.freeFlash << " bytes of flash free; nothing was sent\n";
    return kExitFailed;
  }
  if (code == Brick::Lib::brickStatusCode(Nxt::Files::kFileExists)) {
    io.err << "brick: " << shown(name) << " exists on the brick: `brick rm " << shown(name)
           << "` first\n";
    return kExitFailed;
  }
  int status = outcome(io, code, name);
  if (status == kExitOk) {
    io.out << "uploaded " << shown(name) << " (" << size << " bytes)\n";
  }
  return status;
}

int download(Block& block, const Arguments& a, Io& io) {
  std::vector<std::uint8_t> data;
  long code;
  {
    Progress progress(io, "downloaded");
    code = Brick::Lib::Files(block).download(a[0], data, std::ref(progress));
  }
  int status = outcome(io, code, a[0]);
  if (status != kExitOk) {
    return status;
  }
  std::string path = a.size() > 1 ? a[1] : a[0];
  if (path == "-") {
    io.out.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    return kExitOk;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
  file.close();
  if (!file) {
    io.err << "brick: cannot write " << shown(path) << "\n";
    return kExitFailed;
  }
  io.out << "downloaded " << shown(a[0]) << " to " << shown(path) << " (" << data.size()
         << " bytes)\n";
  return kExitOk;
}

int rm(Block& block, const Arguments& a, Io& io) {
  Brick::Lib::Files files(block);
  long code = files.remove(a[0]);
  if (code == Brick::Lib::brickStatusCode(Nxt::Files::kFileBusy) &&
      mended(files, io, shown(a[0]) + " was busy, held open")) {
    code = files.remove(a[0]);
    if (code == Brick::Lib::brickStatusCode(Nxt::Files::kFileNotFound)) {
      // The brick drops a file closed before it was complete: what was asked is done.
      io.err << "brick: " << shown(a[0]) << " was a half-written file, gone with its handle\n";
      return kExitOk;
    }
  }
  return outcome(io, code, a[0]);
}

int runProgram(Block& block, const Arguments& a, Io& io) {
  return outcome(io, Brick::Lib::Program(block).start(a[0]), a[0]);
}

int stopProgram(Block& block, const Arguments&, Io& io) {
  return outcome(io, Brick::Lib::Program(block).stop(), "stop-program");
}

int send(Block& block, const Arguments& a, Io& io) {
  return outcome(io, Brick::Lib::Mailbox(block).send(std::stoi(a[0]), a[1]), "inbox " + a[0]);
}

int receive(Block& block, const Arguments& a, Io& io) {
  std::string text;
  int status =
      outcome(io, Brick::Lib::Mailbox(block).receive(std::stoi(a[0]), text), "outbox " + a[0]);
  if (status == kExitOk) {
    io.out << text << "\n";
  }
  return status;
}

int keepAlive(Block& block, const Arguments&, Io& io) {
  Brick::Lib::KeepAlive keeper(block);
  int status = outcome(io, keeper.tick(), "keepalive");
  if (status != kExitOk) {
    return status;
  }
  io.out << "sleep time: " << sleepText(keeper.sleepTimeMs()) << "\n";
  if (!io.watch) {
    return kExitOk;
  }
  io.out << "keeping the brick awake until Ctrl-C\n" << std::flush;
  while (io.interrupted == nullptr || !io.interrupted->load()) {
    status = outcome(io, keeper.tick(), "keepalive");
    if (status != kExitOk) {
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return kExitOk;
}

int infoLines(Block& block, Io& io) {
  Brick::Lib::BrickInfo info(block);
  Brick::Lib::BrickInfo::Firmware firmware;
  Brick::Lib::BrickInfo::Device device;
  std::uint32_t sleep = 0;
  // Each part is asked for on its own: a brick that refuses one (an older firmware that does
  // not know GET FIRMWARE VERSION, say) still tells the rest. Only a failing link ends it.
  long deviceCode = info.deviceInfo(device);
  long batteryCode = deviceCode;
  int battery = 0;
  if (!isLinkFailure(deviceCode)) {
    battery = block.getBatteryLevel();
    batteryCode = block.getStatus().isFatal() ? block.getStatus().getCode() : kBrickOk;
  }
  long firmwareCode = batteryCode;
  if (!isLinkFailure(batteryCode)) {
    firmwareCode = info.firmwareVersion(firmware);
  }
  long sleepCode = firmwareCode;
  if (!isLinkFailure(firmwareCode)) {
    // Asking for the sleep time resets the brick's sleep timer: harmless, and the only way.
    sleepCode = info.keepAlive(sleep);
  }
  if (isLinkFailure(sleepCode)) {
    return outcome(io, sleepCode, "info");
  }
  auto refused = [](long code) {
    return std::string("refused (") + Brick::Lib::brickCodeText(code) + ")";
  };
  std::string name =
      Nxt::nameText(reinterpret_cast<const std::uint8_t*>(device.name.data()), device.name.size());
  char line[128];
  std::snprintf(line, sizeof line, "%d.%02d (protocol %d.%d)", firmware.firmwareMajor,
                firmware.firmwareMinor, firmware.protocolMajor, firmware.protocolMinor);
  const bool known = deviceCode == kBrickOk;
  io.out << "name:    "
         << (!known         ? refused(deviceCode)
             : name.empty() ? "(none given)"
                            : name)
         << "\n"
         << "battery: " << battery << " mV\n"
         << "firmware: " << (firmwareCode == kBrickOk ? line : refused(firmwareCode)) << "\n"
         << "bt addr: " << (known ? device.addressText() : refused(deviceCode)) << "\n"
         << "flash:   "
         << (known ? std::to_string(device.freeFlash) + " bytes free" : refused(deviceCode)) << "\n"
         << "sleep:   " << (sleepCode == kBrickOk ? sleepText(sleep) : refused(sleepCode)) << "\n";
  return kExitOk;
}

}  // namespace Flash
Flash::Io flashIo(Run& run) {
  Flash::Io io{run.out,
               run.err,
               [&run](long code) { return linkFailure(run, code); },
               run.environment.interrupted,
               run.options.watch,
               run.environment.stopSignal,
               run.environment.catchStopSignals};
  return io;
}

namespace {

// Checks the arguments, connects, and runs one of the commands above on the brick.
int onBrick(Run& run, int (*command)(Block&, const Flash::Arguments&, Flash::Io&)) {
  std::string problem = Flash::checkArguments(run.options.command->name, run.options.arguments);
  if (!problem.empty()) {
    return usageError(run.err, run.options.command, problem);
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  Flash::Io io = flashIo(run);
  return command(block, run.options.arguments, io);
}

}  // namespace

int doLs(Run& run) {
  return onBrick(run, Flash::ls);
}
int doUpload(Run& run) {
  return onBrick(run, Flash::upload);
}
int doDownload(Run& run) {
  return onBrick(run, Flash::download);
}
int doRm(Run& run) {
  return onBrick(run, Flash::rm);
}
int doRunProgram(Run& run) {
  return onBrick(run, Flash::runProgram);
}
int doStopProgram(Run& run) {
  return onBrick(run, Flash::stopProgram);
}
int doSend(Run& run) {
  return onBrick(run, Flash::send);
}
int doReceive(Run& run) {
  return onBrick(run, Flash::receive);
}
int doKeepAlive(Run& run) {
  return onBrick(run, Flash::keepAlive);
}

}  // namespace BrickTool
