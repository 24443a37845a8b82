// brick::Pilot and brick::EventWatcher, the modern API's robot driving and events, against the
// virtual robot: what they refuse before sending, what a move sends, a square and a bumper's
// presses on the stepped clock, the watcher and the pilot in one loop; and the int ports their
// types keep from compiling.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "BrickFixture.h"
#include "SimRig.h"
#include "brick/brick.hpp"
#include "sim/LinkModel.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using namespace std::chrono_literals;
using brick::Errc;
using brick::Input;
using brick::Port;
using Kind = brick::Event::Kind;
using Strings = std::vector<std::string>;
using Wait = brick::Pilot::Wait;

namespace {

// What the types keep from compiling: a port or an input counted from 0.
template <typename T, typename = void>
struct TouchTakes : std::false_type {};
template <typename T>
struct TouchTakes<
    T, std::void_t<decltype(std::declval<brick::EventWatcher&>().watchTouch(std::declval<T>()))>>
    : std::true_type {};
template <typename T, typename = void>
struct MotorTakes : std::false_type {};
template <typename T>
struct MotorTakes<
    T, std::void_t<decltype(std::declval<brick::EventWatcher&>().watchMotor(std::declval<T>()))>>
    : std::true_type {};

static_assert(TouchTakes<Input>::value);
static_assert(!TouchTakes<int>::value, "an input number does not name an input");
static_assert(!TouchTakes<Port>::value, "an output is not an input");
static_assert(MotorTakes<Port>::value);
static_assert(!MotorTakes<int>::value, "a port number does not name an output");
static_assert(!MotorTakes<Input>::value, "an input is not an output");
static_assert(!std::is_assignable_v<decltype(brick::Pilot::Config::left)&, int>,
              "a wheel's port is not a number");
static_assert(std::is_same_v<decltype(brick::Pilot::Config::right), Port>);
static_assert(std::is_same_v<decltype(brick::Event::input), std::optional<Input>>);
static_assert(std::is_same_v<decltype(brick::Event::port), std::optional<Port>>);
static_assert(!std::is_constructible_v<brick::Pilot, brick::Brick&, int, int>);
static_assert(!std::is_copy_constructible_v<brick::Pilot>, "two pilots would fight");
static_assert(std::is_nothrow_move_constructible_v<brick::Pilot>);
static_assert(!std::is_copy_constructible_v<brick::EventWatcher>);
static_assert(std::is_nothrow_move_constructible_v<brick::EventWatcher>);

// Room enough for a 50 cm square either way; nothing to sense.
const char kFloor[] = "name floor\narena 300 300\nrobot 150 150 0\n";

// The rig's brick opened as a program opens one.
struct Rig : test::SimRig {
  explicit Rig(const std::string& text, Sim::LinkModel::Kind kind = Sim::LinkModel::Kind::Usb)
      : SimRig(text, kind), nxt(std::make_unique<brick::Brick>(server.devicePath())) {}
  ~Rig() { nxt.reset(); }

  std::unique_ptr<brick::Brick> nxt;
};

// The stepped clock moves with telegrams, not with the host's pauses.
brick::Pilot::Config stepped() {
  brick::Pilot::Config config;
  config.pollPeriod = 0ms;
  return config;
}

double headingError(double a, double b) {
  return std::fabs(std::remainder(a - b, 360.0));
}

class ApiPilot : public test::MemoryBrick {
 protected:
  brick::Brick open() {
    attach(block);
    brick::Brick b = brick::Brick::adopt(block.getCommunication());
    b.keepRunning();  // the wire holds the calls' telegrams only
    return b;
  }
};

}  // namespace

// A configuration the robot cannot have, and a move to nowhere, are refused in both forms
// before anything is sent.
TEST_F(ApiPilot, RefusesBadConfigurationsAndMovesBeforeSending) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* what;
    void (*spoil)(brick::Pilot::Config&);
    Errc expected;
  } configs[] = {
      {"wheel diameter 0", [](auto& c) { c.wheelDiameter = 0; }, Errc::bad_value},
      {"wheel diameter -5.6", [](auto& c) { c.wheelDiameter = -5.6; }, Errc::bad_value},
      {"wheel diameter NaN",
       [](auto& c) { c.wheelDiameter = std::numeric_limits<double>::quiet_NaN(); },
       Errc::bad_value},
      {"track 0", [](auto& c) { c.track = 0; }, Errc::bad_value},
      {"track infinite", [](auto& c) { c.track = std::numeric_limits<double>::infinity(); },
       Errc::bad_value},
      {"power 0", [](auto& c) { c.power = 0; }, Errc::bad_value},
      {"power 101", [](auto& c) { c.power = 101; }, Errc::bad_value},
      {"trim power -12", [](auto& c) { c.trimPower = -12; }, Errc::bad_value},
      {"tolerance -1", [](auto& c) { c.toleranceDegrees = -1; }, Errc::bad_value},
      {"trims -1", [](auto& c) { c.maxTrims = -1; }, Errc::bad_value},
      {"poll period -1 ms", [](auto& c) { c.pollPeriod = -1ms; }, Errc::bad_value},
      {"both wheels on B", [](auto& c) { c.right = Port::B; }, Errc::bad_port},
      {"both wheels on A",
       [](auto& c) {
         c.left = Port::A;
         c.right = Port::A;
       },
       Errc::bad_port},
  };
  brick::Brick b = open();
  clearWire();
  for (const auto& row : configs) {
    SCOPED_TRACE(row.what);
    brick::Pilot::Config config;
    row.spoil(config);
    std::error_code ec;
    brick::Pilot pilot(b, config, ec);
    EXPECT_EQ(ec, row.expected) << ec.message();
    pilot.travel(10, Wait::no, ec);  // what a failed construction leaves sends nothing
    EXPECT_EQ(ec, Errc::not_open);
    try {
      brick::Pilot thrown(b, config);
      ADD_FAILURE() << "no exception";
    } catch (const brick::Error& e) {
      EXPECT_EQ(e.code(), row.expected);
      EXPECT_NE(std::string(e.what()).find("brick::Pilot::Pilot"), std::string::npos);
    }
  }
  brick::Pilot pilot(b, brick::Pilot::Config());
  const struct {
    const char* what;
    std::function<void(std::error_code&)> move;
  } moves[] = {
      {"travel NaN", [&](auto& ec) { pilot.travel(kNaN, Wait::no, ec); }},
      {"rotate infinite", [&](auto& ec) { pilot.rotate(kInf, Wait::no, ec); }},
      {"arc of radius NaN", [&](auto& ec) { pilot.arc(kNaN, 90, Wait::no, ec); }},
      {"arc of -infinite degrees", [&](auto& ec) { pilot.arc(20, -kInf, Wait::no, ec); }},
      {"go to (0, NaN)", [&](auto& ec) { pilot.goTo(0, kNaN, Wait::no, ec); }},
  };
  for (const auto& row : moves) {
    SCOPED_TRACE(row.what);
    std::error_code ec;
    row.move(ec);
    EXPECT_EQ(ec, Errc::bad_value);
    EXPECT_FALSE(pilot.moving());
  }
  EXPECT_THROW(pilot.travel(kNaN), brick::Error);
  // A closed brick: the pilot and a watcher of it send nothing.
  brick::EventWatcher watcher(b);
  b.close();
  std::error_code ec;
  pilot.travel(10, Wait::no, ec);
  EXPECT_EQ(ec, Errc::not_open);
  EXPECT_FALSE(pilot.wait(1s, ec));
  EXPECT_EQ(ec, Errc::not_open);
  watcher.watchTouch(Input::S1, ec);
  EXPECT_EQ(ec, Errc::not_open);
  EXPECT_EQ(wire(), Strings{});
}

TEST_F(ApiPilot, TheWatchersValuesAreCheckedBeforeSending) {
  brick::Brick b = open();
  brick::EventWatcher watcher(b);
  clearWire();
  const struct {
    const char* what;
    std::function<void(std::error_code&)> call;
  } rows[] = {
      {"distance 0 cm", [&](auto& ec) { watcher.watchDistance(Input::S4, 0, 3, ec); }},
      {"distance 256 cm", [&](auto& ec) { watcher.watchDistance(Input::S4, 256, 3, ec); }},
      {"distance hysteresis -1", [&](auto& ec) { watcher.watchDistance(Input::S4, 25, -1, ec); }},
      {"light 101", [&](auto& ec) { watcher.watchLight(Input::S3, 101, 4, ec); }},
      {"light hysteresis -4", [&](auto& ec) { watcher.watchLight(Input::S3, 40, -4, ec); }},
      {"stall time 0", [&](auto& ec) { watcher.setStallTime(0ms, ec); }},
      {"stall time 2 h", [&](auto& ec) { watcher.setStallTime(2h, ec); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::error_code ec;
    row.call(ec);
    EXPECT_EQ(ec, Errc::bad_value);
  }
  EXPECT_THROW(watcher.watchDistance(Input::S4, 0), brick::Error);
  EXPECT_EQ(wire(), Strings{});
  EXPECT_EQ(watcher.stallTime(), 300ms);
  // Nothing watched: a poll sends nothing and finds nothing.
  watcher.poll();
  EXPECT_FALSE(watcher.next());
  EXPECT_EQ(wire(), Strings{});
}

// Each move reads where the wheels stand, then starts both in one burst (the first
// SETOUTPUTSTATE wants no reply); stop() brakes both the same way. 10 cm is 204.6 degrees a
// wheel, a quarter turn 192.9 degrees each way.
TEST(ApiPilotWire, AMoveStartsBothWheelsInOneBurst) {
  const struct {
    const char* what;
    std::function<void(brick::Pilot&)> move;
    Strings wheels;
  } rows[] = {
      {"travel 10",
       [](auto& p) { p.travel(10, Wait::no); },
       {"80 04 01 32 07 01 00 20 CD 00 00 00", "00 04 02 32 07 01 00 20 CD 00 00 00"}},
      {"travel -10",
       [](auto& p) { p.travel(-10, Wait::no); },
       {"80 04 01 CE 07 01 00 20 CD 00 00 00", "00 04 02 CE 07 01 00 20 CD 00 00 00"}},
      {"rotate 90",
       [](auto& p) { p.rotate(90, Wait::no); },
       {"80 04 01 CE 07 01 00 20 C1 00 00 00", "00 04 02 32 07 01 00 20 C1 00 00 00"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig rig(kFloor);
    brick::Pilot pilot(*rig.nxt, stepped());
    row.move(pilot);
    EXPECT_TRUE(pilot.moving());
    pilot.stop();
    EXPECT_FALSE(pilot.moving());
    Strings expected = {"00 06 01", "00 06 02"};  // the counts to start from
    expected.insert(expected.end(), row.wheels.begin(), row.wheels.end());
    expected.insert(expected.end(),
                    {"80 04 01 00 07 01 00 20 00 00 00 00", "00 04 02 00 07 01 00 20 00 00 00 00"});
    Strings wire = rig.wire();
    ASSERT_GE(wire.size(), expected.size());
    wire.resize(expected.size());  // then the counts where the wheels stopped
    EXPECT_EQ(wire, expected);
  }
}

// The square of the pilot's own tests, through this API: back within 3 cm and 5 degrees of the
// start, the pose reckoned within 2 cm and 2 degrees of the truth.
TEST(ApiPilotWire, ASquareOfFiftyCentimetresEndsWhereItBegan) {
  for (auto kind : {Sim::LinkModel::Kind::Usb, Sim::LinkModel::Kind::Bluetooth}) {
    const char* link = kind == Sim::LinkModel::Kind::Usb ? "usb" : "bluetooth";
    Rig rig(kFloor, kind);
    brick::Pilot pilot(*rig.nxt, stepped());
    Sim::Robot::Pose start = rig.truth();
    for (int side = 0; side < 4; ++side) {
      pilot.travel(50);
      pilot.rotate(90);
    }
    Sim::Robot::Pose end = rig.truth();
    double off = std::hypot(end.x - start.x, end.y - start.y);
    EXPECT_LT(off, 3.0) << link;
    EXPECT_LT(headingError(end.heading, start.heading), 5.0) << link;
    brick::Pose estimate = pilot.pose();
    double wrong = std::hypot(estimate.x - (end.x - start.x), estimate.y - (end.y - start.y));
    EXPECT_LT(wrong, 2.0) << link;
    EXPECT_LT(headingError(estimate.heading, end.heading - start.heading), 2.0) << link;
    std::printf(
        "[ figures  ] brick::Pilot square over %s: true end %.2f cm from the start; "
        "estimate %.2f cm from the truth\n",
        link, off, wrong);
  }
}

// Non-blocking: a wait that runs out leaves the move running; the next one sees it through.
// setPose() moves the frame goTo() uses.
TEST(ApiPilotWire, WaitAndSetPose) {
  Rig rig(kFloor);
  brick::Pilot pilot(*rig.nxt, stepped());
  pilot.travel(30, Wait::no);
  EXPECT_FALSE(pilot.wait(0ms));
  EXPECT_TRUE(pilot.moving());
  EXPECT_TRUE(pilot.wait(60s));
  EXPECT_FALSE(pilot.moving());
  EXPECT_NEAR(pilot.pose().x, 30, 1.0);
  EXPECT_NEAR(rig.truth().x - 150, 30, 1.0);
  // Say the robot stands at (0, 0) facing +y: going to (0, 20) is 20 cm on, straight ahead.
  Sim::Robot::Pose there = rig.truth();
  pilot.setPose(brick::Pose{0, 0, 90});
  pilot.goTo(0, 20);
  EXPECT_NEAR(pilot.pose().x, 0, 1.0);
  EXPECT_NEAR(pilot.pose().y, 20, 1.0);
  Sim::Robot::Pose end = rig.truth();
  EXPECT_NEAR(std::hypot(end.x - there.x, end.y - there.y), 20, 1.0);
  EXPECT_LT(headingError(end.heading, there.heading), 2.0);
}

// A wheel jammed under power (world "hold B ..."): one motor_stalled naming Port::B, and none
// for the free wheel. The stall clock is the program's own: the loop waits in real time.
TEST(ApiEventWatcher, AJammedWheelStallsOnce) {
  Rig rig(std::string(kFloor) + "hold B 0.1 10000\n");
  brick::EventWatcher watcher(*rig.nxt);
  watcher.setStallTime(100ms);
  watcher.watchMotor(Port::B);
  watcher.watchMotor(Port::C);
  rig.nxt->motor(Port::B).run(30);
  rig.nxt->motor(Port::C).run(30);
  std::vector<brick::Event> seen;
  auto until = std::chrono::steady_clock::now() + 20s;
  auto settled = until;  // a while after the first event, to see no other comes
  while (std::chrono::steady_clock::now() < std::min(until, settled)) {
    watcher.poll();
    while (std::optional<brick::Event> e = watcher.next()) {
      seen.push_back(*e);
      settled = std::chrono::steady_clock::now() + 500ms;
    }
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, Kind::motor_stalled);
  EXPECT_EQ(seen[0].port, Port::B);
  EXPECT_FALSE(seen[0].input);
}

// Five presses of 0.2 s, one every 0.5 s: each gives one pressed and one released event on
// input 1, in order, to next() and to the callback alike; then the brick goes away, said once.
TEST(ApiEventWatcher, BumperPressesThenTheBrickLost) {
  std::string world = kFloor;
  for (int i = 0; i < 5; ++i) {
    world += "press " + std::to_string(1.0 + 0.5 * i) + " 0.2\n";
  }
  Rig rig(world);
  brick::EventWatcher watcher(*rig.nxt);
  std::vector<Kind> called;
  watcher.onEvent([&called](const brick::Event& e) { called.push_back(e.kind); });
  watcher.watchTouch(Input::S1);
  std::vector<brick::Event> seen;
  for (int i = 0; i < 2000 && seen.size() < 10; ++i) {
    watcher.poll();
    while (std::optional<brick::Event> e = watcher.next()) {
      seen.push_back(*e);
    }
  }
  ASSERT_EQ(seen.size(), 10u);
  std::vector<Kind> kinds;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    const brick::Event& e = seen[i];
    kinds.push_back(e.kind);
    EXPECT_EQ(e.kind, i % 2 == 0 ? Kind::pressed : Kind::released) << i;
    EXPECT_EQ(e.input, Input::S1) << i;
    EXPECT_FALSE(e.port) << i;
    EXPECT_EQ(e.value, i % 2 == 0 ? 1 : 0) << i;
    EXPECT_FALSE(e.error) << i;
    EXPECT_GE(e.time, i == 0 ? 0us : seen[i - 1].time) << i;
  }
  EXPECT_EQ(called, kinds);
  EXPECT_EQ(watcher.pending(), 0u);
  EXPECT_FALSE(watcher.lost());

  rig.server.stop();
  std::error_code ec;
  watcher.poll(ec);
  EXPECT_TRUE(ec);
  EXPECT_TRUE(watcher.lost());
  std::optional<brick::Event> lost = watcher.next();
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->kind, Kind::brick_lost);
  EXPECT_EQ(lost->error, ec);
  EXPECT_FALSE(lost->input);
  EXPECT_FALSE(lost->port);
  EXPECT_NO_THROW(watcher.poll());  // said once
  EXPECT_FALSE(watcher.next());
}

// The two in one loop, as the tutorial's follow.cpp has them: ahead until the wall, 100 cm
// ahead of the robot's centre, comes within 30 cm of the sensor; the pilot stops there, and the
// wheel's move ending is the motor's event on output B.
TEST(ApiEventWatcher, ThePilotStopsWhereTheWallComesNear) {
  Rig rig(test::kRoom);
  brick::Pilot pilot(*rig.nxt, stepped());
  brick::EventWatcher watcher(*rig.nxt);
  watcher.watchDistance(Input::S4, 30);
  watcher.watchMotor(Port::B);
  pilot.travel(500, Wait::no);
  std::optional<brick::Event> near;
  for (int i = 0; i < 2000 && !near; ++i) {
    watcher.poll();
    pilot.update();
    while (std::optional<brick::Event> e = watcher.next()) {
      if (e->kind == Kind::near) {
        near = e;
      }
    }
  }
  ASSERT_TRUE(near);
  EXPECT_EQ(near->input, Input::S4);
  EXPECT_LT(near->value, 30);
  pilot.stop();
  std::optional<brick::Event> done;
  for (int i = 0; i < 50 && !done; ++i) {
    watcher.poll();
    done = watcher.next();
  }
  ASSERT_TRUE(done);
  EXPECT_EQ(done->kind, Kind::motor_done);
  EXPECT_EQ(done->port, Port::B);
  EXPECT_FALSE(done->input);
  // The sensor sits 7 cm ahead of the centre: the robot stopped some 63 to 75 cm on.
  double went = rig.truth().x - 50;
  EXPECT_GT(went, 60);
  EXPECT_LT(went, 75);
  EXPECT_NEAR(pilot.pose().x, went, 1.0);
}
