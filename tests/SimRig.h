// A virtual robot whose brick is served on a pseudo-terminal under a link model, on a stepped
// clock (each telegram 10 ms of world time plus the link's): what a test of a program's driving
// or reacting opens, as a program opens a brick, by server.devicePath().
#ifndef TESTS_SIMRIG_H
#define TESTS_SIMRIG_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "sim/LinkModel.h"
#include "sim/PtyServer.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace test {

struct SimRig {
  explicit SimRig(const std::string& text, Sim::LinkModel::Kind kind = Sim::LinkModel::Kind::Usb) {
    std::string error;
    EXPECT_TRUE(Sim::World::parse(text, world, error)) << error;
    robot = std::make_unique<Sim::Robot>(world, clock);
    robot->attach(sim);
    server.setLinkModel(Sim::LinkModel(kind), [this](double s) {
      auto guard = server.lock();
      clock.step(s);
    });
    EXPECT_TRUE(server.start());
  }
  ~SimRig() { server.stop(); }
  SimRig(const SimRig&) = delete;
  SimRig& operator=(const SimRig&) = delete;

  // Where the robot truly is, and the world's time.
  Sim::Robot::Pose truth() {
    auto guard = server.lock();
    return robot->pose();
  }
  double now() {
    auto guard = server.lock();
    return robot->worldSeconds();
  }
  // The telegrams the brick has seen since clearWire(), as tests/BrickFixture.h writes them.
  std::vector<std::string> wire() {
    auto guard = server.lock();
    return wireOf(sim);
  }
  void clearWire() {
    auto guard = server.lock();
    sim.clearRecord();
  }

  Sim::World world;
  Sim::SteppedClock clock{0.01};
  Sim::VirtualBrick sim;
  std::unique_ptr<Sim::Robot> robot;
  Sim::PtyServer server{sim};
};

}  // namespace test

#endif
