#include "sim/Recorder.h"

#include <cerrno>
#include <nlohmann/json.hpp>

#include "sim/Frame.h"
#include "sim/OutputFile.h"

namespace Sim {

Recorder::~Recorder() {
  close();
}

bool Recorder::open(const std::string& path, const std::string& worldText, std::string& error) {
  std::lock_guard<std::mutex> guard(mutex);
  file = OutputFile::open(path, error);
  if (file == nullptr) {
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
    fail();
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
  if (std::fflush(file) != 0) {
    fail();  // a full disk shows here, where the buffer goes out
  }
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
  if (std::fclose(file) != 0) {
    fail();
  }
  file = nullptr;
  return !failed;
}

int Recorder::failure() const {
  std::lock_guard<std::mutex> guard(mutex);
  return firstError;
}

void Recorder::fail() {
  if (!failed) {
    firstError = errno != 0 ? errno : EIO;
  }
  failed = true;
}

}  // namespace Sim
