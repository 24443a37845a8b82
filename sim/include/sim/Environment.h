// What a virtual brick's ports are connected to: the state it keeps per port, and the world
// that moves the motors and feeds the sensors.
#ifndef SIM_ENVIRONMENT_H
#define SIM_ENVIRONMENT_H

#include <cstdint>

namespace Sim {

struct OutputState {
  std::int8_t power = 0;
  std::uint8_t mode = 0;
  std::uint8_t regulation = 0;
  std::int8_t turnRatio = 0;
  std::uint8_t runState = 0;
  std::uint32_t tachoLimit = 0;
  std::int32_t tachoCount = 0;
  std::int32_t blockTachoCount = 0;
  std::int32_t rotationCount = 0;
};

struct InputState {
  std::uint8_t type = 0;
  std::uint8_t mode = 0;
  bool valid = true;
  bool calibrated = false;
  std::uint16_t raw = 1023;
  std::uint16_t normalized = 1023;
  std::int16_t scaled = 0;
  std::int16_t calibratedValue = 0;
  // When the type or mode last changed, on the world's clock: the reading is not valid until
  // the sensor has settled (seconds; negative: never changed).
  double changedAt = -1;
};

struct UltrasonicState {
  bool measuring = true;      // continuous measurement is the sensor's power-on state
  std::uint8_t command = 2;   // register 0x41: continuous measurement
  std::uint8_t interval = 1;  // register 0x40: measurement interval
  // Registers 0x52 to 0x54: actual zero, scale factor and scale divisor.
  std::uint8_t calibration[3] = {0, 1, 14};
  std::uint8_t distance = 255;
  int pendingPolls = -1;  // -1: bus idle; else status polls still answered 0 before it is done
  double readyAt = 0;     // world time (seconds) at which a timed transaction completes
  std::uint8_t bytesReady = 0;
  bool busError = false;  // the last transaction's address went unacknowledged
  std::uint8_t data[16] = {};
  // What the transaction under way brings back, joined to `data` once it has run.
  std::uint8_t incoming[16] = {};
  std::uint8_t incomingCount = 0;
};

// What the digital sensors a world fits can sense of the robot and the room at one moment.
struct Senses {
  double compassHeading = 0;  // degrees clockwise from north (the world's +y), 0 to 360
  // Acceleration in g along the robot's forward, left and up axes, gravity included (a robot
  // standing still reads 0, 0, 1).
  double accelForward = 0;
  double accelLeft = 0;
  double accelUp = 1;
  double turnRate = 0;  // degrees a second, counter-clockwise seen from above
  // The IR beacon as seen from the robot: its bearing in degrees clockwise from straight ahead
  // (-180 to 180) and its distance in cm; a negative distance when the world has no beacon.
  double beaconBearing = 0;
  double beaconDistance = -1;
  double celsius = 21;
  int floorRed = 240;  // the colour under the sensor's spot, 0 to 255 a channel
  int floorGreen = 240;
  int floorBlue = 240;
  int floorColour = 6;  // its colour number (World::Colour)
};

struct Tone {
  int frequency;
  int duration;
};

class Environment {
 public:
  virtual ~Environment() = default;
  // Brings the world up to now before a telegram is answered.
  virtual void advance() {}
  // A SETOUTPUTSTATE or RESETMOTORPOSITION has changed an output's state.
  virtual void outputChanged(int /*port*/, OutputState& /*state*/) {}
  // An output's tacho count was reset (a program's start, opcode 0x21): the goal its limits
  // added up to is gone with it.
  virtual void tachoCountReset(int /*port*/) {}
  // Fills in what the sensor at an input port reads now (raw, normalized, scaled).
  virtual void readInput(int /*port*/, InputState& /*state*/) {}
  // Distance in centimetres the ultrasonic sensor at a port measures now (255: no echo).
  virtual std::uint8_t ultrasonicDistance(int /*port*/) { return 255; }
  // What the digital sensors sense now.
  virtual Senses senses() const { return Senses(); }
  // A PLAYTONE telegram has started a tone.
  virtual void tonePlayed(const Tone& /*tone*/) {}
  // The world's time in seconds, as of the last advance(); timed bus transactions use it.
  virtual double worldSeconds() const { return 0.0; }
  // The brick has switched itself off (no KEEPALIVE within its sleep time): from now on it
  // answers nothing, and its motors are no longer driven. Told once.
  virtual void switchedOff() {}
};

}  // namespace Sim

#endif
