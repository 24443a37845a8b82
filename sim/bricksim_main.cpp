// bricksim: a virtual brick in a simulated robot, served on a pseudo-terminal the way a real
// brick bound to /dev/rfcomm0 appears, until interrupted or its time is up.
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "protocol/TelegramText.h"
#include "sim/PtyServer.h"
#include "sim/RealClock.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/SvgPicture.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

#ifndef BRICKSIM_VERSION
#define BRICKSIM_VERSION "0.1.0"
#endif

namespace {

volatile std::sig_atomic_t stopping = 0;
volatile std::sig_atomic_t pictureWanted = 0;

void onStop(int) {
  stopping = 1;
}

void onPicture(int) {
  pictureWanted = 1;
}

const char kUsage[] =
    "usage: bricksim [OPTION]...\n"
    "Serves a virtual brick on a pseudo-terminal with the Bluetooth framing (a 2-byte\n"
    "little-endian length before each telegram), inside a simulated two-wheel robot.\n"
    "Prints the device path on the first line of its output; connect to it as to\n"
    "/dev/rfcomm0. Ends on SIGINT or SIGTERM, or when --duration has passed, and then\n"
    "prints a summary of the robot's path.\n"
    "\n"
    "  --link PATH       also make PATH a symbolic link to the device (removed at the end);\n"
    "                    an earlier link there is replaced, any other file is refused\n"
    "  --world FILE      the world to drive in (default: the built-in arena);\n"
    "                    format in docs/virtual-brick.md\n"
    "  --print-world     print the built-in world in the world file format and exit\n"
    "  --trace [FILE]    write every telegram and its reply, in hex and decoded, to FILE\n"
    "                    (standard error when no FILE is given), one line each:\n"
    "                      > 00 04 01 4B ...  SETOUTPUTSTATE port=1 power=75 ...\n"
    "                      < 02 04 00  reply SETOUTPUTSTATE SUCCESS\n"
    "  --svg FILE        draw the world and the robot's path into FILE (SVG) when the run\n"
    "                    ends, and whenever the process receives SIGUSR1\n"
    "  --duration S      end after S seconds of wall-clock time\n"
    "  --step MS         deterministic time: every telegram advances the world by MS\n"
    "                    milliseconds (above 0, at most 60000), and nothing else does\n"
    "                    (default: real time)\n"
    "  --name NAME       the brick's name (default NXT)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n";

// A number of 0 to `most` (infinity allowed when `most` is).
double number(const char* text, const char* option, double most) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0) || value > most) {
    if (std::isinf(most)) {
      std::fprintf(stderr, "bricksim: %s needs a number of 0 or more, not \"%s\"\n", option, text);
    } else {
      std::fprintf(stderr, "bricksim: %s needs a number of 0 to %g, not \"%s\"\n", option, most,
                   text);
    }
    std::exit(2);
  }
  return value;
}

// The world catches up in steps of a few milliseconds, so one telegram may not cost it more
// than this: an endless or astronomical step would keep it computing for good.
const double kMostStepMs = 60000;

std::string linkTarget(const std::string& link) {
  char target[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

void writePicture(Sim::PtyServer& server, Sim::Robot& robot, const std::string& path) {
  auto guard = server.lock();
  if (!Sim::SvgPicture::save(robot, path)) {
    std::fprintf(stderr, "bricksim: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string link;
  std::string worldFile;
  std::string svg;
  std::string name = "NXT";
  bool tracing = false;
  std::string traceFile;
  double duration = -1;
  double stepMs = -1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    auto value = [&](const char* option) -> const char* {
      if (!hasValue) {
        std::fprintf(stderr, "bricksim: %s needs a value (see --help)\n", option);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("bricksim %s\n", BRICKSIM_VERSION);
      return 0;
    } else if (arg == "--print-world") {
      std::fputs(Sim::World::builtInText(), stdout);
      return 0;
    } else if (arg == "--link") {
      link = value("--link");
    } else if (arg == "--world") {
      worldFile = value("--world");
    } else if (arg == "--svg") {
      svg = value("--svg");
    } else if (arg == "--name") {
      name = value("--name");
    } else if (arg == "--duration") {
      duration = number(value("--duration"), "--duration", HUGE_VAL);
    } else if (arg == "--step") {
      stepMs = number(value("--step"), "--step", kMostStepMs);
      if (stepMs == 0) {
        // A clock that never moves never ends a sonar measurement: every ultrasonic reading
        // would wait for its host's time limit and fail.
        std::fprintf(stderr, "bricksim: --step needs a number above 0\n");
        return 2;
      }
    } else if (arg == "--trace") {
      tracing = true;
      if (hasValue && std::strncmp(argv[i + 1], "--", 2) != 0) {
        traceFile = argv[++i];
      }
    } else {
      std::fprintf(stderr, "bricksim: unknown argument \"%s\"\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }

  Sim::World world = Sim::World::builtIn();
  std::string error;
  if (!worldFile.empty() && !Sim::World::load(worldFile, world, error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }
  std::FILE* trace = nullptr;
  if (tracing) {
    trace = traceFile.empty() ? stderr : std::fopen(traceFile.c_str(), "w");
    if (trace == nullptr) {
      std::fprintf(stderr, "bricksim: cannot write %s: %s\n", traceFile.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }

  std::unique_ptr<Sim::Clock> clock;
  if (stepMs >= 0) {
    clock.reset(new Sim::SteppedClock(stepMs / 1000.0));
  } else {
    clock.reset(new Sim::RealClock());
  }
  Sim::VirtualBrick brick;
  brick.name = name.substr(0, 15);
  Sim::Robot robot(world, *clock);
  robot.attach(brick);
  Sim::PtyServer server(brick);
  if (trace != nullptr) {
    server.setTrace([trace](const Sim::Bytes& telegram, const Sim::Bytes& reply) {
      std::fprintf(trace, "> %s  %s\n", Nxt::hexText(telegram.data(), telegram.size()).c_str(),
                   Nxt::describeCommand(telegram.data(), telegram.size()).c_str());
      if (!reply.empty()) {
        std::fprintf(trace, "< %s  %s\n", Nxt::hexText(reply.data(), reply.size()).c_str(),
                     Nxt::describeReply(reply.data(), reply.size()).c_str());
      }
      std::fflush(trace);
    });
  }
  // Before anything shows that bricksim is up (the link, the printed path): a script that
  // stops it the moment it appears must still get a clean end with the link removed.
  struct sigaction action = {};
  action.sa_handler = onStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = onPicture;
  sigaction(SIGUSR1, &action, nullptr);
  if (!server.start()) {
    std::perror("bricksim: no pseudo-terminal");
    return 1;
  }
  if (!link.empty()) {
    // A link left by an earlier run is replaced; anything else at that path is not ours.
    struct stat there;
    if (::lstat(link.c_str(), &there) == 0 && !S_ISLNK(there.st_mode)) {
      std::fprintf(stderr, "bricksim: %s exists and is not a symbolic link; not replacing it\n",
                   link.c_str());
      server.stop();
      return 1;
    }
    ::unlink(link.c_str());
    if (::symlink(server.devicePath().c_str(), link.c_str()) != 0) {
      std::perror("bricksim: symlink");
      server.stop();
      return 1;
    }
  }
  std::printf("%s\n", server.devicePath().c_str());
  std::fflush(stdout);

  // The robot also moves between telegrams, so that the path is whole when nobody asks.
  const bool realTime = stepMs < 0;
  timespec started;
  clock_gettime(CLOCK_MONOTONIC, &started);
  while (!stopping) {
    timespec pause{0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    if (realTime) {
      auto guard = server.lock();
      robot.advance();
    }
    if (pictureWanted) {
      pictureWanted = 0;
      if (!svg.empty()) {
        writePicture(server, robot, svg);
      }
    }
    if (duration >= 0) {
      timespec now;
      clock_gettime(CLOCK_MONOTONIC, &now);
      double elapsed = static_cast<double>(now.tv_sec - started.tv_sec) +
                       static_cast<double>(now.tv_nsec - started.tv_nsec) / 1e9;
      if (elapsed >= duration) {
        break;
      }
    }
  }
  server.stop();
  if (realTime) {
    robot.advance();
  }
  if (!link.empty() && linkTarget(link) == server.devicePath()) {
    ::unlink(link.c_str());  // unless another bricksim has taken the path over since
  }
  std::fputs(robot.summary().c_str(), stdout);
  if (brick.toneCount > brick.tones.size()) {
    std::printf("tones: %llu played, the last %zu:\n",
                static_cast<unsigned long long>(brick.toneCount), brick.tones.size());
  }
  for (const Sim::Tone& tone : brick.tones) {
    std::printf("tone: %d Hz, %d ms\n", tone.frequency, tone.duration);
  }
  if (!svg.empty()) {
    if (Sim::SvgPicture::save(robot, svg)) {
      std::printf("picture: %s\n", svg.c_str());
    } else {
      std::fprintf(stderr, "bricksim: cannot write %s: %s\n", svg.c_str(), std::strerror(errno));
    }
  }
  std::fflush(stdout);
  if (trace != nullptr && trace != stderr) {
    std::fclose(trace);
  }
  return 0;
}
