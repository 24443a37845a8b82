#include "sim/Recording.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

namespace Sim {

namespace {

double numberOf(const nlohmann::json& v, const char* key) {
  auto it = v.find(key);
  return it != v.end() && it->is_number() ? it->get<double>() : 0.0;
}

// What a line's numbers may hold, the world file's limits for places: a recording is read
// back into the same picture and page as a world, and a number beyond them (1e308) overflows
// the drawing's sizes, or an int it is stored in.
struct Limit {
  const char* type;  // of line; nullptr: every type
  const char* key;   // a number, or an array of numbers
  double least;
  double most;
};

const double kMostTime = 1e9;  // s: some 30 years of a run
const double kFar = World::kMostCoordinate;

const Limit kLimits[] = {
    {nullptr, "t", 0, kMostTime},    {nullptr, "x", -kFar, kFar},
    {nullptr, "y", -kFar, kFar},     {"frame", "heading", -360, 360},
    {"frame", "d", 0, 1e12},         {"frame", "spotX", -kFar, kFar},
    {"frame", "spotY", -kFar, kFar}, {"frame", "sonar", -1, 255},
    {"frame", "power", -100, 100},   {"frame", "count", INT_MIN, INT_MAX},
    {"frame", "tones", 0, INT_MAX},
};

bool within(const nlohmann::json& v, const Limit& limit) {
  return !v.is_number() || (std::isfinite(v.get<double>()) && v.get<double>() >= limit.least &&
                            v.get<double>() <= limit.most);
}

// Empty when every number the line holds is within its limit, else which is not.
std::string outOfLimits(const nlohmann::json& v, const std::string& type) {
  for (const Limit& limit : kLimits) {
    auto it = v.find(limit.key);
    if (it == v.end() || (limit.type != nullptr && type != limit.type)) {
      continue;
    }
    bool good = within(*it, limit);
    for (std::size_t i = 0; it->is_array() && i < it->size(); ++i) {
      good = good && within((*it)[i], limit);
    }
    if (!good) {
      char text[128];
      std::snprintf(text, sizeof text, "\"%s\" runs from %g to %g", limit.key, limit.least,
                    limit.most);
      return text;
    }
  }
  return {};
}

std::string textOf(const nlohmann::json& v, const char* key) {
  auto it = v.find(key);
  return it != v.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

bool Recording::load(const std::string& file, Recording& out, std::string& error) {
  std::ifstream in(file);
  if (!in) {
    error = "cannot read " + file;
    return false;
  }
  std::string line;
  int number = 0;
  bool haveWorld = false;
  while (std::getline(in, line)) {
    ++number;
    std::string where = file + ":" + std::to_string(number) + ": ";
    if (line.empty()) {
      continue;
    }
    nlohmann::json v = nlohmann::json::parse(line, nullptr, false);
    if (v.is_discarded() || !v.is_object()) {
      error = where + "not a JSON object";
      return false;
    }
    std::string type = textOf(v, "type");
    if (type == "world") {
      std::string why;
      if (!World::parse(textOf(v, "text"), out.world, why)) {
        error = where + "the world: " + why;
        return false;
      }
      haveWorld = true;
    } else if (!haveWorld) {
      error = where + "a recording starts with its world";
      return false;
    } else if (std::string why = outOfLimits(v, type); !why.empty()) {
      error = where + why;
      return false;
    } else if (type == "frame") {
      out.frames.push_back(Frame::from(v));
    } else if (type == "path") {
      out.path.push_back(Robot::PathPoint{numberOf(v, "t"), numberOf(v, "x"), numberOf(v, "y")});
    } else if (type == "event") {
      out.events.push_back(Robot::Event{numberOf(v, "t"), numberOf(v, "x"), numberOf(v, "y"),
                                        textOf(v, "kind"), textOf(v, "text")});
    } else if (type == "telegram") {
      out.telegrams.push_back(Telegram{numberOf(v, "t"), textOf(v, "line")});
    }
    // Lines of other types are for later versions: passed over.
  }
  if (!haveWorld) {
    error = file + ": empty, not a recording";
    return false;
  }
  return true;
}

double Recording::endTime() const {
  double end = frames.empty() ? 0 : frames.back().time;
  if (!path.empty()) {
    end = std::max(end, path.back().time);
  }
  return end;
}

Frame Recording::frameAt(double time) const {
  if (frames.empty()) {
    Frame f;
    f.x = world.robot.x;
    f.y = world.robot.y;
    f.heading = world.robot.heading;
    return f;
  }
  const Frame* best = &frames.front();
  for (const Frame& f : frames) {
    if (f.time > time) {
      break;
    }
    best = &f;
  }
  return *best;
}

std::vector<Robot::PathPoint> Recording::pathUntil(double time) const {
  std::vector<Robot::PathPoint> out;
  for (const Robot::PathPoint& p : path) {
    if (p.time > time) {
      break;
    }
    out.push_back(p);
  }
  if (out.empty()) {
    out.push_back(Robot::PathPoint{0, world.robot.x, world.robot.y});
  }
  return out;
}

std::vector<Robot::Event> Recording::eventsUntil(double time) const {
  std::vector<Robot::Event> out;
  for (const Robot::Event& e : events) {
    if (e.time <= time) {
      out.push_back(e);
    }
  }
  return out;
}

}  // namespace Sim
