// The simulated robot behind the virtual brick: motor physics, sensors and the world, driven
// through the class library as a host program drives a real robot, on a stepped clock so that
// every run comes out the same. Then bricksim and the explore demo end to end.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "BrickFixture.h"
#include "comm/Nxt.h"
#include "sim/CatchUpClock.h"
#include "sim/MotorDrive.h"
#include "sim/OutputFile.h"
#include "sim/Robot.h"
#include "sim/RunClock.h"
#include "sim/SteppedClock.h"
#include "sim/SvgPicture.h"
#include "sim/TelegramStream.h"
#include "sim/World.h"

using Brick::Lib::Motor;
using Brick::Lib::Sensor;
using test::hex;
using test::kRoom;

namespace {

// The 16 data bytes of an LSREAD reply that read nothing.
const std::string kNoData = " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

Sim::World room() {
  Sim::World world;
  std::string error;
  EXPECT_TRUE(Sim::World::parse(kRoom, world, error)) << error;
  return world;
}

// A Block on a virtual brick inside a robot in the room. Every telegram costs 10 ms of world
// time, like a USB round trip.
class SimRobot : public ::testing::Test {
 protected:
  void SetUp() override { build(room()); }
  void build(const Sim::World& world) {
    robot.reset(new Sim::Robot(world, clock));
    robot->attach(sim);
    test::answerInMemory(block, sim);
    block.setMotor(&arm, 0);
    block.setMotor(&left, 1);
    block.setMotor(&right, 2);
  }
  // Reads the motor's count until it has not changed for half a second of world time.
  int settle(Motor& motor) {
    int last = motor.getRotationCount();
    for (int same = 0, polls = 0; same < 50 && polls < 2000; ++polls) {
      int now = motor.getRotationCount();
      same = now == last ? same + 1 : 0;
      last = now;
    }
    return last;
  }
  // Lets `seconds` of world time pass by asking the brick something harmless.
  void wait(Motor& motor, double seconds) {
    for (int i = 0; i < std::lround(seconds / 0.01); ++i) {
      motor.getRotationCount();
    }
  }

  Sim::SteppedClock clock{0.01};
  Sim::VirtualBrick sim;
  std::unique_ptr<Sim::Robot> robot;
  Brick::Lib::Block block;
  Motor arm;
  Motor left;
  Motor right;
};

// At its goal a motor coasts, brake bit or not, as far as its speed carries it; each limit adds
// to the goal before, so a run backwards ends where the goals say, not the count.
TEST_F(SimRobot, TachoLimitedRunsCoastPastTheirGoal) {
  // One integration step at the motor's speed: where inside it the goal falls.
  auto step = [](double speed) { return speed * 0.005 + 1; };
  auto coast = [](double speed) { return Sim::MotorDrive::coastingDistance(speed); };
  ASSERT_EQ(arm.moveForwardDegrees(75, 360), 1);
  int forward = settle(arm);
  EXPECT_GE(forward, 360 + coast(750) - 2);  // the steps integrate the coasting to a degree or so
  EXPECT_LE(forward, 360 + coast(750) + step(750));
  EXPECT_EQ(sim.outputs[0].runState, Nxt::kRunStateIdle);  // the run is over

  arm.resetRotationCount();  // the rotation count only: the goal stays at 360
  arm.moveBackwardDegrees(100, 720);
  int backward = settle(arm);
  double end = -360.0 - forward;  // the new goal, -360, as the rotation count sees it
  EXPECT_LE(backward, end - coast(1000) + 2);
  EXPECT_GE(backward, end - coast(1000) - step(1000));

  // The brake bit does not hold it at the goal either.
  int before = settle(arm);
  int tacho = sim.outputs[0].tachoCount;
  unsigned char braked[] = {0x04, 0x00, 50, 0x07, 0x01, 0x00, 0x20, 90, 0, 0, 0};
  unsigned char reply[2];
  block.getCommunication().sendDirectCommand(1, braked, sizeof braked, reply, sizeof reply);
  int goal = -360 + 90;
  EXPECT_GE(settle(arm) - before, goal - tacho + coast(500) - 2);
  EXPECT_LE(settle(arm) - before, goal - tacho + coast(500) + step(500));
}

TEST_F(SimRobot, SpeedFollowsPowerBrakingHoldsFloatingCoasts) {
  arm.moveForward(50);
  int start = arm.getRotationCount();
  wait(arm, 1.0);
  // About 10 degrees per second per unit of power.
  EXPECT_NEAR(arm.getRotationCount() - start, 500, 10);

  arm.setBrake(true);
  int braked = arm.getRotationCount();
  wait(arm, 0.5);
  EXPECT_LE(std::abs(arm.getRotationCount() - braked), 1) << "a braked motor holds";

  arm.moveForward(100);
  wait(arm, 0.5);
  arm.setBrake(false);  // float
  int released = arm.getRotationCount();
  int coasted = settle(arm);
  EXPECT_GT(coasted - released, 30) << "a floating motor runs on";
  EXPECT_LT(coasted - released, 150) << "and comes to a stop";
}

TEST_F(SimRobot, RotationCountRunsNegativeBackwardsAndResetsTheRightCounter) {
  arm.moveBackward(80);
  wait(arm, 0.5);
  arm.stop();
  int count = settle(arm);
  EXPECT_LT(count, -350);
  EXPECT_EQ(sim.outputs[0].blockTachoCount, count);

  // Relative flag 0: the rotation count that getRotationCount reads, not the block count.
  arm.resetRotationCount();
  EXPECT_EQ(arm.getRotationCount(), 0);
  EXPECT_EQ(sim.outputs[0].blockTachoCount, count);

  // The counters are the brick's signed 32-bit counters: they wrap.
  sim.outputs[0].rotationCount = INT_MAX - 10;
  arm.moveForward(50);
  wait(arm, 0.2);
  EXPECT_LT(arm.getRotationCount(), INT_MIN + 200);
}

TEST_F(SimRobot, WheelsDriveTheRobotAndTheFreeMotorDoesNot) {
  arm.moveForward(100);
  left.moveForwardDegrees(50, 360);
  right.moveForwardDegrees(50, 360);
  settle(left);
  settle(right);
  // One wheel turn of a 5.6 cm wheel, 17.6 cm straight ahead, and the coasting past the goal.
  double coast = Sim::MotorDrive::coastingDistance(500);
  EXPECT_NEAR(robot->pose().x, 50 + (360 + coast) / 360 * 5.6 * M_PI, 0.5);
  // The left wheel starts one telegram before the right one: a hair off straight.
  EXPECT_NEAR(robot->pose().y, 100, 0.5);

  // Wheels turning opposite ways spin the robot: a quarter turn clockwise, and a little more as
  // they coast. Each goal adds to the one before, so the left wheel gives back what it coasted
  // past the first goal and the right one adds it: the robot backs by that much as it turns.
  double x = robot->pose().x;
  int over = sim.outputs[1].tachoCount - 360;
  int quarter = static_cast<int>(std::lround(90.0 / 360 * M_PI * 12 / (5.6 * M_PI) * 360));
  left.moveForwardDegrees(30, quarter);
  right.moveBackwardDegrees(30, quarter);
  settle(left);
  settle(right);
  double spun = (2 * quarter + 2 * Sim::MotorDrive::coastingDistance(300)) * 2.8 / 12;
  EXPECT_NEAR(robot->pose().heading, 360 - spun, 2);
  EXPECT_NEAR(robot->pose().x, x, over / 360.0 * 5.6 * M_PI + 0.1);
}

// A brick left without a KEEPALIVE for its sleep time switches off: it stops answering, its
// wheels stop being driven, and the run's picture marks where the host lost it, once.
TEST_F(SimRobot, ABrickThatSleepsStopsItsMotorsAndMarksWhereItWasLost) {
  sim.sleep.sleepMs = 500;
  sim.sleep.clock = [this] { return robot->worldSeconds(); };
  left.moveForward(50);
  right.moveForward(50);
  wait(left, 1.0);
  EXPECT_EQ(block.getBatteryLevel(), 257);  // no answer: the link's pre-filled value
  ASSERT_EQ(robot->eventCount("lost"), 1u);
  const Sim::Robot::Event& lost = robot->events().back();
  EXPECT_NEAR(lost.time, 0.5, 0.02);
  double x = robot->pose().x;
  clock.step(2.0);
  robot->advance();
  EXPECT_NEAR(robot->pose().x, x, 1.0);  // coasting out, not driving on at 24 cm/s
  EXPECT_EQ(robot->eventCount("lost"), 1u);
}

TEST_F(SimRobot, UltrasonicMeasuresTheWallAheadAndTakesItsTime) {
  Sensor sonar;
  sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
  block.setSensor(&sonar, 3);
  // The wall is 100 cm from the centre; the sensor sits 7 cm ahead of it.
  EXPECT_EQ(sonar.getValue(), 93);

  // Switched off, the sensor keeps its last measurement.
  sonar.disableSonar();
  left.moveForwardDegrees(50, 360);
  right.moveForwardDegrees(50, 360);
  settle(left);
  EXPECT_EQ(sonar.getValue(), 93);
  sonar.enableSonar();
  EXPECT_EQ(sonar.getValue(), 74);  // 18.7 cm nearer: a wheel turn and the coasting past it

  // With no wall in range there is no echo.
  robot.reset();
  Sim::World open = room();
  open.walls.clear();
  build(open);
  EXPECT_EQ(sonar.getValue(), 255);
}

TEST(SimBus, DistanceTransactionKeepsTheBusBusyForItsLatency) {
  Sim::SteppedClock clock;
  Sim::VirtualBrick sim;
  Sim::Robot robot(room(), clock);
  robot.attach(sim);
  sim.answer(hex("00 05 03 0B 00"));
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 02 42"))), "02 0F 00");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 03"))), "02 0E 20 00");
  // A second request while the first runs is refused, not restarted.
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 02 42"))), "02 0F E0");
  clock.step(Sim::Robot::kUltrasonicLatencySeconds);
  EXPECT_EQ(hex(sim.answer(hex("00 0E 03"))), "02 0E 00 01");
  EXPECT_EQ(hex(sim.answer(hex("00 10 03"))).substr(0, 14), "02 10 00 01 5D");  // 93 cm
}

// An I2C address where nothing answers: the brick only queues the write, and the missing
// acknowledge shows when the bus is polled. Nothing of the transaction before survives it.
TEST(SimBus, AnAddressNobodyAnswersFailsTheTransactionNotTheWrite) {
  Sim::VirtualBrick sim;
  sim.answer(hex("00 05 03 0B 00"));
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 02 42"))), "02 0F 00");  // done, left unread
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 04 42"))), "02 0F 00");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 03"))), "02 0E DD 00");
  EXPECT_EQ(hex(sim.answer(hex("00 10 03"))), "02 10 DD 00" + kNoData);
  // The next transaction to the sensor's address goes through again.
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 02 42"))), "02 0F 00");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 03"))), "02 0E 00 01");
}

// LSGETSTATUS and LSREAD replies keep their layout whatever the status: a host that reads the
// bytes-ready count of a refusal must read 0, not whatever its buffer held. A port beyond the
// four inputs (port 4, counting from 1 by mistake) is refused before anything else, as out of
// range in three bytes, as the brick's firmware does.
TEST(SimBus, RefusalsKeepTheReplyLayoutAndPortFourIsNoChannel) {
  Sim::VirtualBrick sim;
  EXPECT_EQ(hex(sim.answer(hex("00 0F 04 02 01 02 42"))), "02 0F C0");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 04"))), "02 0E C0");
  EXPECT_EQ(hex(sim.answer(hex("00 10 04"))), "02 10 C0");
  // Port 0 is not set for the bus.
  EXPECT_EQ(hex(sim.answer(hex("00 0F 00 02 01 02 42"))), "02 0F E0");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 00"))), "02 0E E0 00");
  EXPECT_EQ(hex(sim.answer(hex("00 10 00"))), "02 10 E0 00" + kNoData);
}

// An LSREAD with nothing waiting (after a command write, or a second time) reads 0 bytes; the
// bus did nothing wrong.
TEST(SimBus, ReadingWithNothingWaitingIsNoBusError) {
  Sim::VirtualBrick sim;
  sim.answer(hex("00 05 03 0B 00"));
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 03 00 02 41 02"))), "02 0F 00");
  EXPECT_EQ(hex(sim.answer(hex("00 0E 03"))), "02 0E 00 00");
  EXPECT_EQ(hex(sim.answer(hex("00 10 03"))), "02 10 00 00" + kNoData);
  sim.ultrasonic[3].distance = 42;
  EXPECT_EQ(hex(sim.answer(hex("00 0F 03 02 01 02 42"))), "02 0F 00");
  EXPECT_EQ(hex(sim.answer(hex("00 10 03"))).substr(0, 14), "02 10 00 01 2A");
  EXPECT_EQ(hex(sim.answer(hex("00 10 03"))), "02 10 00 00" + kNoData);
}

TEST_F(SimRobot, LightSensorSeesTheLineAndColourSensorTheMats) {
  Sensor light;
  light.setSensorType(Brick::Lib::SENSOR_LIGHT_ACTIVE);
  block.setSensor(&light, 1);
  Sensor colour;
  colour.setSensorType(Brick::Lib::SENSOR_COLOR_FULL);
  block.setSensor(&colour, 2);
  int white = light.getValue();
  EXPECT_GT(white, 50);
  EXPECT_EQ(colour.getValue(), 6);
  light.disableLight();
  EXPECT_LT(light.getValue(), white - 10) << "without its lamp the sensor sees less";
  light.enableLight();

  left.moveForward(20);
  right.moveForward(20);
  int reading = white;
  for (int i = 0; i < 1000 && reading >= 40; ++i) {
    reading = light.getValue();
  }
  left.setBrake(true);
  right.setBrake(true);
  EXPECT_LT(reading, 40);
  // The spot is 7 cm ahead of the centre: the line (x = 99 to 101) was found at x = 92.
  EXPECT_NEAR(robot->pose().x, 92, 1.5);
  EXPECT_EQ(colour.getValue(), 1) << "black";

  // Backwards onto the red mat.
  left.moveBackward(60);
  right.moveBackward(60);
  int seen = 0;
  for (int i = 0; i < 1000 && seen != 5; ++i) {
    seen = colour.getValue();
  }
  EXPECT_EQ(seen, 5) << "red";
  EXPECT_NEAR(robot->pose().x, 40 - 7, 1.5);
}

TEST_F(SimRobot, TouchSensorClosesAgainstAWall) {
  Sensor touch;
  touch.setSensorType(Brick::Lib::SENSOR_TOUCH);
  block.setSensor(&touch, 0);
  EXPECT_EQ(touch.getValue(), 0);
  left.moveForward(60);
  right.moveForward(60);
  int pressed = 0;
  for (int i = 0; i < 2000 && pressed == 0; ++i) {
    pressed = touch.getValue();
  }
  EXPECT_EQ(pressed, 1);
  // The bumper is on the robot's 9 cm radius; the wall is at x = 150.
  EXPECT_NEAR(robot->pose().x, 150 - 9, 1.0);
  // Pushing on, the wheels slip: the robot stays at the wall with the bumper closed.
  wait(left, 0.5);
  EXPECT_LE(robot->pose().x, 150 - 9 + 0.01);
  EXPECT_EQ(touch.getValue(), 1);
  EXPECT_EQ(robot->eventCount("touch"), 1u);
  EXPECT_EQ(robot->eventCount("bump"), 1u);
  // Backing off opens it again.
  left.moveBackwardDegrees(50, 180);
  right.moveBackwardDegrees(50, 180);
  settle(left);
  EXPECT_EQ(touch.getValue(), 0);
}

TEST_F(SimRobot, SoundIsTheRoomUntilTheSpeakerPlaysAndTheBatteryDrains) {
  Sensor sound;
  sound.setSensorType(Brick::Lib::SENSOR_SOUND_DB);
  block.setSensor(&sound, 2);
  int quiet = sound.getValue();
  block.playTone(440, 500);
  int loud = sound.getValue();
  EXPECT_GT(loud, quiet) << "the reading folds the level, louder is larger either way";
  ASSERT_EQ(sim.tones.size(), 1u);
  EXPECT_EQ(robot->eventCount("tone"), 1u);

  int full = block.getBatteryLevel();
  left.moveForward(100);
  wait(left, 60);
  int later = block.getBatteryLevel();
  EXPECT_LT(later, full);
  EXPECT_GT(later, full - 100) << "slowly";
}

// A brick serving for days keeps counts of everything and only the last telegrams and tones.
TEST(SimRecord, KeepsCountsOfAllAndOnlyTheLastTelegramsAndTones) {
  Sim::VirtualBrick brick;
  const std::size_t sent = Sim::VirtualBrick::kKept + 10;
  for (std::size_t i = 0; i < sent; ++i) {
    std::uint8_t hz = static_cast<std::uint8_t>(i);
    brick.answer(Sim::Bytes{0x80, 0x03, hz, 0x01, 0x64, 0x00});  // PLAYTONE, no reply
  }
  EXPECT_EQ(brick.received().size(), Sim::VirtualBrick::kKept);
  EXPECT_EQ(brick.receivedCount(), sent);
  EXPECT_EQ(brick.count(0x03), sent);
  EXPECT_EQ(brick.tones.size(), Sim::VirtualBrick::kKept);
  EXPECT_EQ(brick.toneCount, sent);
  EXPECT_EQ(brick.received().back()[2], static_cast<std::uint8_t>(sent - 1));
  EXPECT_EQ(brick.tones.front().frequency, 256 + static_cast<int>(10 % 256));
  // Over-long telegrams (a client may announce up to 65535 bytes) are kept cut short.
  brick.answer(Sim::Bytes(60000, 0x00));
  EXPECT_EQ(brick.received().back().size(), Nxt::kMaxTelegram + 1);
  brick.clearRecord();
  EXPECT_EQ(brick.count(0x03), 0u);
}

// A touch sensor's readings in each mode follow from its raw value as every analog sensor's
// do: in percent mode a closed switch (raw 183) reads (1023 - 183) * 100 / 1023 = 82.
TEST(SimSensors, TouchReadsInEveryModeFromItsRawValue) {
  Sim::World world;
  std::string error;
  ASSERT_TRUE(Sim::World::parse("arena 100 100\nrobot 50 90.5 90\n", world, error)) << error;
  Sim::SteppedClock clock;
  Sim::VirtualBrick sim;
  Sim::Robot robot(world, clock);
  robot.attach(sim);
  ASSERT_TRUE(robot.bumperPressed());
  const std::pair<const char*, const char*> modes[] = {
      {"20", "B7 00 B7 00 01 00"},  // boolean: 1
      {"80", "B7 00 B7 00 52 00"},  // percent: 82
      {"00", "B7 00 B7 00 B7 00"},  // raw: the raw value
  };
  for (const auto& mode : modes) {
    sim.answer(hex(std::string("00 05 00 01 ") + mode.first));
    std::string reply = hex(sim.answer(hex("00 07 00")));
    // Raw, normalized, scaled and calibrated value, the reply's last eight bytes; the
    // calibrated value is a copy of the normalized one.
    EXPECT_EQ(reply.substr(reply.size() - 23), mode.second + std::string(" B7 00")) << mode.first;
  }
}

TEST(SimWorld, ParsesTheFormatAndSaysWhereItIsWrong) {
  Sim::World world;
  std::string error;
  EXPECT_TRUE(Sim::World::parse(Sim::World::builtInText(), world, error)) << error;
  EXPECT_EQ(world.name, "arena");
  EXPECT_EQ(world.walls.size(), 6u);

  const std::pair<const char*, const char*> bad[] = {
      {"robot 10 10 0\nwall 1 2 3\n", "line 2: wall X1 Y1 X2 Y2"},
      {"robot 10 10 0\narea purple 0 0 1 1\n", "line 2: area needs a colour"},
      {"robot 10 10 0\nline 2 0 0\n", "line 2: line WIDTH"},
      {"robot 10 10 0\nwheels 1 1\n", "line 2: wheels LEFT RIGHT"},
      {"robot 10 10 0\nfly 1\n", "line 2: unknown keyword \"fly\""},
      {"robot 10 10 0\npress 1\n", "line 2: press AT SECONDS"},
      {"robot 10 10 0\npress 1 0\n", "line 2: press AT SECONDS"},
      {"robot 10 10 nan\n", "line 1: robot X Y HEADING"},
      {"arena 100 100\n", "no robot line"},
      {"arena 100 100\nrobot 5 50 0\n", "the robot starts inside a wall"},
      // The robot's line, not the last one, even when the wall comes later.
      {"robot 5 50 0\narena 100 100\n\n\n", "line 1: the robot starts inside a wall"},
      {"", "no robot line"},
      // Sizes no floor has: the picture would say "inf", the physics lose every centimetre.
      {"robot 10 10 0\narena 1e308 1e308\n", "line 2: numbers run from -100000 to 100000"},
      {"robot 10 10 0\nbuild 1e300 12 9\n", "line 2: numbers run from -100000 to 100000"},
      // Sizes that pass as positive but break the physics: a track of 1e-307 turns the pose
      // into NaN. Lengths run from a millimetre; a robot's parts and a line to 100 m.
      {"robot 10 10 0\nbuild 5.6 1e-307 9\n", "line 2: build WHEEL_DIAMETER TRACK"},
      {"robot 10 10 0\nbuild 0.05 12 9\n", "line 2: build"},
      {"robot 10 10 0\nbuild 5.6 12 0\n", "line 2: build"},
      {"robot 10 10 0\nbuild 5.6 10001 9\n", "line 2: build"},
      {"robot 10 10 0\nline 1e-307 0 0 5 5\n", "line 2: line WIDTH"},
      {"robot 10 10 0\nline 20000 0 0 5 5\n", "line 2: line WIDTH"},
      {"robot 10 10 0\narena 1e-307 100\n", "line 2: arena WIDTH HEIGHT"},
      {"robot 10 10 0\narea red 0 0 0.01 5\n", "line 2: area COLOUR"},
      {"robot 10 10 0\narea red 0 0 5 -5\n", "line 2: area COLOUR"},
  };
  for (const auto& row : bad) {
    EXPECT_FALSE(Sim::World::parse(row.first, world, error)) << row.first;
    EXPECT_NE(error.find(row.second), std::string::npos) << error;
  }
  EXPECT_EQ(world.name, "arena") << "a failed parse leaves the world as it was";

  for (const char* file : {"arena.world", "maze.world", "oval.world"}) {
    EXPECT_TRUE(Sim::World::load(std::string(WORLDS_DIR) + "/" + file, world, error)) << error;
  }
  EXPECT_FALSE(Sim::World::load("/nonexistent/x.world", world, error));
}

// What is not a world file at all is refused with a reason, and an endless one is not read
// to its end.
TEST(SimWorld, LoadRefusesDirectoriesAndEndlessFiles) {
  Sim::World world;
  std::string error;
  EXPECT_FALSE(Sim::World::load(WORLDS_DIR, world, error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  EXPECT_FALSE(Sim::World::load("/dev/zero", world, error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

TEST_F(SimRobot, PictureShowsWorldPathAndEvents) {
  left.moveForwardDegrees(50, 720);
  right.moveForwardDegrees(50, 720);
  settle(left);
  block.playTone(440, 100);
  std::ostringstream svg;
  Sim::SvgPicture::write(*robot, svg);
  std::string text = svg.str();
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("</svg>"), std::string::npos);
  EXPECT_NE(text.find("red mat"), std::string::npos);
  EXPECT_NE(text.find("tone, 440 Hz, 100 ms"), std::string::npos);
  EXPECT_GT(robot->path().size(), 50u);
  // Two wheel turns and the coasting past the goal.
  char driven[32];
  std::snprintf(driven, sizeof driven, "%.0f cm driven",
                (720 + Sim::MotorDrive::coastingDistance(500)) / 360 * 5.6 * M_PI);
  EXPECT_NE(robot->summary().find(driven), std::string::npos) << robot->summary();
}

// A picture that cannot be put in place leaves nothing behind.
TEST(SimPicture, AFailedSaveLeavesNoPartialFile) {
  Sim::SteppedClock clock;
  Sim::Robot robot(Sim::World::builtIn(), clock);
  std::string directory =
      std::string(::testing::TempDir()) + "picture-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(directory.c_str(), 0700), 0);
  EXPECT_FALSE(Sim::SvgPicture::save(robot, directory));  // a directory is in the way
  EXPECT_NE(::access((directory + ".part").c_str(), F_OK), 0);
  std::remove((directory + ".part").c_str());
  ::rmdir(directory.c_str());
}

// Whatever waits at FILE.part (a symlink to someone's file, a FIFO nobody reads) is left alone:
// the picture is written to a new file of its own and then renamed into place.
TEST(SimPicture, SavingNeitherFollowsNorBlocksOnWhatLiesAtThePartName) {
  Sim::SteppedClock clock;
  Sim::Robot robot(Sim::World::builtIn(), clock);
  std::string base = std::string(::testing::TempDir()) + "picture-" + std::to_string(::getpid());
  std::string victim = base + ".victim";
  std::ofstream(victim) << "keep";
  for (bool fifo : {false, true}) {
    std::string path = base + ".svg";
    std::string part = path + ".part";
    ASSERT_EQ(fifo ? ::mkfifo(part.c_str(), 0600) : ::symlink(victim.c_str(), part.c_str()), 0);
    EXPECT_TRUE(Sim::SvgPicture::save(robot, path)) << (fifo ? "fifo" : "symlink");
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
    std::ifstream picture(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(picture), {}).rfind("<?xml", 0), 0u);
    std::remove(part.c_str());
    std::remove(path.c_str());
  }
  std::remove(victim.c_str());
}

// A picture written again is the same file: its mode (whatever the umask), its hard links. A new
// one is made as any new file is, under the umask.
TEST(SimPicture, RewritingKeepsTheFilesModeAndLinksAndANewOneFollowsTheUmask) {
  Sim::SteppedClock clock;
  Sim::Robot robot(Sim::World::builtIn(), clock);
  std::string base = std::string(::testing::TempDir()) + "kept-" + std::to_string(::getpid());
  const struct {
    const char* what;
    mode_t before;  // 0: no file yet
    bool linked;
    mode_t umask;
    mode_t after;
  } rows[] = {
      {"a private file", 0600, false, 022, 0600}, {"a group's file", 0664, false, 077, 0664},
      {"a linked file", 0640, true, 022, 0640},   {"a new file", 0, false, 077, 0600},
      {"a new file", 0, false, 022, 0644},
  };
  for (const auto& row : rows) {
    std::string path = base + ".svg";
    std::string link = base + ".link";
    if (row.before != 0) {
      std::ofstream(path) << "old";
      ASSERT_EQ(::chmod(path.c_str(), row.before), 0);
    }
    if (row.linked) {
      ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    }
    mode_t was = ::umask(row.umask);
    EXPECT_TRUE(Sim::SvgPicture::save(robot, path)) << row.what;
    ::umask(was);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, row.after) << row.what;
    std::ifstream picture(row.linked ? link : path);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(picture), {}).find("</svg>"),
              std::string::npos)
        << row.what;
    struct stat linked;
    EXPECT_TRUE(!row.linked || (::stat(link.c_str(), &linked) == 0 && linked.st_ino == st.st_ino &&
                                st.st_nlink == 2))
        << row.what;
    std::remove(path.c_str());
    std::remove(link.c_str());
  }
}

// What is not a regular file is never written over or into: not a device node (as root a
// rename would replace /dev/null), not a directory, not a FIFO.
TEST(SimPicture, OnlyARegularFileIsWrittenOver) {
  Sim::SteppedClock clock;
  Sim::Robot robot(Sim::World::builtIn(), clock);
  std::string base = std::string(::testing::TempDir()) + "node-" + std::to_string(::getpid());
  // A node of our own like /dev/null where we may make one (as root), else /dev/null itself,
  // which only root could replace.
  std::string device = base + ".null";
  if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
    device = "/dev/null";
  }
  std::string fifo = base + ".fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    mode_t kind;
    const char* said;
  } rows[] = {
      {device, S_IFCHR, "is a device, not a regular file"},
      {fifo, S_IFIFO, "is a FIFO, not a regular file"},
      {std::string(::testing::TempDir()), S_IFDIR, "is a directory, not a regular file"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_FALSE(Sim::OutputFile::check(row.path, error)) << row.path;
    EXPECT_NE(error.find(row.said), std::string::npos) << error;
    EXPECT_FALSE(Sim::SvgPicture::save(robot, row.path)) << row.path;
    EXPECT_EQ(Sim::OutputFile::open(row.path, error), nullptr) << row.path;
    struct stat st;
    ASSERT_EQ(::stat(row.path.c_str(), &st), 0) << row.path;
    EXPECT_EQ(st.st_mode & S_IFMT, row.kind) << row.path;
  }
  if (device != "/dev/null") {
    std::remove(device.c_str());
  }
  std::remove(fifo.c_str());
}

// A name in another encoding (Latin-1 "K\xFCche") or with control characters still gives a
// picture an XML parser reads: UTF-8 throughout, no control characters, no U+FFFE/U+FFFF.
TEST(SimPicture, ANameThatIsNotUtf8TextStillGivesWellFormedXml) {
  Sim::World world;
  std::string error;
  ASSERT_TRUE(
      Sim::World::parse("name K\xFC"
                        "che \x01<&> \xE2\x82\xAC\xEF\xBF\xBE\xEF\xBF\xBF\xC2\x85\nrobot 50 50 0\n",
                        world, error))
      << error;
  Sim::SteppedClock clock;
  Sim::Robot robot(world, clock);
  std::ostringstream svg;
  Sim::SvgPicture::write(robot, svg);
  std::string text = svg.str();
  EXPECT_NE(text.find("<title>K?che ?&lt;&amp;&gt; \xE2\x82\xAC???: the robot's run</title>"),
            std::string::npos)
      << text.substr(0, 400);
}

}  // namespace

// Real time as a world that may fall behind sees it: followed while the world keeps up, at most
// the limit in one reading after a stall, the rest counted as dropped.
TEST(CatchUpClock, FollowsTheWallClockAndDropsWhatAStallWouldOwe) {
  Sim::SteppedClock wall;
  Sim::CatchUpClock clock(wall, 0.25);
  const struct {
    double wallStep, world, dropped;
    unsigned drops;
  } readings[] = {
      {0.02, 0.02, 0, 0},   // an ordinary pause between two catch-ups
      {0.25, 0.27, 0, 0},   // the limit itself is caught up in whole
      {10, 0.52, 9.75, 1},  // a stall
      {0, 0.52, 9.75, 1},   // no time has passed
      {0.1, 0.62, 9.75, 1},
  };
  for (const auto& r : readings) {
    wall.step(r.wallStep);
    EXPECT_NEAR(clock.now(), r.world, 1e-9) << r.wallStep;
    EXPECT_NEAR(clock.dropped(), r.dropped, 1e-9) << r.wallStep;
    EXPECT_EQ(clock.drops(), r.drops) << r.wallStep;
  }
}

// bricksim's clock, stepped: left alone by the page it reads exactly as the stepped clock does,
// the link's time included; paused, neither a reading nor the link moves it. In real time the
// link's time is waited, and nothing has been dropped yet.
TEST(RunClock, SteppedReadsAsTheSteppedClockUntilPaused) {
  Sim::RunClock run(0.01, 0.25);
  Sim::SteppedClock plain(0.01);
  ASSERT_TRUE(run.stepped());
  for (double link : {0.0015, 0.0, 0.060087, 0.0005}) {
    EXPECT_TRUE(run.pass(link));
    plain.step(link);
    EXPECT_EQ(run.now(), plain.now()) << link;  // to the last bit
  }
  ASSERT_TRUE(run.controls().apply("pause", 0));
  double held = run.now();
  run.pass(0.06);
  EXPECT_EQ(run.now(), held);
  EXPECT_EQ(run.drops(), 0u);

  Sim::RunClock real(0, 0.25);
  EXPECT_FALSE(real.stepped());
  EXPECT_FALSE(real.pass(0.001));
  EXPECT_GE(real.now(), 0);
  EXPECT_EQ(real.dropped(), 0);
  EXPECT_EQ(real.mostCatchUp(), 0.25);
}

// The server cuts the Bluetooth stream as the bytes arrive, 512 at a time: an extended WRITE
// comes out in pieces no larger than what arrived, so a 10 KiB one is never held whole; every
// other telegram, however long, comes whole (to be carried out or refused).
TEST(SimTelegramStream, AnExtendedWriteComesInPiecesAndAnythingElseWhole) {
  const struct {
    std::string head;  // type and opcode (and handle)
    std::size_t length;
    std::size_t pieces;  // what next() gives, fed 512 bytes at a time
    std::size_t most;    // the largest piece
  } rows[] = {
      {"01 83 00", 10243, 21, 512},   // the first piece lacks the 2-byte prefix: 510
      {"81 83 00", 203, 1, 203},      // extended, but it came whole: one piece, first and last
      {"01 83 00", 121, 1, 121},      // fits the buffer: an ordinary telegram
      {"01 82 00", 10243, 1, 10243},  // not a WRITE: whole, for the brick to refuse
  };
  for (const auto& row : rows) {
    Sim::Bytes frame = test::hex(row.head);
    frame.resize(row.length, 0x5A);
    frame.insert(frame.begin(), {static_cast<std::uint8_t>(row.length & 0xFF),
                                 static_cast<std::uint8_t>(row.length >> 8)});
    Sim::TelegramStream stream;
    std::size_t pieces = 0, most = 0, total = 0;
    bool sawFirst = false, sawLast = false;
    for (std::size_t at = 0; at < frame.size(); at += 512) {
      stream.add(frame.data() + at, std::min<std::size_t>(512, frame.size() - at));
      Sim::TelegramStream::Piece piece;
      while (stream.next(piece)) {
        ++pieces;
        most = std::max(most, piece.bytes.size());
        total += piece.bytes.size();
        sawFirst = sawFirst || piece.first;
        sawLast = sawLast || piece.last;
        EXPECT_EQ(piece.length, row.length);
      }
    }
    EXPECT_EQ(pieces, row.pieces) << row.head << " " << row.length;
    EXPECT_EQ(most, row.most) << row.head << " " << row.length;
    EXPECT_EQ(total, row.length);
    EXPECT_TRUE(sawFirst && sawLast);
    EXPECT_TRUE(stream.empty());
  }
}
