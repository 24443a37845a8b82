// bricksim: a virtual brick in a simulated robot, served on a pseudo-terminal the way a real
// brick bound to /dev/rfcomm0 appears, until interrupted or its time is up.
#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bricksim_usage.h"
#include "protocol/TelegramText.h"
#include "sim/ChildCommand.h"
#include "sim/DeviceLink.h"
#include "sim/Frame.h"
#include "sim/LinkModel.h"
#include "sim/LiveStage.h"
#include "sim/OutputFile.h"
#include "sim/PtyServer.h"
#include "sim/Recorder.h"
#include "sim/ReplayRun.h"
#include "sim/Robot.h"
#include "sim/RunClock.h"
#include "sim/StopDeadline.h"
#include "sim/SvgPicture.h"
#include "sim/TraceFile.h"
#include "sim/TraceLog.h"
#include "sim/UsbDevice.h"
#include "sim/ViewServer.h"
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

// In real time, the most world time one catch-up computes (50 of the robot's steps): more than
// any ordinary pause between two catch-ups, little enough to stay quick to answer a signal in
// the largest world a file can describe.
const double kMostCatchUp = 0.25;
// How long an orderly stop may take before bricksim ends without its summary.
const double kStopSeconds = 3.0;

// Options that shape the brick a run serves: a replay serves none, so they have no use there.
const char* const kServingOnly[] = {"--link",       "--world",  "--trace", "--trace-time",
                                    "--link-model", "--record", "--step",  "--name",
                                    "--sleep",      "--usb"};

double secondsSince(const timespec& started) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec - started.tv_sec) +
         static_cast<double>(now.tv_nsec - started.tv_nsec) / 1e9;
}

bool savePicture(const std::string& document, const std::string& path) {
  std::string error;
  if (Sim::SvgPicture::save(document, path, error)) {
    return true;
  }
  std::fprintf(stderr, "bricksim: %s\n", error.c_str());
  return false;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
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
  int viewPort = -1;
  std::string host = "127.0.0.1";
  std::string recordFile;
  std::string replayFile;
  Sim::Scene::Options options;
  double sleepMs = -1;
  bool traceTime = false;
  Sim::LinkModel linkModel(Sim::LinkModel::Kind::Usb);
  const char* servingOption = nullptr;
  bool usb = false;
  std::vector<std::string> command;  // what --usb runs
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    for (const char* option : kServingOnly) {
      servingOption = arg == option ? option : servingOption;
    }
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
    } else if (arg == "--sleep") {
      sleepMs = number(value("--sleep"), "--sleep", 86400000.0);
    } else if (arg == "--step") {
      stepMs = number(value("--step"), "--step", kMostStepMs);
      if (stepMs == 0) {
        // A clock that never moves never ends a sonar measurement: every ultrasonic reading
        // would wait for its host's time limit and fail.
        std::fprintf(stderr, "bricksim: --step needs a number above 0\n");
        return 2;
      }
    } else if (arg == "--view") {
      viewPort = 8080;
      if (hasValue && std::strncmp(argv[i + 1], "--", 2) != 0) {
        viewPort = static_cast<int>(number(argv[++i], "--view", 65535));
      }
    } else if (arg == "--bind") {
      host = value("--bind");
      if (host != "127.0.0.1" && host != "::1" && host != "localhost") {
        std::fprintf(stderr,
                     "bricksim: the page on %s can be watched and paused by anyone "
                     "who reaches that address\n",
                     host.c_str());
      }
    } else if (arg == "--record") {
      recordFile = value("--record");
    } else if (arg == "--replay") {
      replayFile = value("--replay");
    } else if (arg == "--colour-by-time") {
      options.colourByTime = true;
    } else if (arg == "--trace-time") {
      traceTime = true;
    } else if (arg == "--usb") {
      usb = true;
    } else if (arg == "--") {
      command.assign(argv + i + 1, argv + argc);
      break;
    } else if (arg == "--link-model") {
      const char* kind = value("--link-model");
      if (!Sim::LinkModel::fromName(kind, linkModel)) {
        std::fprintf(stderr, "bricksim: --link-model is usb, bluetooth[:MS] or none, not \"%s\"\n",
                     kind);
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

  if (usb != !command.empty() || (usb && !link.empty())) {
    std::fprintf(stderr, "bricksim: %s\n",
                 !usb ? "-- COMMAND goes with --usb"
                 : command.empty()
                     ? "--usb needs the command to run: --usb -- COMMAND [ARGUMENT]..."
                     : "--usb serves no pseudo-terminal: --link has no use with it");
    return 2;
  }
  // With --usb, standard output is the command's: bricksim's own lines go to standard error.
  FILE* report = usb ? stderr : stdout;

  struct sigaction action = {};
  action.sa_handler = onStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::string error;
  for (const std::string* output : {&svg, &recordFile, &traceFile}) {
    if (!output->empty() && !Sim::OutputFile::check(*output, error)) {
      std::fprintf(stderr, "bricksim: %s\n", error.c_str());
      return 1;
    }
  }
  if (!replayFile.empty()) {
    if (servingOption != nullptr) {
      std::fprintf(stderr,
                   "bricksim: --replay plays a recorded run and serves no brick: %s has no "
                   "use with it\n",
                   servingOption);
      return 2;
    }
    Sim::ReplayRun run;
    run.file = replayFile;
    run.svg = svg;
    run.host = host;
    run.port = viewPort;
    run.duration = duration;
    run.options = options;
    return run.play(stopping);
  }

  Sim::World world = Sim::World::builtIn();
  if (!worldFile.empty() && !Sim::World::load(worldFile, world, error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }
  Sim::TraceFile trace;
  if (tracing && !trace.open(traceFile, traceTime, error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }

  // Whether a page watches has no say in the clock: a watched run goes as an unwatched one.
  Sim::RunClock clock(stepMs > 0 ? stepMs / 1000.0 : 0.0, kMostCatchUp);
  Sim::VirtualBrick brick;
  brick.name = name.substr(0, 15);
  Sim::Robot robot(world, clock);
  robot.attach(brick);
  if (sleepMs >= 0) {
    brick.sleep.sleepMs = static_cast<std::uint32_t>(sleepMs);
    brick.sleep.clock = [&robot] { return robot.worldSeconds(); };
  }
  // With --usb the pseudo-terminal is not served; its lock still guards the brick for all.
  Sim::PtyServer server(brick);
  Sim::UsbDevice usbDevice(brick, [&server] { return server.lock(); });
  std::function<void(double)> stepLink;  // none: the link's time is waited on the wall clock
  if (clock.stepped()) {
    // The link's time passes on the world's clock, without waiting.
    stepLink = [&server, &clock](double seconds) {
      auto guard = server.lock();
      clock.pass(seconds);
    };
  }
  server.setLinkModel(linkModel, stepLink);
  usbDevice.setLinkModel(linkModel, stepLink);
  Sim::TraceLog traceLog;
  Sim::Recorder recorder;
  if (!recordFile.empty() &&
      !recorder.open(recordFile,
                     worldFile.empty() ? Sim::World::builtInText() : fileText(worldFile), error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }
  if (trace.isOpen() || viewPort >= 0 || !recordFile.empty()) {
    // Called under the server's lock, so the robot's time is safe to read.
    auto traceTo = [&](const Sim::Bytes& telegram, const Sim::Bytes& reply) {
      std::vector<std::string> lines = Sim::TraceLog::lines(telegram, reply);
      trace.write(robot.worldSeconds(), lines);
      for (const std::string& line : lines) {
        traceLog.add(line);
        recorder.telegram(robot.worldSeconds(), line);
      }
    };
    server.setTrace(traceTo);
    usbDevice.setTrace(traceTo);
  }
  // Signals are caught before anything shows that bricksim is up (the link, the printed path):
  // a script that stops it the moment it appears must still get a clean end with the link
  // removed.
  action.sa_handler = onPicture;
  sigaction(SIGUSR1, &action, nullptr);
  std::string linkTo;
  if (usb && !usbDevice.start(error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  } else if (!usb) {
    if (!server.start()) {
      std::perror("bricksim: no pseudo-terminal");
      return 1;
    }
    linkTo = Sim::DeviceLink::targetFor(::getpid(), server.deviceFd());
    if (!link.empty() && !Sim::DeviceLink::make(link, linkTo, error)) {
      std::fprintf(stderr, "bricksim: %s\n", error.c_str());
      server.stop();
      return 1;
    }
    std::printf("%s\n", server.devicePath().c_str());
  }
  std::unique_ptr<Sim::LiveStage> stage;
  std::unique_ptr<Sim::ViewServer> view;
  if (viewPort >= 0) {
    stage.reset(new Sim::LiveStage(server, robot, clock.controls(), traceLog));
    view.reset(new Sim::ViewServer(*stage));
    if (!view->start(host, viewPort, error)) {
      std::fprintf(stderr, "bricksim: %s\n", error.c_str());
      server.stop();
      Sim::DeviceLink::removeIfOurs(link, linkTo);
      return 1;
    }
    std::fprintf(report, "view: http://%s:%d/\n", host.c_str(), view->port());
  }
  std::fflush(report);
  Sim::ChildCommand child;
  if (usb && !child.start(command, "libumockdev-preload.so.0", error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    stopping = 1;
  }

  // The robot also moves between telegrams, so that the path is whole when nobody asks.
  const bool realTime = !clock.stepped();
  auto picture = [&] {
    auto guard = server.lock();
    Sim::Scene scene(robot.world(), robot.path(), robot.events(), Sim::Frame::of(robot));
    return scene.document(options);
  };
  timespec started;
  clock_gettime(CLOCK_MONOTONIC, &started);
  double droppedShown = 0;
  while (usb ? !child.ended() : !stopping) {
    if (stopping) {
      child.terminate();  // the run ends with the command, once it has ended
    }
    timespec pause{0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    if (realTime || !recordFile.empty()) {
      auto guard = server.lock();
      if (realTime) {
        robot.advance();
        // Said when it starts and then after every further 10 s, not at every catch-up.
        double dropped = clock.dropped();
        if (dropped > 0 && (droppedShown == 0 || dropped >= droppedShown + 10)) {
          std::fprintf(stderr,
                       "bricksim: the world is %.2f s behind real time (a stall, or more than it "
                       "can compute): it catches up at most %g s at a time and drops the rest\n",
                       dropped, kMostCatchUp);
          droppedShown = dropped;
        }
      }
      recorder.catchUp(robot);
    }
    if (pictureWanted) {
      pictureWanted = 0;
      if (!svg.empty()) {
        savePicture(picture(), svg);
      }
    }
    if (duration >= 0 && secondsSince(started) >= duration) {
      stopping = 1;
      if (!usb) {
        break;
      }
    }
  }
  {
    // Serving a page's last frame or a telegram's last step may take a while on a loaded
    // machine; a step of the stepped clock may take minutes. Past this, bricksim ends without
    // them.
    Sim::StopDeadline deadline(kStopSeconds, [&] {
      Sim::DeviceLink::removeIfOurs(link, linkTo);
      std::fputs(
          "bricksim: still computing a telegram's step (or serving a page) 3 s after being told "
          "to stop; stopped at once, without a summary\n",
          stderr);
    });
    if (view) {
      view->stop();
    }
    server.stop();
    usbDevice.stop();
  }
  if (realTime) {
    robot.advance();
  }
  recorder.catchUp(robot, true);
  // A recording or trace that stops short of the run is a failed run, not a quiet success.
  int status = 0;
  if (!recorder.close()) {
    std::fprintf(stderr, "bricksim: cannot write all of %s: %s\n", recordFile.c_str(),
                 std::strerror(recorder.failure()));
    status = 1;
  }
  if (!trace.close(error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    status = 1;
  }
  Sim::DeviceLink::removeIfOurs(link, linkTo);  // unless another run has taken it over since
  std::fputs(robot.summary().c_str(), report);
  if (clock.drops() > 0) {
    std::fprintf(report, "time dropped: %.2f s of real time, in %llu catch-ups\n", clock.dropped(),
                 static_cast<unsigned long long>(clock.drops()));
  }
  if (brick.toneCount > brick.tones.size()) {
    std::fprintf(report, "tones: %llu played, the last %zu:\n",
                 static_cast<unsigned long long>(brick.toneCount), brick.tones.size());
  }
  for (const Sim::Tone& tone : brick.tones) {
    std::fprintf(report, "tone: %d Hz, %d ms\n", tone.frequency, tone.duration);
  }
  if (!svg.empty() && savePicture(picture(), svg)) {
    std::fprintf(report, "picture: %s\n", svg.c_str());
  } else if (!svg.empty()) {
    status = 1;
  }
  std::fflush(report);
  // With --usb the run is the command's: its status, unless bricksim failed where it did not.
  return usb && (child.status() != 0 || status == 0) ? child.status() : status;
}
