// `bricksim --replay`: a recorded run drawn whole into a picture, or played in the live page
// until bricksim is told to stop or its time is up.
#ifndef SIM_REPLAYRUN_H
#define SIM_REPLAYRUN_H

#include <csignal>
#include <string>

#include "sim/Scene.h"

namespace Sim {

class ReplayRun {
 public:
  std::string file;      // the recording
  std::string svg;       // the picture, if one is wanted
  std::string host;      // where the page is served
  int port = -1;         // -1: no page
  double duration = -1;  // wall-clock seconds, -1: until stopped
  Scene::Options options;

  // bricksim's exit status: 0, 1 when the recording or the picture failed, 2 for a replay
  // with nothing to show it in.
  int play(const volatile std::sig_atomic_t& stopping) const;
};

}  // namespace Sim

#endif
