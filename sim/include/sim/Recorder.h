// Writes a run as JSON lines, for a replay in the page or a picture made later: first the
// world (its text in the world file format), then as the run goes on the robot's frames, the
// points of its path, its events and every telegram line, each with its world time:
//
//   {"type":"world","text":"..."}
//   {"type":"frame","t":1.25,"x":42.1,...}
//   {"type":"path","t":1.25,"x":42.1,"y":30.0}
//   {"type":"event","t":2.5,"x":...,"y":...,"kind":"touch","text":"bumper closed"}
//   {"type":"telegram","t":2.5,"line":"> 00 04 ..."}
#ifndef SIM_RECORDER_H
#define SIM_RECORDER_H

#include <cstdio>
#include <mutex>
#include <string>

#include "sim/Robot.h"

namespace Sim {

class Recorder {
 public:
  // Frames closer together than this (world time) are not written.
  static constexpr double kFrameEvery = 0.05;

  Recorder() = default;
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // The file as OutputFile::open takes it.
  bool open(const std::string& path, const std::string& worldText, std::string& error);
  // Writes what the robot did since the last call: new path points, events, and a frame
  // (unless the last was less than kFrameEvery ago and `force` is false).
  void catchUp(const Robot& robot, bool force = false);
  void telegram(double time, const std::string& line);
  // False when anything could not be written (the file ends short of the run).
  bool close();
  // Why the first write failed (an errno value), 0 when none did.
  int failure() const;

 private:
  void write(const std::string& line);
  void fail();

  mutable std::mutex mutex;
  int firstError = 0;
  std::FILE* file = nullptr;
  bool failed = false;
  std::size_t pathDone = 0;
  std::size_t eventsDone = 0;
  double lastFrame = -1;
};

}  // namespace Sim

#endif
