// What one call costs. Three groups:
//   op/...        every Block, Motor and Sensor operation over a peer in memory that answers at
//                 once: the libraries' own work, no I/O;
//   pty/...       Block::getBatteryLevel to a virtual brick on a pseudo-terminal, against a
//                 minimal loop of plain write() and read() doing the same exchange, in turns;
//   ultrasonic/.. telegrams one ultrasonic reading costs as the sensor's latency grows;
//   lock/...      the two locks every exchange takes (the link's and its device's), uncontended:
//                 what serialising whole exchanges costs a single-threaded host;
//   peer/...      with BRICK_PEER=<device> set: the operations the Prolog benchmark calls, to
//                 that peer, so that the two languages can be compared on one link.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MemoryPeer.h"
#include "brick/Block.h"
#include "brick/brick.hpp"
#include "comm/MemoryTransport.h"
#include "comm/Nxt.h"
#include "comm/PacketFraming.h"
#include "sim/PtyServer.h"
#include "sim/VirtualBrick.h"

namespace {

using Brick::Lib::Block;
using Brick::Lib::Motor;
using Brick::Lib::Sensor;

bench::MemoryPeer& peer() {
  static bench::MemoryPeer instance;
  return instance;
}

// Runs `op` once per iteration and fails the benchmark if the link recorded a failure: a
// figure for calls that went nowhere would mean nothing.
void runOp(benchmark::State& state, const std::function<int()>& op) {
  bench::MemoryPeer& p = peer();
  p.block.getCommunication().clearStatus();
  long before = p.telegrams;
  for (auto _ : state) {
    benchmark::DoNotOptimize(op());
  }
  if (!p.block.getStatus().isSuccess()) {
    state.SkipWithError("the link recorded a failure");
  }
  state.counters["telegrams"] = benchmark::Counter(static_cast<double>(p.telegrams - before) /
                                                   static_cast<double>(state.iterations()));
}

void registerOp(const char* name, std::function<int()> op) {
  benchmark::RegisterBenchmark((std::string("op/") + name).c_str(),
                               [op](benchmark::State& state) { runOp(state, op); });
}

void registerOps() {
  bench::MemoryPeer& p = peer();
  Block& b = p.block;
  Motor& m = p.motors[0];
  static char name[256] = "bench";
  registerOp("Block::playTone", [&b] { return b.playTone(440, 100); });
  registerOp("Block::stopTone", [&b] { return b.stopTone(); });
  registerOp("Block::getBatteryLevel", [&b] { return b.getBatteryLevel(); });
  registerOp("Block::getName", [&b] {
    b.getName(name);
    return static_cast<int>(name[0]);
  });
  registerOp("Block::setName", [&b] {
    b.setName(name);
    return 0;
  });
  registerOp("Block::setSensor+remSensor", [&b] {
    static Sensor spare;
    spare.setSensorType(Brick::Lib::SENSOR_LIGHT_INACTIVE);
    int rc = b.setSensor(&spare, 0x40);
    return rc + b.remSensor(0x40);
  });
  registerOp("Block::getSensor", [&b] { return b.getSensor(2) != nullptr ? 1 : 0; });
  registerOp("Block::setMotor+remMotor", [&b] {
    static Motor spare;
    int rc = b.setMotor(&spare, 0x40);
    return rc + b.remMotor(0x40);
  });
  registerOp("Block::getMotor", [&b] { return b.getMotor(1) != nullptr ? 1 : 0; });
  registerOp("Block::getStatus", [&b] { return static_cast<int>(b.getStatus().getCode()); });
  registerOp("Motor::moveForward", [&m] { return m.moveForward(75); });
  registerOp("Motor::moveBackward", [&m] { return m.moveBackward(75); });
  registerOp("Motor::moveForwardDegrees", [&m] { return m.moveForwardDegrees(75, 360); });
  registerOp("Motor::moveBackwardDegrees", [&m] { return m.moveBackwardDegrees(75, 360); });
  registerOp("Motor::stop", [&m] { return m.stop(); });
  registerOp("Motor::setBrake", [&m] { return m.setBrake(true); });
  registerOp("Motor::resetRotationCount", [&m] { return m.resetRotationCount(); });
  registerOp("Motor::getRotationCount", [&m] { return m.getRotationCount(); });
  registerOp("Sensor::setSensorType",
             [&p] { return p.light.setSensorType(Brick::Lib::SENSOR_LIGHT_ACTIVE); });
  registerOp("Sensor::getSensorType", [&p] { return p.light.getSensorType(); });
  registerOp("Sensor::getValue(touch)", [&p] { return p.touch.getValue(); });
  registerOp("Sensor::getValue(light)", [&p] { return p.light.getValue(); });
  registerOp("Sensor::getValue(sound)", [&p] { return p.sound.getValue(); });
  registerOp("Sensor::getValue(ultrasonic)", [&p] { return p.sonar.getValue(); });
  registerOp("Sensor::LSGetStatus", [&p] { return p.sonar.LSGetStatus(); });
  registerOp("Sensor::enableSonar", [&p] {
    p.sonar.enableSonar();
    return 0;
  });
  registerOp("Sensor::disableSonar", [&p] {
    p.sonar.disableSonar();
    return 0;
  });
  // The light and colour switches send only when the kind changes: each iteration switches
  // there and back, two telegrams.
  registerOp("Sensor::enableLight+disableLight", [&p] {
    p.light.disableLight();
    p.light.enableLight();
    return 0;
  });
  registerOp("Sensor::changeColor(x2)", [&p] {
    p.light.changeColor(Brick::Lib::SENSOR_COLOR_RED);
    p.light.changeColor(Brick::Lib::SENSOR_COLOR_BLUE);
    return 0;
  });
}

// The modern API against the seed classes, call for call over the same peer: each pair sends
// the same telegram, so their difference is what the API's own layer costs (checks, the
// error_code, the classes it is built on). bench/run subtracts "seed" from "api".
void registerApiPairs() {
  static brick::Brick nxt = brick::Brick::adopt(peer().block.getCommunication());
  nxt.keepRunning();  // static: it must send nothing as the program ends
  bench::MemoryPeer& p = peer();
  Block& b = p.block;
  Motor& m = p.motors[0];
  brick::Motor motor = nxt.motor(brick::Port::A);
  std::error_code ec;
  brick::TouchSensor touch = nxt.touchSensor(brick::Input::S1, ec);
  using namespace std::chrono_literals;
  struct Pair {
    const char* name;
    std::function<int()> seed;
    std::function<int()> api;
  };
  const Pair pairs[] = {
      {"playTone", [&b] { return b.playTone(440, 100); },
       [] {
         nxt.playTone(440, 100ms);
         return 0;
       }},
      {"battery", [&b] { return b.getBatteryLevel(); }, [] { return nxt.batteryMillivolts(); }},
      {"battery(error_code)", [&b] { return b.getBatteryLevel(); },
       [] {
         std::error_code code;
         return nxt.batteryMillivolts(code);
       }},
      {"motor run", [&m] { return m.moveForward(75); },
       [motor]() mutable {
         motor.run(75);
         return 0;
       }},
      {"motor position", [&m] { return m.getRotationCount(); },
       [motor]() mutable { return static_cast<int>(motor.position()); }},
      {"touch", [&p] { return p.touch.getValue(); },
       [touch]() mutable { return touch.pressed() ? 1 : 0; }},
  };
  for (const Pair& pair : pairs) {
    std::string name = std::string("api/") + pair.name;
    benchmark::RegisterBenchmark((name + "/seed").c_str(),
                                 [op = pair.seed](benchmark::State& state) { runOp(state, op); });
    benchmark::RegisterBenchmark((name + "/api").c_str(),
                                 [op = pair.api](benchmark::State& state) { runOp(state, op); });
  }
}

// The same exchange as Block::getBatteryLevel, framed for Bluetooth: 02 00 | 00 0B.
const unsigned char kBatteryFrame[] = {0x02, 0x00, 0x00, 0x0B};
const std::size_t kBatteryReplyFrame = 7;  // 05 00 | 02 0B status lo hi

double median(std::vector<double>& values) {
  if (values.empty()) {
    return 0;
  }
  std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(middle), values.end());
  return values[middle];
}

// A raw client: the slave side of a pseudo-terminal in raw mode, blocking.
class RawClient {
 public:
  explicit RawClient(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
  }
  ~RawClient() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  bool ok() const { return fd >= 0; }

  // One exchange: the framed request out, the framed reply in. The millivolts, or -1.
  int battery() {
    if (::write(fd, kBatteryFrame, sizeof kBatteryFrame) != sizeof kBatteryFrame) {
      return -1;
    }
    unsigned char reply[kBatteryReplyFrame];
    std::size_t have = 0;
    while (have < kBatteryReplyFrame) {
      ssize_t got = ::read(fd, reply + have, kBatteryReplyFrame - have);
      if (got <= 0) {
        return -1;
      }
      have += static_cast<std::size_t>(got);
    }
    return reply[5] + 256 * reply[6];
  }

 private:
  int fd;
};

// Block::getBatteryLevel and the raw loop, to one virtual brick on one pseudo-terminal (both
// open its device; they take turns, so that each reply reaches the one waiting for it), call by
// call, so that both meet the same load on a shared machine and the same server thread. The
// iteration's time is the pair's; the counters give each side's median call, which a call
// preempted by another process's work does not drag along as it would a mean.
void BM_PtyPair(benchmark::State& state) {
  Sim::VirtualBrick sim;
  Sim::PtyServer server(sim);
  Block block;
  if (!server.start() || !block.connectBluetooth(const_cast<char*>(server.devicePath().c_str()))) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  RawClient raw(server.devicePath());
  if (!raw.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<double> oursTimes;
  std::vector<double> rawTimes;
  oursTimes.reserve(static_cast<std::size_t>(state.max_iterations));
  rawTimes.reserve(static_cast<std::size_t>(state.max_iterations));
  bool oursFirst = true;
  for (auto _ : state) {
    // Alternate which goes first, so that neither always follows the other's wake-ups.
    for (int turn = 0; turn < 2; ++turn) {
      Clock::time_point start = Clock::now();
      if ((turn == 0) == oursFirst) {
        benchmark::DoNotOptimize(block.getBatteryLevel());
        oursTimes.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      } else {
        if (raw.battery() != 9000) {
          state.SkipWithError("the raw exchange failed");
        }
        rawTimes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      }
    }
    oursFirst = !oursFirst;
  }
  if (!block.getStatus().isSuccess()) {
    state.SkipWithError("the link recorded a failure");
  }
  double ours = median(oursTimes);
  double rawUs = median(rawTimes);
  state.counters["ours_us"] = ours;
  state.counters["raw_us"] = rawUs;
  state.counters["rate_vs_raw"] = ours > 0 ? rawUs / ours : 0;
  block.disconnect();
}

// Reads an ultrasonic sensor on port 3 of `sim`, answering in memory, once per iteration:
// counts the telegrams per reading, and the readings that were not 42 cm.
void readSonarFrom(Sim::VirtualBrick& sim, benchmark::State& state) {
  Block block;
  block.getCommunication().attach(
      new Comm::MemoryTransport(
          [&sim](const std::uint8_t* p, std::size_t n, std::deque<Sim::Bytes>& replies) {
            Sim::Bytes reply = sim.answer(p, n);
            if (!reply.empty()) {
              replies.push_back(reply);
            }
          }),
      new Comm::PacketFraming());
  Sensor sonar;
  sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
  block.setSensor(&sonar, 3);
  sim.ultrasonic[3].distance = 42;
  sim.clearRecord();
  int wrong = 0;
  for (auto _ : state) {
    if (sonar.getValue() != 42) {
      ++wrong;
    }
  }
  double n = static_cast<double>(state.iterations());
  state.counters["telegrams"] = static_cast<double>(sim.received().size()) / n;
  state.counters["lswrite"] = static_cast<double>(sim.count(Nxt::kLsWrite)) / n;
  state.counters["lsgetstatus"] = static_cast<double>(sim.count(Nxt::kLsGetStatus)) / n;
  state.counters["lsread"] = static_cast<double>(sim.count(Nxt::kLsRead)) / n;
  state.counters["wrong"] = wrong;
}

// Telegrams per ultrasonic reading when the sensor needs `latency` extra status polls, counted
// in the virtual brick's record.
void BM_UltrasonicTelegrams(benchmark::State& state) {
  Sim::VirtualBrick sim;
  sim.ultrasonicLatencyPolls = static_cast<int>(state.range(0));
  readSonarFrom(sim, state);
}

// A sonar that needs range(0) ms of wall time per distance reading, as a real one needs about 4:
// telegrams per reading with the reading loop's pauses between its passes.
void BM_UltrasonicPaced(benchmark::State& state) {
  struct WallTime : Sim::Environment {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double worldSeconds() const override {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::uint8_t ultrasonicDistance(int) override { return 42; }
  } wall;
  Sim::VirtualBrick sim;
  sim.setEnvironment(&wall);
  sim.ultrasonicLatencySeconds = static_cast<double>(state.range(0)) / 1000.0;
  readSonarFrom(sim, state);
}

// A Block and a motor on port A, connected to BRICK_PEER.
struct PeerLink {
  Block block;
  Motor motor;
  bool ok = false;
  PeerLink() {
    const char* path = std::getenv("BRICK_PEER");
    if (path == nullptr) {
      return;
    }
    std::string device = path;
    ok = block.connectBluetooth(&device[0]) && block.setMotor(&motor, 0) == 1;
  }
};

// Each call timed on its own: the counter call_us is the median call, as the Prolog benchmark
// reports it.
void runPeer(benchmark::State& state, const std::function<int(PeerLink&)>& op) {
  PeerLink link;
  if (!link.ok) {
    state.SkipWithError("BRICK_PEER does not open");
    return;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(state.max_iterations));
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    benchmark::DoNotOptimize(op(link));
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  if (!link.block.getStatus().isSuccess()) {
    state.SkipWithError("the link recorded a failure");
  }
  state.counters["call_us"] = median(times);
}

void BM_PeerBattery(benchmark::State& state) {
  runPeer(state, [](PeerLink& link) { return link.block.getBatteryLevel(); });
}

void BM_PeerRotation(benchmark::State& state) {
  runPeer(state, [](PeerLink& link) { return link.motor.getRotationCount(); });
}

// The link holds a recursive per-link lock around each call and the device's lock around each
// exchange inside it; one thread alone never waits on either.
void BM_UncontendedLocks(benchmark::State& state) {
  std::recursive_mutex linkLock;
  std::mutex deviceLock;
  for (auto _ : state) {
    std::lock_guard<std::recursive_mutex> call(linkLock);
    std::lock_guard<std::mutex> exchange(deviceLock);
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerOps();
  registerApiPairs();
  benchmark::RegisterBenchmark("lock/uncontended", BM_UncontendedLocks);
  benchmark::RegisterBenchmark("pty/getBatteryLevel:ours+raw", BM_PtyPair)->UseRealTime();
  benchmark::RegisterBenchmark("ultrasonic/latencyPolls", BM_UltrasonicTelegrams)
      ->DenseRange(0, 5)
      ->Iterations(20);
  benchmark::RegisterBenchmark("ultrasonic/sensorMs", BM_UltrasonicPaced)
      ->Arg(0)
      ->Arg(4)
      ->Arg(30)
      ->Iterations(20)
      ->UseRealTime();
  if (std::getenv("BRICK_PEER") != nullptr) {
    benchmark::RegisterBenchmark("peer/getBatteryLevel", BM_PeerBattery)->UseRealTime();
    benchmark::RegisterBenchmark("peer/getRotationCount", BM_PeerRotation)->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
