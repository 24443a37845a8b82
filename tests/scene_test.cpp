// The picture of a run, as the live page and the saved SVG both draw it, on a stepped clock:
// events numbered in order and marked where they happened, the legend naming what is drawn,
// the scale, and a recorded run drawing exactly as the live one did.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>

#include "BrickFixture.h"
#include "sim/Frame.h"
#include "sim/PacedClock.h"
#include "sim/Recorder.h"
#include "sim/Recording.h"
#include "sim/Robot.h"
#include "sim/Scene.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using test::kRoom;

namespace {

class SceneRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(Sim::World::parse(kRoom, world, error)) << error;
    robot.reset(new Sim::Robot(world, clock));
    robot->attach(brick);
    recordPath = ::testing::TempDir() + "scene-" + std::to_string(::getpid()) + ".jsonl";
    ASSERT_TRUE(recorder.open(recordPath, kRoom, error)) << error;
  }
  void TearDown() override { std::remove(recordPath.c_str()); }
  // Sends one telegram, given in hex, as a host would.
  void send(const std::string& telegram) { brick.answer(test::hex(telegram)); }
  void wheels(int left, int right) {
    char t[64];
    std::snprintf(t, sizeof t, "80 04 01 %02X 05 01 00 20 00 00 00 00", left & 0xFF);
    send(t);
    std::snprintf(t, sizeof t, "80 04 02 %02X 05 01 00 20 00 00 00 00", right & 0xFF);
    send(t);
  }
  void run(double seconds) {
    for (double t = 0; t < seconds; t += 0.1) {
      clock.step(0.1);
      robot->advance();
      recorder.catchUp(*robot);
    }
  }
  // Into the wall with a touch sensor on port 1, a tone, a spin on the spot, away again.
  void drive() {
    send("80 05 00 01 20");  // SETINPUTMODE port 0: switch, boolean
    wheels(50, 50);
    run(5);
    send("80 03 B8 01 C8 00");  // PLAYTONE 440 Hz, 200 ms
    wheels(-50, 50);
    run(0.8);
    wheels(50, 50);
    run(1);
    recorder.catchUp(*robot, true);
  }
  Sim::Scene scene() const {
    return Sim::Scene(world, robot->path(), robot->events(), Sim::Frame::of(*robot));
  }

  Sim::World world;
  Sim::SteppedClock clock;
  Sim::VirtualBrick brick;
  std::unique_ptr<Sim::Robot> robot;
  Sim::Recorder recorder;
  std::string recordPath;
};

TEST_F(SceneRun, EventsAreNumberedInOrderAndTheTouchIsMarkedOnTheWall) {
  drive();
  Sim::Scene s = scene();
  std::vector<std::string> kinds;
  double last = -1;
  for (std::size_t i = 0; i < s.marks().size(); ++i) {
    const Sim::Scene::Mark& m = s.marks()[i];
    EXPECT_EQ(m.number, static_cast<int>(i) + 1);
    EXPECT_GE(m.time, last);
    last = m.time;
    if (kinds.empty() || kinds.back() != m.kind) {
      kinds.push_back(m.kind);
    }
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"touch", "bump", "tone", "turn"}));
  // The bumper meets the wall 10 cm ahead of the robot's centre.
  EXPECT_NEAR(s.marks().front().x, 150, 0.5);
  EXPECT_NEAR(s.marks().front().y, 100, 0.5);
  std::string svg = s.document({});
  EXPECT_NE(svg.find("data-number=\"1\" data-kind=\"touch\""), std::string::npos);
  EXPECT_NE(svg.find("data-number=\"4\" data-kind=\"turn\""), std::string::npos);
}

TEST_F(SceneRun, LegendNamesEverythingDrawnInColoursNoMatHas) {
  drive();
  std::set<std::string> kinds;
  for (const Sim::Scene::Entry& e : scene().legend({})) {
    kinds.insert(e.kind);
  }
  for (const char* k : {"start", "path", "direction", "robot", "wheels", "spot", "touch", "bump",
                        "tone", "turn", "red mat", "line", "wall"}) {
    EXPECT_EQ(kinds.count(k), 1u) << k;
  }
  EXPECT_EQ(kinds.count("lost"), 0u);   // nothing shown that did not happen
  EXPECT_EQ(kinds.count("sonar"), 0u);  // no ultrasonic sensor fitted
  for (int c = 1; c <= 6; ++c) {
    int r, g, b;
    Sim::World::rgb(static_cast<Sim::World::Colour>(c), r, g, b);
    char mat[16];
    std::snprintf(mat, sizeof mat, "#%02x%02x%02x", r, g, b);
    for (const char* k : {"touch", "bump", "tone", "turn", "lost"}) {
      EXPECT_NE(std::string(Sim::Scene::eventColour(k)), mat) << k;
    }
  }
  std::string svg = scene().document({});
  EXPECT_NE(svg.find("data-kind=\"start\""), std::string::npos);
  EXPECT_NE(svg.find("robot now, pointer: heading"), std::string::npos);
}

TEST_F(SceneRun, ScaleBarIsARoundFifthOfTheWidth) {
  Sim::Scene s = scene();
  EXPECT_EQ(s.scaleBar(), 50);  // 300 cm wide
  EXPECT_NE(s.document({}).find(">50.0 cm</text>"), std::string::npos);
  Sim::World small;
  std::string error;
  ASSERT_TRUE(Sim::World::parse("arena 40 30\nrobot 20 15 0\n", small, error)) << error;
  std::vector<Sim::Robot::PathPoint> path{{0, 20, 15}};
  EXPECT_EQ(Sim::Scene(small, path, {}, Sim::Frame{}).scaleBar(), 5);
}

TEST_F(SceneRun, ColouringByTimeShadesThePathFromStartToEnd) {
  drive();
  Sim::Scene::Options byTime;
  byTime.colourByTime = true;
  std::string svg = scene().document(byTime);
  std::set<std::string> strokes;
  for (std::size_t at = svg.find("class=\"path\" fill=\"none\" stroke=\""); at != std::string::npos;
       at = svg.find("class=\"path\" fill=\"none\" stroke=\"", at + 1)) {
    strokes.insert(svg.substr(at + 33, 7));
  }
  EXPECT_GT(strokes.size(), 5u);
  EXPECT_NE(svg.find("blue at 0 s to red at"), std::string::npos);
}

TEST_F(SceneRun, ARecordedRunDrawsExactlyAsTheLiveOne) {
  drive();
  ASSERT_TRUE(recorder.close());
  Sim::Recording recording;
  std::string error;
  ASSERT_TRUE(Sim::Recording::load(recordPath, recording, error)) << error;
  double end = recording.endTime();
  auto path = recording.pathUntil(end);
  auto events = recording.eventsUntil(end);
  Sim::Scene replayed(recording.world, path, events, recording.frameAt(end));
  EXPECT_EQ(replayed.document({}), scene().document({}));
  // Half way, the replay shows the run as it was then.
  Sim::Frame half = recording.frameAt(end / 2);
  EXPECT_NEAR(half.time, end / 2, Sim::Recorder::kFrameEvery + 0.1);
  EXPECT_LT(recording.eventsUntil(half.time).size(), events.size());
}

TEST(SceneRecording, FilesThatAreNoRecordingAreRefusedWithTheirLine) {
  const std::pair<const char*, const char*> rows[] = {
      {"", "empty"},
      {"{\"type\":\"frame\",\"t\":1}\n", ":1: a recording starts with its world"},
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n{nope\n",
       ":2: not a JSON"},
      {"{\"type\":\"world\",\"text\":\"arena -1 10\\n\"}\n", ":1: the world"},
      {"[1,2]\n", ":1: not a JSON object"},
      // Held to the world file's limits: sizes from 1e308 overflow the picture, and a power
      // of 1e308 does not fit the int it is kept in.
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n"
       "{\"type\":\"frame\",\"t\":1,\"x\":1e308}\n",
       ":2: \"x\" runs from -100000 to 100000"},
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n"
       "{\"type\":\"path\",\"t\":1,\"x\":5,\"y\":5}\n{\"type\":\"path\",\"t\":2,\"x\":5,\"y\":-"
       "1e308}\n",
       ":3: \"y\" runs from"},
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n"
       "{\"type\":\"frame\",\"t\":1,\"power\":[0,1e308,0]}\n",
       ":2: \"power\" runs from -100 to 100"},
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n"
       "{\"type\":\"event\",\"t\":-1,\"x\":5,\"y\":5,\"kind\":\"touch\"}\n",
       ":2: \"t\" runs from 0"},
      {"{\"type\":\"world\",\"text\":\"arena 100 100\\nrobot 50 50 0\\n\"}\n"
       "{\"type\":\"frame\",\"t\":1,\"sonar\":256}\n",
       ":2: \"sonar\" runs from -1 to 255"},
      {"{\"type\":\"world\",\"text\":\"build 5.6 1e-307 9\\nrobot 50 50 0\\n\"}\n",
       ":1: the world: line 1: build"},
  };
  std::string path = ::testing::TempDir() + "bad-" + std::to_string(::getpid()) + ".jsonl";
  for (const auto& row : rows) {
    std::ofstream(path) << row.first;
    Sim::Recording recording;
    std::string error;
    EXPECT_FALSE(Sim::Recording::load(path, recording, error)) << row.first;
    EXPECT_NE(error.find(row.second), std::string::npos) << error;
  }
  std::remove(path.c_str());
}

TEST(ScenePacedClock, PauseStepAndSpeedOnTheSteppedClock) {
  Sim::PacedClock clock(0.01);
  EXPECT_DOUBLE_EQ(clock.now(), 0.01);
  ASSERT_TRUE(clock.apply("pause", 0));
  EXPECT_DOUBLE_EQ(clock.now(), 0.01);  // readings while paused move nothing
  ASSERT_TRUE(clock.apply("step", 0.5));
  EXPECT_DOUBLE_EQ(clock.now(), 0.51);  // the step, and nothing for the reading that took it
  ASSERT_TRUE(clock.apply("resume", 0));
  ASSERT_TRUE(clock.apply("speed", 2));
  EXPECT_DOUBLE_EQ(clock.now(), 0.53);
  EXPECT_TRUE(clock.apply("speed", 1000));
  EXPECT_EQ(clock.speed(), Sim::PacedClock::kFastest);
  for (auto bad : {std::make_pair("jump", 1.0), {"step", 0.0}, {"step", 11.0}, {"speed", -1.0}}) {
    EXPECT_FALSE(clock.apply(bad.first, bad.second)) << bad.first;
  }
}

}  // namespace
