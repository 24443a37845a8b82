#include "sim/Recorder.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "sim/Frame.h"

namespace Sim {

Recorder::~Recorder() {
  close();
}

bool Recorder::open(const std::string& path, const std::string& worldText, std::string& error) {
  std::lock_guard<std::mutex> guard(mutex);
  file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  write(Frame::dump(nlohmann::json{{"type", "world"}, {"text", worldText}}));
  return true;
}

void Recorder::write(const std::string& line) {
  if (file == nullptr) {
    return;
  }
  if (std::fputs(line.c_str(), file) < 0 || std::fputc('\n', file) == EOF) {
    failed = true;
  }
}

void Recorder::catchUp(const Robot& robot, bool force) {
  std::lock_guard<std::mutex> guard(mutex);
  if (file == nullptr) {
    return;
  }
  const auto& path = robot.path();
  for (; pathDone < path.size(); ++pathDone) {
    const Robot::PathPoint& p = path[pathDone];
    write(Frame::dump(nlohmann::json{{"type", "path"}, {"t", p.time}, {"x", p.x}, {"y", p.y}}));
  }
  const auto& events = robot.events();
  for (; eventsDone < events.size(); ++eventsDone) {
    const Robot::Event& e = events[eventsDone];
    write(Frame::dump(nlohmann::json{{"type", "event"},
                                     {"t", e.time},
                                     {"x", e.x},
                                     {"y", e.y},
                                     {"kind", e.kind},
                                     {"text", e.text}}));
  }
  if (force || lastFrame < 0 || robot.worldSeconds() - lastFrame >= kFrameEvery) {
    lastFrame = robot.worldSeconds();
    nlohmann::json frame = Frame::of(robot).json();
    frame["type"] = "frame";
    write(Frame::dump(frame));
  }
  std::fflush(file);
}

void Recorder::telegram(double time, const std::string& line) {
  std::lock_guard<std::mutex> guard(mutex);
  write(Frame::dump(nlohmann::json{{"type", "telegram"}, {"t", time}, {"line", line}}));
}

bool Recorder::close() {
  std::lock_guard<std::mutex> guard(mutex);
  if (file == nullptr) {
    return !failed;
  }
  failed = std::fclose(file) != 0 || failed;
  file = nullptr;
  return !failed;
}

}  // namespace Sim
