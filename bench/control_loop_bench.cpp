// A robot's control loop and the ultrasonic reading over the virtual brick's link models: on the
// stepped clock, world seconds, the same on any machine; and in real time, as users run it.
// Each cycle reads touch (port 1), light (3), ultrasonic (4) and both rotation counts (B, C),
// then sets both motors.
//
// Prints, tab-separated: figure, measured, the link model's limit, ratio (limit / measured for
// times, measured / limit for rates), telegrams per cycle. The limit is what the model makes of
// the fewest telegrams sent as early as allowed: USB, every request of a cycle in one burst;
// Bluetooth, at most two replies awaited (the brick keeps two), so bursts of two requests, the
// motor commands riding with the last.
//
// Telegrams per ultrasonic reading: a quick sensor (done at once) on the stepped clock, and a
// sensor that needs the bus's 4 ms in real time. On the stepped clock only the link's time
// passes: a reading's wait for the bus before its LSREAD would pass no world time there.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "brick/Batch.h"
#include "brick/Block.h"
#include "brick/BrickInfo.h"
#include "brick/Input.h"
#include "brick/Output.h"
#include "brick/Ultrasonic.h"
#include "protocol/Nxt.h"
#include "sim/LinkModel.h"
#include "sim/PtyServer.h"
#include "sim/RealClock.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace {

using Kind = Sim::LinkModel::Kind;
namespace L = Brick::Lib;

struct Rig {
  // On the stepped clock, or in real time: the server then waits the link's time, and the
  // world (a sensor's measurement) follows the wall clock.
  explicit Rig(Kind kind, bool realTime = false)
      : clock(0),
        robot(Sim::World::builtIn(), realTime ? static_cast<Sim::Clock&>(wall) : clock),
        real(realTime) {
    robot.attach(sim);
    if (realTime) {
      server.setLinkModel(Sim::LinkModel(kind));
    } else {
      server.setLinkModel(Sim::LinkModel(kind), [this](double s) {
        auto guard = server.lock();
        clock.step(s);
      });
    }
    server.start();
    block.connectBluetooth(const_cast<char*>(server.devicePath().c_str()));
    L::Input(block, 0).setMode(Nxt::kSwitch, Nxt::kBooleanMode);
    L::Input(block, 2).setMode(Nxt::kLightActive, Nxt::kPctFullScaleMode);
    L::Input(block, 3).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode);
    sync();
  }
  ~Rig() {
    block.disconnect();
    server.stop();
  }
  // A reply to a command sent after everything else: all before it is done.
  void sync() {
    std::uint32_t sleepMs = 0;
    L::BrickInfo(block).keepAlive(sleepMs);
  }
  double seconds() {
    if (real) {
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    }
    auto guard = server.lock();
    return clock.time();
  }
  std::size_t telegrams() {
    auto guard = server.lock();
    return sim.received().size();
  }

  Sim::SteppedClock clock;
  Sim::RealClock wall;
  Sim::Robot robot;
  bool real;
  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
  L::Block block;
};

// One telegram of a cycle: its bytes and its reply's (0: none), type byte included.
struct Telegram {
  std::size_t out;
  std::size_t back;
};

// What the model makes of bursts sent one after the other's last reply.
double modelSeconds(Kind kind, const std::vector<std::vector<Telegram>>& bursts) {
  double total = 0;
  for (const auto& burst : bursts) {
    Sim::LinkModel model(kind);
    double end = 0;
    for (const Telegram& t : burst) {
      model.take(t.out);
      if (t.back > 0) {
        end = std::max(end, model.give(t.back));
      }
    }
    total += std::max(end, model.now());
  }
  return total;
}

const Telegram kLsWrite{7, 3}, kInput{3, 16}, kOutput{3, 25}, kLsRead{3, 20}, kMotor{12, 0};

double loopLimit(Kind kind) {
  if (kind == Kind::Usb) {
    return modelSeconds(kind,
                        {{kLsWrite, kInput, kInput, kOutput, kOutput, kLsRead, kMotor, kMotor}});
  }
  return modelSeconds(kind,
                      {{kLsWrite, kInput}, {kInput, kOutput}, {kOutput, kLsRead, kMotor, kMotor}});
}

const char* name(Kind kind) {
  return kind == Kind::Usb ? "usb" : "bluetooth";
}

void print(const std::string& figure, double measured, double limit, double ratio,
           double telegrams) {
  std::printf("%s\t%.3f\t%.3f\t%.3f\t%.2f\n", figure.c_str(), measured, limit, ratio, telegrams);
}

const int kCycles = 20;

// The loop as one Batch per cycle.
void batchLoop(Kind kind, bool realTime = false) {
  Rig rig(kind, realTime);
  L::Batch batch(rig.block);
  // The USB model takes a whole cycle at once; over Bluetooth the brick keeps two replies.
  batch.inFlight = kind == Kind::Usb ? 8 : 2;
  batch.input(0);
  batch.input(2);
  batch.ultrasonic(3);
  batch.output(1);
  batch.output(2);
  batch.runRegulated(1, 40);
  batch.runRegulated(2, 40);
  const int cycles = realTime && kind == Kind::Usb ? 5 * kCycles : kCycles;
  double start = rig.seconds();
  std::size_t sent = rig.telegrams();
  for (int i = 0; i < cycles; ++i) {
    if (batch.run() != 0) {
      std::fprintf(stderr, "cycle failed\n");
    }
  }
  rig.sync();
  double cycle = (rig.seconds() - start) / cycles;
  double telegrams = static_cast<double>(rig.telegrams() - sent - 1) / cycles;
  double limit = loopLimit(kind);
  print(
      std::string("control loop, Batch, cycles/s, ") + (realTime ? "real time, " : "") + name(kind),
      1 / cycle, 1 / limit, limit / cycle, telegrams);
}

// The same loop one call after the other, each waiting for its reply.
void callLoop(Kind kind) {
  Rig rig(kind);
  double start = rig.seconds();
  std::size_t sent = rig.telegrams();
  for (int i = 0; i < kCycles; ++i) {
    L::Input::Values v;
    L::Output::State s;
    int cm = 0;
    L::Input(rig.block, 0).getValues(v);
    L::Input(rig.block, 2).getValues(v);
    L::Ultrasonic(rig.block, 3).read(cm);
    L::Output(rig.block, 1).getState(s);
    L::Output(rig.block, 2).getState(s);
    L::Output(rig.block, 1).runRegulated(40);
    L::Output(rig.block, 2).runRegulated(40);
  }
  rig.sync();
  double cycle = (rig.seconds() - start) / kCycles;
  double telegrams = static_cast<double>(rig.telegrams() - sent - 1) / kCycles;
  double limit = loopLimit(kind);
  print(std::string("control loop, one call each, cycles/s, ") + name(kind), 1 / cycle, 1 / limit,
        limit / cycle, telegrams);
}

// Ultrasonic::read alone: telegrams per reading against the two the brick allows, for a quick
// sensor on the stepped clock and for one that needs the bus's 4 ms in real time.
void ultrasonic(Kind kind, bool realTime) {
  Rig rig(kind, realTime);
  if (!realTime) {
    rig.sim.ultrasonicLatencySeconds = 0;
  }
  std::size_t sent = rig.telegrams();
  for (int i = 0; i < kCycles; ++i) {
    int cm = 0;
    if (L::Ultrasonic(rig.block, 3).read(cm) != 0) {
      std::fprintf(stderr, "reading failed\n");
    }
  }
  double telegrams = static_cast<double>(rig.telegrams() - sent) / kCycles;
  print(std::string("ultrasonic reading, telegrams, ") +
            (realTime ? "sensor of 4 ms, real time, " : "quick sensor, ") + name(kind),
        telegrams, 2, 2 / telegrams, telegrams);
}

}  // namespace

int main() {
  std::printf("figure\tmeasured\tlimit\tratio\ttelegrams/cycle\n");
  for (Kind kind : {Kind::Usb, Kind::Bluetooth}) {
    batchLoop(kind);
    callLoop(kind);
    ultrasonic(kind, false);
  }
  for (Kind kind : {Kind::Usb, Kind::Bluetooth}) {
    batchLoop(kind, true);
    ultrasonic(kind, true);
  }
  return 0;
}
