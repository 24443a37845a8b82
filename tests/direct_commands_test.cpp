// The virtual brick's direct commands (and the system commands about the brick itself) as the
// brick's firmware answers them: each family a table of telegrams and replies in hex, run in
// order on a fresh brick; and its motors as the firmware drives them.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "sim/MotorDrive.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace {

using test::hex;

std::string zeros(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += " 00";
  }
  return out;
}

// A file name in its 20-byte field, as hex.
std::string nameField(const std::string& name) {
  Sim::Bytes out(name.begin(), name.end());
  out.resize(20, 0);
  return hex(out);
}

struct Row {
  std::string telegram;
  std::string reply;  // ending in " ..": the reply starts so
  double wait = 0;    // seconds of world time before the telegram
};

struct Family {
  const char* name;
  std::function<void(Sim::VirtualBrick&)> setUp;
  std::vector<Row> rows;
};

// A brick in a robot on a stepped clock, 10 ms a telegram, so that times are exact.
struct Bench {
  Sim::SteppedClock clock{0.01};
  Sim::VirtualBrick sim;
  Sim::Robot robot{Sim::World::builtIn(), clock};
  Bench() { robot.attach(sim); }
  std::string exchange(const std::string& telegram) { return hex(sim.answer(hex(telegram))); }
};

void run(const Family& family) {
  Bench bench;
  if (family.setUp) {
    family.setUp(bench.sim);
  }
  for (const Row& row : family.rows) {
    bench.clock.step(row.wait);
    std::string got = bench.exchange(row.telegram);
    std::string want = row.reply;
    bool prefix = want.size() > 3 && want.compare(want.size() - 3, 3, " ..") == 0;
    if (prefix) {
      want.resize(want.size() - 3);
      got = got.substr(0, want.size());
    }
    EXPECT_EQ(got, want) << family.name << ": " << row.telegram;
  }
}

const std::string kProgram = nameField("a.rxe");

TEST(DirectCommands, AnsweredAsTheFirmwareDoes) {
  const Family families[] = {
      {"outputs and the unpublished opcodes",
       nullptr,
       {
           {"00 04 03 32 01 00 00 20 00 00 00 00", "02 04 C0"},
           {"00 04 FE 32 01 00 00 20 00 00 00 00", "02 04 C0"},
           {"00 04 FF 32 00 00 00 20 00 00 00 00", "02 04 00"},  // all three
           {"00 06 02", "02 06 00 02 32 00 00 00 20" + zeros(16)},
           {"00 0A FF 00", "02 0A C0"},  // no all-ports reset
           {"00 1A", "02 1A 00"},
           {"00 1B", "02 1B 00 00"},
           {"00 1D", "02 1D 00 00"},
           {"00 20 00", "02 20 00 C0 27 09 00"},  // the sleep time, 600000 ms
           {"00 21 03", "02 21 C0"},
           {"00 21 02", "02 21 00"},
           {"00 1C", "02 1C BE"},
           {"00 1E", "02 1E BE"},
           {"00 1F", "02 1F BE"},
       }},
      {"inputs: the calibrated field and the valid flag's 20 and 300 ms",
       nullptr,
       {
           {"00 05 00 01 20", "02 05 00"},  // touch, boolean, at 10 ms
           {"00 07 00", "02 07 00 00 00 00 01 20 FF 03 FF 03 00 00 FF 03"},  // 10 ms on
           {"00 07 00", "02 07 00 00 01 00 01 20 FF 03 FF 03 00 00 FF 03"},  // 20 ms on
           {"00 05 00 01 20", "02 05 00"},                                   // no change
           {"00 07 00", "02 07 00 00 01 .."},
           {"00 05 01 07 80", "02 05 00"},  // sound, percent, at 60 ms
           {"00 07 01", "02 07 00 01 00 .."},
           {"00 07 01", "02 07 00 01 00 ..", 0.27},  // 290 ms on
           {"00 07 01", "02 07 00 01 01 .."},        // 300 ms on
       }},
      {"the low-speed bus, on the world's clock (the bus moves a byte a millisecond)",
       nullptr,
       {
           {"00 05 03 0B 00", "02 05 00"},
           {"00 0F 04 02 01 02 42", "02 0F C0"},
           {"00 0E 04", "02 0E C0"},
           {"00 10 04", "02 10 C0"},
           {"00 0F 03 02 11 02 42", "02 0F ED"},
           {"00 0F 00 02 11 02 42", "02 0F ED"},  // the size before the port's type
           {"00 0F 00 02 01 02 42", "02 0F E0"},
           {"00 0E 00", "02 0E E0 00"},
           {"00 10 00", "02 10 E0 00" + zeros(16)},
           {"00 0F 03 02 01 02 00", "02 0F 00"},  // one byte of the version, "V": 4 ms
           {"00 0F 03 02 01 02 01", "02 0F 00"},  // and the next, "1", without an LSREAD
           {"00 0E 03", "02 0E 00 02"},
           {"00 10 03", "02 10 00 02 56 31" + zeros(14)},  // both
           {"00 10 03", "02 10 00 00" + zeros(16)},
           {"00 0F 03 02 10 02 00", "02 0F 00"},  // 16 bytes: 19 ms
           {"00 10 03", "02 10 20 00" + zeros(16)},
           {"00 10 03", "02 10 00 10 56 31 2E 30" + zeros(12)},  // LSREAD alone has them
           {"00 0F 03 02 10 02 00", "02 0F 00"},
           {"00 0F 03 02 01 02 00", "02 0F E0"},  // the bus is busy 10 ms on
           {"00 0E 03", "02 0E 00 10"},
           {"00 10 03", "02 10 00 10 56 31 2E 30" + zeros(12)},
           {"00 0F 03 02 01 04 00", "02 0F 00"},  // nobody at address 4
           {"00 0E 03", "02 0E DD 00"},
           {"00 10 03", "02 10 DD 00" + zeros(16)},
           {"00 0F 03 02 01 02 00", "02 0F 00"},  // and a new write is taken
       }},
      {"a program's start and the mailboxes",
       [](Sim::VirtualBrick& sim) {
         sim.setEnvironment(nullptr);
         sim.flash.store("a.rxe", Sim::Bytes(10, 0));
         sim.outputs[1].tachoCount = 100;
         sim.outputs[1].blockTachoCount = 200;
         sim.outputs[1].rotationCount = 300;
       },
       {
           {"00 09 00 02 41 00", "02 09 EC"},
           {"00 05 00 01 20", "02 05 00"},
           {"00 04 01 32 01 00 00 20 00 00 00 00", "02 04 00"},
           {"00 00 " + nameField("b.rxe"), "02 00 C0"},
           {"00 02 00 " + nameField("b.rso"), "02 02 C0"},
           {"00 00 " + kProgram, "02 00 00"},
           {"00 06 01", "02 06 00 01" + zeros(21)},     // power 0, every counter 0
           {"00 07 00", "02 07 00 00 01 00 00 00 .."},  // no sensor, raw
           {"00 09 00 00", "02 09 C0"},
           {"00 09 00 3C" + zeros(60), "02 09 C0"},
           {"00 09 00 02 41 42", "02 09 C0"},  // not NUL-terminated
           {"00 09 00 03 41 00", "02 09 BF"},  // shorter than its size
           {"00 09 14 02 41 00", "02 09 EE"},
           {"00 09 0A 02 41 00", "02 09 00"},                    // an outbox
           {"00 13 0A 00 00", "02 13 00 00 02 41" + zeros(58)},  // kept
           {"00 13 0A 07 01", "02 13 00 07 02 41" + zeros(58)},  // removed
           {"00 13 0A 00 01", "02 13 40 00" + zeros(60)},
           {"00 13 14 00 01", "02 13 EE 00" + zeros(60)},
           {"00 09 03 02 31 00", "02 09 00"},
           {"00 09 03 02 32 00", "02 09 00"},
           {"00 09 03 02 33 00", "02 09 00"},
           {"00 09 03 02 34 00", "02 09 00"},
           {"00 09 03 02 35 00", "02 09 00"},
           {"00 09 03 02 36 00", "02 09 00"},                    // a sixth pushes out the first
           {"00 13 03 00 01", "02 13 00 00 02 32" + zeros(58)},  // an inbox may be read too
       }},
      {"the brick itself",
       nullptr,
       {
           {"01 98 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 00", "02 98 00"},
           {"01 9B",
            "02 9B 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 00 16 53 00 00 01 00 .."},
           {"01 9A", "02 9A 00 00 16 53 00 00 01 00"},
           {"01 A1 00", "02 A1 00 00 00"},
           {"01 A2 01 03", "02 A2 00 01 00 00 00 00"},
           // In memory the brick is on USB: the reply must fit a 64-byte packet (59 bytes of
           // data); over Bluetooth 121 come.
           {"01 A2 00 3B", "02 A2 00 00 00" + zeros(59)},
           {"01 A2 00 79", "02 A2 8A 00 00"},
           {"01 A2 00 7A", "02 A2 8A 00 00"},
           {"01 97", "02 97 8A 00 00 00 00"},
           {"01 A4", "02 A4 8A"},
       }},
  };
  for (const Family& family : families) {
    run(family);
  }
}

// Reads port 0's run state and tacho count from a GETOUTPUTSTATE reply.
struct Reading {
  int runState;
  std::int32_t tacho;
};
Reading state(Bench& bench, int port = 0) {
  Sim::Bytes r = bench.sim.answer(hex("00 06 0" + std::to_string(port)));
  return Reading{r[8], static_cast<std::int32_t>(r[13] | r[14] << 8 | r[15] << 16 |
                                                 static_cast<std::uint32_t>(r[16]) << 24)};
}

// Lets the motor run to its goal and stand still; the run states it went through.
std::string settle(Bench& bench) {
  std::string states;
  int same = 0;
  std::int32_t last = state(bench).tacho;
  for (int polls = 0; same < 30 && polls < 2000; ++polls) {
    Reading now = state(bench);
    char code = now.runState == 0x20 ? 'R' : now.runState == 0 ? 'I' : '?';
    if (states.empty() || states.back() != code) {
      states += code;
    }
    same = now.tacho == last ? same + 1 : 0;
    last = now.tacho;
  }
  return states;
}

// "00 04 00 PP 05 01 00 20 LL LL 00 00": port 0 regulated at power PP for LL degrees.
std::string run(int power, int degrees) {
  char text[64];
  std::snprintf(text, sizeof text, "00 04 00 %02X 05 01 00 20 %02X %02X 00 00", power & 0xFF,
                degrees & 0xFF, (degrees >> 8) & 0xFF);
  return text;
}

// The faster a motor runs into its goal, the further it coasts past it; the run state turns
// idle at the goal whatever the brake bit, and the overshoot is what the coasting model says.
TEST(MotorModel, CoastingOvershootGrowsWithSpeed) {
  double last = -1;
  for (int power : {25, 50, 75, 100}) {
    Bench bench;
    ASSERT_EQ(bench.exchange(run(power, 360)), "02 04 00");
    EXPECT_EQ(settle(bench), "RI") << power;
    double over = state(bench).tacho - 360;
    double speed = power * Sim::MotorDrive::kDegreesPerSecondPerPower;
    EXPECT_GT(over, last) << power;
    EXPECT_NEAR(over, Sim::MotorDrive::coastingDistance(speed), speed * 0.005 + 1) << power;
    last = over;
  }
}

// Limits add up: two moves of 360 degrees end about 720 on, the count never restarting; one
// backwards comes back to the goal before it.
TEST(MotorModel, LimitsAddUpAndTheCountRunsOn) {
  Bench bench;
  double coast = Sim::MotorDrive::coastingDistance(500);
  const struct {
    int power;
    int degrees;
    double goal;
  } moves[] = {{50, 360, 360}, {50, 360, 720}, {-50, 360, 360}};
  for (const auto& move : moves) {
    ASSERT_EQ(bench.exchange(run(move.power, move.degrees)), "02 04 00");
    settle(bench);
    double end = move.goal + (move.power > 0 ? coast : -coast);
    EXPECT_NEAR(state(bench).tacho, end, 4) << move.goal;
  }
}

// Without slip a run repeats to the last bit; with it, the same seed repeats the same run, and
// the wheels carry the robot less far than their counts say.
TEST(MotorModel, SlipIsOffByDefaultAndSeededWhenOn) {
  auto drive = [](const std::string& slip) {
    Sim::World world;
    std::string error;
    EXPECT_TRUE(Sim::World::parse("arena 400 200\nrobot 50 100 0\n" + slip, world, error)) << error;
    Sim::SteppedClock clock{0.01};
    Sim::VirtualBrick sim;
    Sim::Robot robot(world, clock);
    robot.attach(sim);
    sim.answer(hex("00 04 01 4B 05 01 00 20 00 08 00 00"));
    sim.answer(hex("00 04 02 4B 05 01 00 20 00 08 00 00"));
    for (int i = 0; i < 400; ++i) {
      sim.answer(hex("00 0B"));
    }
    return robot.pose();
  };
  const struct {
    std::string slip;
    std::string again;  // a world that must give the same pose, or a different one
    bool same;
  } rows[] = {
      {"", "", true},
      {"slip 0", "", true},
      {"slip 5 2 42", "slip 5 2 42", true},
      {"slip 5 2 42", "slip 5 2 43", false},
  };
  for (const auto& row : rows) {
    Sim::Robot::Pose a = drive(row.slip);
    Sim::Robot::Pose b = drive(row.again);
    bool same = a.x == b.x && a.y == b.y && a.heading == b.heading;
    EXPECT_EQ(same, row.same) << row.slip << " / " << row.again;
  }
  // 5 % lost: about 5 % less far from the start.
  double clean = drive("").x - 50;
  double slipped = drive("slip 5 0").x - 50;
  EXPECT_NEAR(slipped / clean, 0.95, 0.005);
}

// The top speed falls with the battery; the regulator holds a speed below it.
TEST(MotorModel, TopSpeedFallsWithTheBattery) {
  const struct {
    std::uint8_t mode;
    int power;
    double millivolts;
    double speed;
  } rows[] = {
      {0x01, 100, 9000, 1000}, {0x01, 100, 7200, 800}, {0x01, 50, 7200, 400},
      {0x05, 50, 7200, 500},   {0x05, 100, 7200, 800}, {0x05, -100, 7200, -800},
  };
  for (const auto& row : rows) {
    Sim::MotorDrive motor;
    Sim::OutputState s;
    s.power = static_cast<std::int8_t>(row.power);
    s.mode = row.mode;
    s.regulation = row.mode == 0x05 ? 1 : 0;
    s.runState = 0x20;
    motor.command(s);
    for (int i = 0; i < 200; ++i) {
      motor.step(0.005, row.millivolts);
    }
    EXPECT_NEAR(motor.speed, row.speed, 0.5) << row.power << " at " << row.millivolts;
  }
}

}  // namespace
