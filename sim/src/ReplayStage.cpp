#include "sim/ReplayStage.h"

#include <algorithm>

namespace Sim {

double ReplayStage::time() {
  std::lock_guard<std::mutex> guard(mutex);
  return std::min(clock.now(), run.endTime());
}

std::string ReplayStage::picture(const Scene::Options& options) {
  double t = time();
  auto path = run.pathUntil(t);
  auto events = run.eventsUntil(t);
  Scene scene(run.world, path, events, run.frameAt(t));
  return scene.document(options);
}

nlohmann::json ReplayStage::update(std::uint64_t& traceSeen, bool withRun,
                                   const Scene::Options& options) {
  double t = time();
  auto path = run.pathUntil(t);
  auto events = run.eventsUntil(t);
  Frame frame = run.frameAt(t);
  Scene scene(run.world, path, events, frame);
  nlohmann::json out;
  out["frame"] = frame.json();
  out["robot"] = scene.robotLayer();
  out["box"] = scene.viewBox();
  out["events"] = events.size();
  {
    std::lock_guard<std::mutex> guard(mutex);
    out["paused"] = clock.paused();
    out["speed"] = clock.speed();
  }
  if (withRun) {
    out["run"] = scene.runLayer(options);
  }
  // The trace as far as the replay has got; a page that was shown more (the replay stepped
  // back by a restart) simply sees no new lines.
  nlohmann::json lines = nlohmann::json::array();
  while (traceSeen < run.telegrams.size() && run.telegrams[traceSeen].time <= t &&
         lines.size() < 200) {
    lines.push_back(run.telegrams[traceSeen++].line);
  }
  out["trace"] = lines;
  return out;
}

bool ReplayStage::control(const std::string& action, double value) {
  std::lock_guard<std::mutex> guard(mutex);
  return clock.apply(action, value);
}

}  // namespace Sim
