// The live page's view of a running robot: reads it under the server's lock, and drives the
// paced clock it runs on.
#ifndef SIM_LIVESTAGE_H
#define SIM_LIVESTAGE_H

#include "sim/PacedClock.h"
#include "sim/PtyServer.h"
#include "sim/Robot.h"
#include "sim/Stage.h"
#include "sim/TraceLog.h"

namespace Sim {

class LiveStage : public Stage {
 public:
  LiveStage(PtyServer& server, Robot& robot, PacedClock& clock, const TraceLog& trace)
      : server(server), robot(robot), clock(clock), trace(trace) {}

  std::string picture(const Scene::Options& options) override;
  nlohmann::json update(std::uint64_t& traceSeen, bool withRun,
                        const Scene::Options& options) override;
  bool control(const std::string& action, double value) override;

 private:
  PtyServer& server;
  Robot& robot;
  PacedClock& clock;
  const TraceLog& trace;
};

}  // namespace Sim

#endif
