#include "sim/Frame.h"

#include <cstdio>

#include "protocol/Nxt.h"
#include "sim/Robot.h"
#include "sim/VirtualBrick.h"

namespace Sim {

namespace {

const char* typeName(std::uint8_t type) {
  switch (type) {
    case Nxt::kSwitch:
      return "touch";
    case Nxt::kLightActive:
      return "light";
    case Nxt::kLightInactive:
      return "ambient light";
    case Nxt::kSoundDb:
    case Nxt::kSoundDba:
      return "sound";
    case Nxt::kLowSpeed:
    case Nxt::kLowSpeed9V:
      return "ultrasonic";
    case Nxt::kColorFull:
      return "colour";
    case Nxt::kColorRed:
    case Nxt::kColorGreen:
    case Nxt::kColorBlue:
      return "colour lamp";
    case Nxt::kColorNone:
      return "colour ambient";
    default:
      return nullptr;
  }
}

template <typename T>
void take(const nlohmann::json& from, const char* key, T& into) {
  auto it = from.find(key);
  if (it == from.end()) {
    return;
  }
  if constexpr (std::is_same_v<T, std::string>) {
    if (it->is_string()) {
      into = it->get<std::string>();
    }
  } else if constexpr (std::is_same_v<T, bool>) {
    if (it->is_boolean()) {
      into = it->get<bool>();
    }
  } else if (it->is_number()) {
    into = it->get<T>();
  }
}

template <typename T, std::size_t N>
void takeAll(const nlohmann::json& from, const char* key, std::array<T, N>& into) {
  auto it = from.find(key);
  if (it == from.end() || !it->is_array()) {
    return;
  }
  for (std::size_t i = 0; i < N && i < it->size(); ++i) {
    nlohmann::json one = {{"v", (*it)[i]}};
    take(one, "v", into[i]);
  }
}

}  // namespace

Frame Frame::of(const Robot& robot) {
  Frame f;
  Robot::Pose pose = robot.pose();
  f.time = robot.worldSeconds();
  f.x = pose.x;
  f.y = pose.y;
  f.heading = pose.heading;
  f.distance = robot.distanceTravelled();
  World::Point spot = robot.spot();
  f.spotX = spot.x;
  f.spotY = spot.y;
  f.spotColour = World::colourName(robot.floorColour());
  f.bumper = robot.bumperPressed();
  if (robot.attached() == nullptr) {
    return f;
  }
  const VirtualBrick& brick = *robot.attached();
  for (std::size_t p = 0; p < 3; ++p) {
    f.power[p] = brick.outputs[p].power;
    f.count[p] = brick.outputs[p].rotationCount;
  }
  for (std::size_t p = 0; p < 4; ++p) {
    const InputState& in = brick.inputs[p];
    f.raw[p] = in.raw;
    f.scaled[p] = in.scaled;
    const char* name = typeName(in.type);
    if (name == nullptr) {
      continue;
    }
    char text[64];
    if (in.type == Nxt::kLowSpeed9V) {
      f.sonar = robot.sonarDistance();
      std::snprintf(text, sizeof text, "%s %d cm", name, f.sonar);
    } else {
      std::snprintf(text, sizeof text, "%s %d", name, in.scaled);
    }
    f.sensor[p] = text;
  }
  f.tones = static_cast<int>(brick.toneCount);
  if (!brick.tones.empty()) {
    char text[48];
    std::snprintf(text, sizeof text, "%d Hz, %d ms", brick.tones.back().frequency,
                  brick.tones.back().duration);
    f.lastTone = text;
  }
  return f;
}

nlohmann::json Frame::json() const {
  return {{"t", time},        {"x", x},           {"y", y},           {"heading", heading},
          {"d", distance},    {"spotX", spotX},   {"spotY", spotY},   {"spot", spotColour},
          {"sonar", sonar},   {"bumper", bumper}, {"power", power},   {"count", count},
          {"sensor", sensor}, {"raw", raw},       {"scaled", scaled}, {"tones", tones},
          {"tone", lastTone}};
}

Frame Frame::from(const nlohmann::json& value) {
  Frame f;
  if (!value.is_object()) {
    return f;
  }
  take(value, "t", f.time);
  take(value, "x", f.x);
  take(value, "y", f.y);
  take(value, "heading", f.heading);
  take(value, "d", f.distance);
  take(value, "spotX", f.spotX);
  take(value, "spotY", f.spotY);
  take(value, "spot", f.spotColour);
  take(value, "sonar", f.sonar);
  take(value, "bumper", f.bumper);
  takeAll(value, "power", f.power);
  takeAll(value, "count", f.count);
  takeAll(value, "sensor", f.sensor);
  takeAll(value, "raw", f.raw);
  takeAll(value, "scaled", f.scaled);
  take(value, "tones", f.tones);
  take(value, "tone", f.lastTone);
  return f;
}

}  // namespace Sim
