// The robot at one moment, as the live page and a recording show it: where it is and which
// way it faces, what its sensors read, what its motors are told and have counted. Plain
// values, so that a recorded run draws exactly as the live one did.
#ifndef SIM_FRAME_H
#define SIM_FRAME_H

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace Sim {

class Robot;

struct Frame {
  double time = 0;
  double x = 0;
  double y = 0;
  double heading = 0;
  double distance = 0;  // cm driven since the start
  double spotX = 0;     // the light spot on the floor
  double spotY = 0;
  std::string spotColour = "white";
  int sonar = -1;  // the nearest echo in cm (255: none); -1 when no ultrasonic sensor is fitted
  bool bumper = false;
  std::array<int, 3> power{};           // as last set, -100 to 100
  std::array<std::int32_t, 3> count{};  // rotation counts, degrees
  std::array<std::string, 4> sensor{};  // "touch 1", "light 48", "" when nothing is set
  std::array<int, 4> raw{};             // each input port's A/D value, 0 to 1023
  std::array<int, 4> scaled{};          // and its value in the port's mode
  int tones = 0;
  std::string lastTone;  // "440 Hz, 200 ms"

  // The robot and its attached brick (if any) now.
  static Frame of(const Robot& robot);
  nlohmann::json json() const;
  // A frame back from json(); fields missing or of the wrong type keep their defaults.
  static Frame from(const nlohmann::json& value);
  // JSON as one line of text; bytes that are not UTF-8 (a world's name, say) become U+FFFD
  // instead of failing the whole line.
  static std::string dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
};

}  // namespace Sim

#endif
