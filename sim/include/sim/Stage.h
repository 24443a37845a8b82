// What the live page shows, from a running robot or a recording: the whole picture, the
// updates that move it on, and the controls of its clock. Called from the web server's
// threads, so an implementation guards what it reads.
#ifndef SIM_STAGE_H
#define SIM_STAGE_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/Scene.h"

namespace Sim {

class Stage {
 public:
  virtual ~Stage() = default;
  // The whole picture as an SVG document.
  virtual std::string picture(const Scene::Options& options) = 0;
  // One update: {"frame":{...}, "robot":"<svg>", "box":"0 0 W H", "paused":b, "speed":x,
  // "trace":[lines after `traceSeen`], "events":n} and, with `withRun`, "run":"<svg>".
  virtual nlohmann::json update(std::uint64_t& traceSeen, bool withRun,
                                const Scene::Options& options) = 0;
  // "pause", "resume", "step" (by `value` seconds of world time) or "speed" (times `value`).
  // False for anything else.
  virtual bool control(const std::string& action, double value) = 0;
};

}  // namespace Sim

#endif
