// The event watcher against the virtual robot: scripted bumper presses (world "press" lines),
// a wall coming near, a motor's move ending, the brick going away. Stepped clock, over the
// pseudo-terminal under the USB and the Bluetooth link models.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "BrickFixture.h"
#include "SimRig.h"
#include "brick/Block.h"
#include "brick/EventWatcher.h"
#include "brick/Output.h"
#include "sim/LinkModel.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using Brick::Lib::EventWatcher;
using Kind = Brick::Lib::EventWatcher::Kind;

namespace {

// The seed's Block on the rig's line: the watcher underneath the modern API's.
struct Rig : test::SimRig {
  Rig(const std::string& text, Sim::LinkModel::Kind kind) : SimRig(text, kind) {
    EXPECT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  }
  ~Rig() { block.disconnect(); }

  Brick::Lib::Block block;
};

}  // namespace

// 100 presses of 0.2 s, one every 0.5 s: each gives one Pressed and one Released, seen by the
// first poll after it began.
TEST(EventWatcher, NoBumperPressIsLost) {
  std::string world = "name presses\narena 300 300\nrobot 150 150 0\n";
  std::vector<double> starts;
  for (int i = 0; i < 100; ++i) {
    starts.push_back(1.0 + 0.5 * i);
    world += "press " + std::to_string(starts.back()) + " 0.2\n";
  }
  for (auto kind : {Sim::LinkModel::Kind::Usb, Sim::LinkModel::Kind::Bluetooth}) {
    Rig rig(world, kind);
    EventWatcher watcher(rig.block);
    ASSERT_EQ(watcher.watchTouch(0), 0);
    std::vector<double> pressed;
    int released = 0;
    double previous = rig.now();
    double longest = 0;  // the longest poll period seen
    double latest = 0;   // the longest wait from a press to its event, in poll periods
    while (rig.now() < starts.back() + 1) {
      ASSERT_EQ(watcher.poll(), 0);
      double at = rig.now();
      longest = std::max(longest, at - previous);
      EventWatcher::Event e;
      while (watcher.next(e)) {
        if (e.kind == Kind::Pressed) {
          std::size_t n = pressed.size();
          ASSERT_LT(n, starts.size());
          // Seen by the first poll after the press began: the one before came earlier.
          EXPECT_GE(at, starts[n]);
          EXPECT_LE(at - starts[n], at - previous) << "press " << n;
          latest = std::max(latest, (at - starts[n]) / (at - previous));
          pressed.push_back(at);
        } else if (e.kind == Kind::Released) {
          ++released;
        }
      }
      previous = at;
    }
    EXPECT_EQ(pressed.size(), 100u);
    EXPECT_EQ(released, 100);
    std::printf("[ figures  ] 100 presses: %zu events, longest poll period %.3f s\n",
                pressed.size(), longest);
  }
}

// A wall comes within 30 cm as the robot drives at it; the wheels' moves end; then the brick
// goes away, which is said once.
TEST(EventWatcher, NearMotorDoneAndBrickLost) {
  Rig rig(test::kRoom, Sim::LinkModel::Kind::Usb);
  EventWatcher watcher(rig.block);
  std::vector<std::string> seen;
  watcher.onEvent = [&seen](const EventWatcher::Event& e) {
    const char* names[] = {"pressed", "released", "near",    "far", "dark",
                           "bright",  "done",     "stalled", "lost"};
    seen.push_back(std::string(names[static_cast<int>(e.kind)]) + " " + std::to_string(e.port));
  };
  ASSERT_EQ(watcher.watchDistance(3, 30), 0);
  watcher.watchMotor(1);
  ASSERT_EQ(watcher.poll(), 0);  // where things stand: no event
  EXPECT_TRUE(seen.empty());
  // The wall is 100 cm ahead of the centre, 93 of the sensor: 1500 degrees is 73 cm.
  Brick::Lib::Output left(rig.block, 1);
  Brick::Lib::Output right(rig.block, 2);
  ASSERT_EQ(left.runRegulated(40, 1500), 0);
  ASSERT_EQ(right.runRegulated(40, 1500), 0);
  for (int i = 0; i < 400 && seen.size() < 2; ++i) {
    ASSERT_EQ(watcher.poll(), 0);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"near 3", "done 1"}));
  rig.server.stop();
  EXPECT_NE(watcher.poll(), 0);
  EXPECT_EQ(watcher.poll(), 0);  // said once
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2], "lost -1");
}

// The light spot crosses the dark line at x = 100: dark, then bright again past it.
TEST(EventWatcher, LightCrossesTheLine) {
  Rig rig(test::kRoom, Sim::LinkModel::Kind::Usb);
  EventWatcher watcher(rig.block);
  ASSERT_EQ(watcher.watchLight(1, 40), 0);
  watcher.watchMotor(2);
  ASSERT_EQ(watcher.poll(), 0);
  // The spot starts at x = 57; 1000 degrees (48.8 cm) take it to 106.
  Brick::Lib::Output left(rig.block, 1);
  Brick::Lib::Output right(rig.block, 2);
  ASSERT_EQ(left.runRegulated(40, 1000), 0);
  ASSERT_EQ(right.runRegulated(40, 1000), 0);
  std::vector<Kind> kinds;
  for (int i = 0; i < 1000 && (kinds.empty() || kinds.back() != Kind::MotorDone); ++i) {
    ASSERT_EQ(watcher.poll(), 0);
    EventWatcher::Event e;
    while (watcher.next(e)) {
      kinds.push_back(e.kind);
    }
  }
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Dark, Kind::Bright, Kind::MotorDone}));
}

// A wheel jammed while its motor is powered (world "hold B ..."): the watcher says it stalled,
// once, and says nothing of the free wheel beside it. The stall clock is the program's own, so
// the loop waits in real time between polls; how many polls that takes does not matter.
TEST(EventWatcher, AJammedWheelIsSaidToStallOnce) {
  for (auto kind : {Sim::LinkModel::Kind::Usb, Sim::LinkModel::Kind::Bluetooth}) {
    Rig rig("name jam\narena 300 300\nrobot 150 150 0\nhold B 0.1 10000\n", kind);
    EventWatcher watcher(rig.block);
    watcher.stallMs = 100;
    watcher.watchMotor(1);
    watcher.watchMotor(2);
    Brick::Lib::Output left(rig.block, 1);
    Brick::Lib::Output right(rig.block, 2);
    ASSERT_EQ(left.runRegulated(30, 0), 0);
    ASSERT_EQ(right.runRegulated(30, 0), 0);
    std::vector<std::pair<Kind, int>> seen;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto settled = until;  // a while after the stall, to see it is not said again
    while (std::chrono::steady_clock::now() < std::min(until, settled)) {
      ASSERT_EQ(watcher.poll(), 0);
      EventWatcher::Event e;
      while (watcher.next(e)) {
        seen.emplace_back(e.kind, e.port);
        settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(seen, (std::vector<std::pair<Kind, int>>{{Kind::MotorStalled, 1}}));
    Brick::Lib::Output::State b;
    Brick::Lib::Output::State c;
    ASSERT_EQ(left.getState(b), 0);
    ASSERT_EQ(right.getState(c), 0);
    EXPECT_LT(std::abs(b.rotationCount), 60) << "B turned while held";
    EXPECT_GT(c.rotationCount, 60) << "C ran free";
  }
}
