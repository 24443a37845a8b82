// Ultrasonic on the wire: LSWRITE of the distance request, then LSREAD polled while the brick
// answers "pending", with LSGETSTATUS only where LSREAD does not say so; a transaction already on
// the bus waited for; a port not set for the bus refused at once. Then on the robot's stepped
// clock, and against bricksim in real time over both link models.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "brick/Block.h"
#include "brick/Sensor.h"
#include "brick/Ultrasonic.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using test::MemoryBrick;
using Strings = std::vector<std::string>;
namespace L = Brick::Lib;

namespace {

const char* kRequest = "00 0F 03 02 01 02 42";
const char* kStatus = "00 0E 03";
const char* kRead = "00 10 03";
// An LSREAD reply's 16 data bytes, none read.
const std::string kNoData = " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const std::string kNothingRead = "02 10 00 00" + kNoData;
const std::string kReadPending = std::string("00 10 03 -> 02 10 20 00") + kNoData;

Strings repeat(const std::string& telegram, int n) {
  return Strings(static_cast<std::size_t>(n), telegram);
}

Strings join(std::initializer_list<Strings> parts) {
  Strings out;
  for (const Strings& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

}  // namespace

// How the brick answers, what the reading sends, and what it gives.
TEST_F(MemoryBrick, UltrasonicReadingFollowsTheBus) {
  struct Case {
    const char* what;
    int latencyPolls;   // the brick's transaction, counted in LSGETSTATUS polls
    int runningPolls;   // an earlier transaction still on the bus, -1 for none
    bool lsReadSilent;  // LSREAD answers "nothing read" once, instead of "pending"
    Strings wire;
    Strings refused;
  };
  const int before = L::Ultrasonic::kReadPollsBeforeStatus;
  const Case cases[] = {
      {"quick sensor: two telegrams", 0, -1, false, {kRequest, kRead}, {}},
      {"LSREAD stays pending until a status poll sees the end: LSGETSTATUS after "
       "kReadPollsBeforeStatus",
       2, -1, false, join({{kRequest}, repeat(kRead, before), repeat(kStatus, 3), {kRead}}),
       join({repeat(kReadPending, before), repeat("00 0E 03 -> 02 0E 20 00", 2)})},
      {"an earlier transaction on the bus: the request waits for it",
       0,
       1,
       false,
       {kRequest, kStatus, kRequest, kStatus, kRequest, kRead},
       {"00 0F 03 02 01 02 42 -> 02 0F E0", "00 0E 03 -> 02 0E 20 00",
        "00 0F 03 02 01 02 42 -> 02 0F E0"}},
      {"LSREAD reads nothing while the bus runs: LSGETSTATUS until it is done, then LSREAD",
       1,
       -1,
       true,
       {kRequest, kRead, kStatus, kStatus, kRead},
       {"00 0E 03 -> 02 0E 20 00"}},
  };
  Brick::Lib::Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 3);
  int distance = 17;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.ultrasonicLatencyPolls = c.latencyPolls;
    sim.ultrasonic[3].pendingPolls = c.runningPolls;
    sim.ultrasonic[3].distance = static_cast<std::uint8_t>(distance);
    if (c.lsReadSilent) {
      sim.scriptReply(Nxt::kLsRead, test::hex(kNothingRead));
    }
    clearWire();
    int centimetres = -1;
    EXPECT_EQ(L::Ultrasonic(block, 3).read(centimetres), L::kBrickOk);
    EXPECT_EQ(centimetres, distance);
    EXPECT_EQ(wire(), c.wire);
    EXPECT_EQ(refused(), c.refused);
    EXPECT_TRUE(block.getStatus().isSuccess());
    distance += 40;
  }
}

// On the robot's stepped clock the transaction takes Robot::kUltrasonicLatencySeconds of world
// time: a telegram that costs 10 ms finds it done at the first LSREAD, one that costs 1 ms polls.
TEST(UltrasonicOnTheRobot, SteppedClock) {
  struct Case {
    double step;
    Strings wire;
  };
  const Case cases[] = {
      {0.01, {kRequest, kRead}},
      {0.001, join({{kRequest}, repeat(kRead, 4)})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    Sim::World world;
    std::string error;
    ASSERT_TRUE(Sim::World::parse(test::kRoom, world, error)) << error;
    Sim::SteppedClock clock(c.step);
    Sim::Robot robot(world, clock);
    Sim::VirtualBrick sim;
    robot.attach(sim);
    L::Block block;
    test::answerInMemory(block, sim);
    L::Sensor sensor;
    sensor.setSensorType(L::SENSOR_ULTRASONIC);
    block.setSensor(&sensor, 3);
    sim.clearRecord();
    int centimetres = -1;
    EXPECT_EQ(L::Ultrasonic(block, 3).read(centimetres), L::kBrickOk);
    EXPECT_EQ(test::wireOf(sim), c.wire);
    EXPECT_EQ(centimetres, robot.ultrasonicDistance(3));
    EXPECT_LT(centimetres, L::Ultrasonic::kNoEcho);  // the wall ahead echoes
  }
}

// A sensor that needs 4 ms of wall time, as the bus takes for a distance, on a brick that
// answers at once: the first LSREAD waits for the bus's time from the LSWRITE and finds the
// byte there, so a reading is two telegrams. A machine busy with other work may hold the
// LSWRITE back after its time was taken, so that the first LSREAD comes early; then the reading
// polls with LSREAD alone.
TEST(UltrasonicInRealTime, TheFirstLsReadWaitsForTheBusAndFindsTheByte) {
  struct WallTime : Sim::Environment {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double worldSeconds() const override {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::uint8_t ultrasonicDistance(int) override { return 42; }
  } wall;
  Sim::VirtualBrick sim;
  sim.setEnvironment(&wall);
  sim.ultrasonicLatencySeconds = 0.004;
  std::vector<std::chrono::steady_clock::time_point> sent;
  L::Block block;
  test::answerInMemory(block, sim, [&sent](const std::uint8_t*, std::size_t) {
    sent.push_back(std::chrono::steady_clock::now());
    return true;
  });
  L::Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 3);
  int inTwo = 0;
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    sim.clearRecord();
    sent.clear();
    int centimetres = -1;
    EXPECT_EQ(L::Ultrasonic(block, 3).read(centimetres), L::kBrickOk);
    EXPECT_EQ(centimetres, 42);
    Strings wire = test::wireOf(sim);
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(wire, join({{kRequest}, repeat(kRead, static_cast<int>(wire.size()) - 1)}));
    ASSERT_EQ(sent.size(), wire.size());
    EXPECT_GE(sent[1] - sent[0], std::chrono::milliseconds(L::Ultrasonic::kMeasurementMs));
    inTwo += wire.size() == 2 ? 1 : 0;
  }
  EXPECT_GE(inTwo, 1);
}

namespace {

// bricksim as users run it: a process of its own, in real time, at a link's pace.
class RealTimeBrick {
 public:
  explicit RealTimeBrick(const char* linkModel) {
    link =
        std::string(::testing::TempDir()) + "brick-" + std::to_string(::getpid()) + "-" + linkModel;
    std::vector<std::string> args{BRICKSIM_PATH, "--link", link, "--link-model", linkModel};
    std::vector<char*> argv;
    for (std::string& a : args) {
      argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid = ::fork();
    if (pid == 0) {
      ::dup2(null, 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(null);
    for (int i = 0; i < 500 && ::access(link.c_str(), F_OK) != 0; ++i) {
      ::usleep(10000);
    }
  }
  ~RealTimeBrick() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      int status = 0;
      ::waitpid(pid, &status, 0);
    }
  }
  std::string link;
  pid_t pid = -1;
};

}  // namespace

// Every reading valid and none refused, in real time at USB's pace (100 of each) and
// Bluetooth's (20): ultrasonic through Ultrasonic, the other kinds through Sensor as ever.
TEST(UltrasonicInRealTime, EveryReadingOverBothLinkModels) {
  struct Case {
    const char* model;
    int readings;
  };
  for (const Case& c : {Case{"usb", 100}, Case{"bluetooth", 20}}) {
    SCOPED_TRACE(c.model);
    RealTimeBrick brick(c.model);
    L::Block block;
    ASSERT_TRUE(block.connectBluetooth(&brick.link[0]));
    L::Sensor sonar;
    L::Sensor touch;
    L::Sensor light;
    sonar.setSensorType(L::SENSOR_ULTRASONIC);
    touch.setSensorType(L::SENSOR_TOUCH);
    light.setSensorType(L::SENSOR_LIGHT_ACTIVE);
    block.setSensor(&sonar, 3);
    block.setSensor(&touch, 0);
    block.setSensor(&light, 2);
    L::Ultrasonic reader(block, 3);
    int good = 0;
    for (int i = 0; i < c.readings; ++i) {
      int centimetres = -1;
      long code = reader.read(centimetres);
      EXPECT_EQ(code, L::kBrickOk) << "reading " << i << ": " << L::brickCodeText(code);
      good += code == L::kBrickOk && centimetres >= 0 && centimetres <= 255 ? 1 : 0;
      int pressed = touch.getValue();
      EXPECT_TRUE(pressed == 0 || pressed == 1) << pressed;
      int reflected = light.getValue();
      EXPECT_TRUE(reflected >= 0 && reflected <= 100) << reflected;
    }
    EXPECT_EQ(good, c.readings);
    EXPECT_TRUE(block.getStatus().isSuccess()) << block.getStatus().getCode();
    std::cout << c.model << ": " << good << " of " << c.readings << " ultrasonic readings\n";
    block.disconnect();
  }
}
