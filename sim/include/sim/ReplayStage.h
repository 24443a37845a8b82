// The live page's view of a recorded run, played back on its own clock: paused, stepped and
// sped up like a live one, and held at the end.
#ifndef SIM_REPLAYSTAGE_H
#define SIM_REPLAYSTAGE_H

#include <mutex>

#include "sim/PacedClock.h"
#include "sim/Recording.h"
#include "sim/Stage.h"

namespace Sim {

class ReplayStage : public Stage {
 public:
  explicit ReplayStage(const Recording& recording) : run(recording) {}

  std::string picture(const Scene::Options& options) override;
  nlohmann::json update(std::uint64_t& traceSeen, bool withRun,
                        const Scene::Options& options) override;
  bool control(const std::string& action, double value) override;
  // The replay's time now, at most the end of the recording.
  double time();

 private:
  const Recording& run;
  std::mutex mutex;
  PacedClock clock;
};

}  // namespace Sim

#endif
