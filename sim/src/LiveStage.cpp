#include "sim/LiveStage.h"

#include "sim/Frame.h"

namespace Sim {

namespace {

const std::size_t kTracePerUpdate = 200;

}  // namespace

std::string LiveStage::picture(const Scene::Options& options) {
  auto guard = server.lock();
  Scene scene(robot.world(), robot.path(), robot.events(), Frame::of(robot));
  return scene.document(options);
}

nlohmann::json LiveStage::update(std::uint64_t& traceSeen, bool withRun,
                                 const Scene::Options& options) {
  nlohmann::json out;
  {
    // No advance() here: on a stepped clock every reading moves the world, and watching
    // must not. The host's loop and the brick's telegrams move it.
    auto guard = server.lock();
    Frame frame = Frame::of(robot);
    Scene scene(robot.world(), robot.path(), robot.events(), frame);
    out["frame"] = frame.json();
    out["robot"] = scene.robotLayer();
    out["box"] = scene.viewBox();
    out["events"] = robot.events().size();
    out["paused"] = clock.paused();
    out["speed"] = clock.speed();
    if (withRun) {
      out["run"] = scene.runLayer(options);
    }
  }
  out["trace"] = trace.since(traceSeen, kTracePerUpdate);
  return out;
}

bool LiveStage::control(const std::string& action, double value) {
  auto guard = server.lock();
  bool done = clock.apply(action, value);
  if (done && action == "step") {
    // Shown at once, with no telegram to move the world on; the reading adds only the step.
    // Any other control leaves the world alone: on a stepped clock a reading is a step.
    robot.advance();
  }
  return done;
}

}  // namespace Sim
