// The pilot and its odometry against the virtual robot: the true pose comes from the
// simulation, the estimate from the pilot. Moves run over the pseudo-terminal under the USB
// and the Bluetooth link models, on the stepped clock, and travel also in real time.
#include <cmath>
#include <memory>
#include <string>

#include "BrickFixture.h"
#include "brick/Block.h"
#include "brick/Odometry.h"
#include "brick/Pilot.h"
#include "sim/LinkModel.h"
#include "sim/RealClock.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using Brick::Lib::Pilot;
using Brick::Lib::Pose;

namespace {

// Room enough for a 50 cm square either way; nothing to sense.
const char kFloor[] = "name floor\narena 300 300\nrobot 150 150 0\n";

Sim::World floorWorld(const std::string& text = kFloor) {
  Sim::World world;
  std::string error;
  EXPECT_TRUE(Sim::World::parse(text, world, error)) << error;
  return world;
}

// A robot on the floor, its brick served on a pseudo-terminal under a link model: stepped (each
// telegram 10 ms of world time plus the link's) or in real time.
struct Rig {
  Rig(Sim::LinkModel::Kind kind, bool stepped, const std::string& world = kFloor) {
    if (stepped) {
      clock.reset(new Sim::SteppedClock(0.01));
    } else {
      clock.reset(new Sim::RealClock());
    }
    robot.reset(new Sim::Robot(floorWorld(world), *clock));
    robot->attach(sim);
    if (stepped) {
      auto* steps = static_cast<Sim::SteppedClock*>(clock.get());
      server.setLinkModel(Sim::LinkModel(kind), [this, steps](double s) {
        auto guard = server.lock();
        steps->step(s);
      });
    } else {
      server.setLinkModel(Sim::LinkModel(kind));
    }
  }
  bool connect() {
    return server.start() && block.connectBluetooth(const_cast<char*>(server.devicePath().c_str()));
  }
  Sim::Robot::Pose truth() {
    auto guard = server.lock();
    return robot->pose();
  }
  ~Rig() {
    block.disconnect();
    server.stop();
  }

  std::unique_ptr<Sim::Clock> clock;
  Sim::VirtualBrick sim;
  std::unique_ptr<Sim::Robot> robot;
  Sim::PtyServer server{sim};
  Brick::Lib::Block block;
};

double headingError(double a, double b) {
  return std::fabs(std::remainder(a - b, 360.0));
}

const struct {
  const char* name;
  Sim::LinkModel::Kind kind;
} kLinks[] = {
    {"usb", Sim::LinkModel::Kind::Usb},
    {"bluetooth", Sim::LinkModel::Kind::Bluetooth},
};

}  // namespace

TEST(Odometry, ReckonsStraightRunsSpinsAndArcs) {
  const double kPi = 3.14159265358979323846;
  const struct {
    const char* what;
    double left, right;  // wheel degrees
    Pose expected;
  } rows[] = {
      // 5.6 cm wheels: 360 degrees roll 17.59 cm
      {"straight", 360, 360, {5.6 * kPi, 0, 0}},
      {"backwards", -360, -360, {-5.6 * kPi, 0, 0}},
      // 12 cm track: a quarter turn is 90 * 12 / 5.6 degrees a wheel, opposite ways
      {"spin left", -90 * 12 / 5.6, 90 * 12 / 5.6, {0, 0, 90}},
      {"spin right", 90 * 12 / 5.6, -90 * 12 / 5.6, {0, 0, -90}},
  };
  for (const auto& row : rows) {
    Brick::Lib::Odometry odometry(5.6, 12);
    odometry.reset(1000, -50);
    for (int i = 1; i <= 10; ++i) {
      odometry.update(1000 + row.left * i / 10, -50 + row.right * i / 10);
    }
    EXPECT_NEAR(odometry.pose().x, row.expected.x, 1e-6) << row.what;
    EXPECT_NEAR(odometry.pose().y, row.expected.y, 1e-6) << row.what;
    EXPECT_NEAR(odometry.pose().heading, row.expected.heading, 1e-6) << row.what;
  }
  // A quarter circle of radius 20 to the left ends at (20, 20) facing +y.
  Brick::Lib::Odometry arc(5.6, 12);
  arc.reset(0, 0);
  double inner = arc.wheelDegrees(14 * kPi / 2);
  double outer = arc.wheelDegrees(26 * kPi / 2);
  for (int i = 1; i <= 1000; ++i) {
    arc.update(inner * i / 1000, outer * i / 1000);
  }
  EXPECT_NEAR(arc.pose().x, 20, 0.01);
  EXPECT_NEAR(arc.pose().y, 20, 0.01);
  EXPECT_NEAR(arc.pose().heading, 90, 0.01);
}

// Both wheels start in one burst: the first SETOUTPUTSTATE wants no reply (0x80), the second
// follows it at once.
TEST(Pilot, StartsBothWheelsInOneBurstAndBrakesThemTogether) {
  Rig rig(Sim::LinkModel::Kind::Usb, true);
  ASSERT_TRUE(rig.connect());
  Pilot::Config config;
  config.pollMs = 0;
  Pilot pilot(rig.block, config);
  // 10 cm: 204.6 degrees a wheel, 205 (0xCD) at power 50 (0x32)
  ASSERT_EQ(pilot.travel(10, false), 0);
  ASSERT_EQ(pilot.stop(), 0);
  auto guard = rig.server.lock();
  std::vector<std::string> wire = test::wireOf(rig.sim);
  ASSERT_GE(wire.size(), 6u);
  EXPECT_EQ(wire[0], "00 06 01");  // the counts to start from
  EXPECT_EQ(wire[1], "00 06 02");
  EXPECT_EQ(wire[2], "80 04 01 32 07 01 00 20 CD 00 00 00");
  EXPECT_EQ(wire[3], "00 04 02 32 07 01 00 20 CD 00 00 00");
  EXPECT_EQ(wire[4], "80 04 01 00 07 01 00 20 00 00 00 00");
  EXPECT_EQ(wire[5], "00 04 02 00 07 01 00 20 00 00 00 00");
}

TEST(Pilot, ASquareOfFiftyCentimetresEndsWhereItBegan) {
  for (const auto& link : kLinks) {
    Rig rig(link.kind, true);
    ASSERT_TRUE(rig.connect()) << link.name;
    Pilot::Config config;
    config.pollMs = 0;  // the stepped clock moves with telegrams, not with the host's pauses
    Pilot pilot(rig.block, config);
    Sim::Robot::Pose start = rig.truth();
    for (int side = 0; side < 4; ++side) {
      ASSERT_EQ(pilot.travel(50), 0) << link.name;
      ASSERT_EQ(pilot.rotate(90), 0) << link.name;
    }
    Sim::Robot::Pose end = rig.truth();
    double off = std::hypot(end.x - start.x, end.y - start.y);
    EXPECT_LT(off, 3.0) << link.name;
    EXPECT_LT(headingError(end.heading, start.heading), 5.0) << link.name;
    const Pose& estimate = pilot.pose();
    double wrong = std::hypot(estimate.x - (end.x - start.x), estimate.y - (end.y - start.y));
    EXPECT_LT(wrong, 2.0) << link.name;
    EXPECT_LT(headingError(estimate.heading, end.heading - start.heading), 2.0) << link.name;
    std::printf(
        "[ figures  ] square over %s: true end %.2f cm, %.2f degrees from the start; "
        "estimate %.2f cm from the truth\n",
        link.name, off, headingError(end.heading, start.heading), wrong);
  }
}

// What odometry cannot know: on a floor where the wheels slip (8 % of their travel lost, a
// random error of 3 %, seeded), the pilot's estimate and the robot's true pose part, and the
// test says by how much instead of holding the pilot to figures slip makes impossible.
TEST(Pilot, WithSlipTheEstimatesErrorShows) {
  Rig rig(Sim::LinkModel::Kind::Usb, true, std::string(kFloor) + "slip 8 3 7\n");
  ASSERT_TRUE(rig.connect());
  Pilot::Config config;
  config.pollMs = 0;
  Pilot pilot(rig.block, config);
  Sim::Robot::Pose start = rig.truth();
  for (int side = 0; side < 4; ++side) {
    ASSERT_EQ(pilot.travel(50), 0);
    ASSERT_EQ(pilot.rotate(90), 0);
  }
  Sim::Robot::Pose end = rig.truth();
  const Pose& estimate = pilot.pose();
  double wrong = std::hypot(estimate.x - (end.x - start.x), estimate.y - (end.y - start.y));
  double turned = headingError(estimate.heading, end.heading - start.heading);
  std::printf("[ figures  ] square with slip: estimate %.2f cm and %.2f degrees from the truth\n",
              wrong, turned);
  // The estimate still says "back at the start"; the robot is not there.
  EXPECT_LT(std::hypot(estimate.x, estimate.y), 2.0);
  EXPECT_GT(wrong + turned, 1.0);
}

TEST(Pilot, ArcAndGoToReachTheirPoints) {
  Rig rig(Sim::LinkModel::Kind::Usb, true);
  ASSERT_TRUE(rig.connect());
  Pilot::Config config;
  config.pollMs = 0;
  Pilot pilot(rig.block, config);
  Sim::Robot::Pose start = rig.truth();
  // A quarter circle of 30 cm to the left: (30, 30), facing +y.
  ASSERT_EQ(pilot.arc(30, 90), 0);
  Sim::Robot::Pose end = rig.truth();
  EXPECT_NEAR(end.x - start.x, 30, 1.0);
  EXPECT_NEAR(end.y - start.y, 30, 1.0);
  EXPECT_LT(headingError(end.heading, 90), 3.0);
  ASSERT_EQ(pilot.goTo(-20, 10), 0);
  end = rig.truth();
  EXPECT_NEAR(end.x - start.x, -20, 1.0);
  EXPECT_NEAR(end.y - start.y, 10, 1.0);
  EXPECT_NEAR(pilot.pose().x, -20, 1.0);
  EXPECT_NEAR(pilot.pose().y, 10, 1.0);
}

// Non-blocking: the move runs while the program polls, and stop() ends it where it is.
TEST(Pilot, ANonBlockingMoveRunsUntilStopped) {
  Rig rig(Sim::LinkModel::Kind::Usb, true);
  ASSERT_TRUE(rig.connect());
  Pilot::Config config;
  config.pollMs = 0;
  Pilot pilot(rig.block, config);
  ASSERT_EQ(pilot.travel(100, false), 0);
  while (pilot.moving() && pilot.pose().x < 20) {
    ASSERT_EQ(pilot.update(), 0);
  }
  ASSERT_TRUE(pilot.moving());
  ASSERT_EQ(pilot.stop(), 0);
  EXPECT_FALSE(pilot.moving());
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(pilot.update(), 0);  // the wheels stand still, the pose settles
  }
  Sim::Robot::Pose end = rig.truth();
  EXPECT_GT(end.x - 150, 20);
  EXPECT_LT(end.x - 150, 40);
  EXPECT_NEAR(pilot.pose().x, end.x - 150, 1.0);
}

// travel(30) ends within 1 cm of 30 cm over either link, stepped and in real time.
TEST(Pilot, TravelsThirtyCentimetresWithinOne) {
  for (bool stepped : {true, false}) {
    for (const auto& link : kLinks) {
      Rig rig(link.kind, stepped);
      ASSERT_TRUE(rig.connect());
      Pilot::Config config;
      config.pollMs = stepped ? 0 : 20;
      Pilot pilot(rig.block, config);
      Sim::Robot::Pose start = rig.truth();
      ASSERT_EQ(pilot.travel(30), 0) << link.name;
      Sim::Robot::Pose end = rig.truth();
      double went = std::hypot(end.x - start.x, end.y - start.y);
      EXPECT_NEAR(went, 30.0, 1.0) << link.name << (stepped ? " stepped" : " real time");
      std::printf("[ figures  ] travel(30) over %s, %s: %.2f cm, %d trims\n", link.name,
                  stepped ? "stepped" : "real time", went, pilot.trims());
    }
  }
}
