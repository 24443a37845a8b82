// A run read back from the JSON lines Recorder writes: the world, and the frames, path,
// events and telegram lines in time order, to be shown as they were at any moment.
#ifndef SIM_RECORDING_H
#define SIM_RECORDING_H

#include <string>
#include <vector>

#include "sim/Frame.h"
#include "sim/Robot.h"
#include "sim/World.h"

namespace Sim {

class Recording {
 public:
  struct Telegram {
    double time;
    std::string line;
  };

  // False, with the line at fault in `error`, for a file that is not a recording.
  static bool load(const std::string& path, Recording& out, std::string& error);

  double endTime() const;
  // The last frame at or before `time` (the first frame when none is).
  Frame frameAt(double time) const;
  // Path points and events up to `time`.
  std::vector<Robot::PathPoint> pathUntil(double time) const;
  std::vector<Robot::Event> eventsUntil(double time) const;

  World world;
  std::vector<Frame> frames;
  std::vector<Robot::PathPoint> path;
  std::vector<Robot::Event> events;
  std::vector<Telegram> telegrams;
};

}  // namespace Sim

#endif
