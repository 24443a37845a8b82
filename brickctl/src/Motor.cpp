#include "brick/Motor.h"

#include "comm/Nxt.h"
#include "comm/SerialCommunication.h"

namespace Brick {
namespace Lib {

namespace {

const unsigned char kRunRegulated = Nxt::kModeMotorOn | Nxt::kModeRegulated;
const unsigned char kBrakeRegulated = Nxt::kModeMotorOn | Nxt::kModeBrake | Nxt::kModeRegulated;

}  // namespace

Motor::Motor() : link(nullptr), port(-1), brake(false) {}
Motor::Motor(const Motor& other) = default;
Motor& Motor::operator=(const Motor& other) = default;
Motor::~Motor() = default;

int Motor::setOutputState(int power, unsigned char mode, unsigned char regulation,
                          unsigned char runState, int tachoLimit) {
  if (link == nullptr) {
    return -1;
  }
  unsigned int limit = static_cast<unsigned int>(tachoLimit);
  unsigned char command[] = {Nxt::kSetOutputState,
                             static_cast<unsigned char>(port),
                             static_cast<unsigned char>(power),
                             mode,
                             regulation,
                             0x00,  // turn ratio
                             runState,
                             static_cast<unsigned char>(limit),
                             static_cast<unsigned char>(limit >> 8),
                             static_cast<unsigned char>(limit >> 16),
                             static_cast<unsigned char>(limit >> 24)};
  unsigned char reply[2] = {0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 1;
}

// Negation goes through unsigned arithmetic so that INT_MIN wraps instead of overflowing; only
// the low 8 bits reach the telegram either way.
static int negated(int power) {
  return static_cast<int>(0u - static_cast<unsigned int>(power));
}

int Motor::moveForward(int power) {
  return setOutputState(power, kRunRegulated, Nxt::kRegulationMotorSpeed, Nxt::kRunStateRunning, 0);
}

int Motor::moveBackward(int power) {
  return setOutputState(negated(power), kRunRegulated, Nxt::kRegulationMotorSpeed,
                        Nxt::kRunStateRunning, 0);
}

int Motor::moveForwardDegrees(int power, int degrees) {
  return setOutputState(power, kRunRegulated, Nxt::kRegulationMotorSpeed, Nxt::kRunStateRunning,
                        degrees);
}

int Motor::moveBackwardDegrees(int power, int degrees) {
  return setOutputState(negated(power), kRunRegulated, Nxt::kRegulationMotorSpeed,
                        Nxt::kRunStateRunning, degrees);
}

int Motor::stop() {
  if (brake) {
    return setOutputState(0, kBrakeRegulated, Nxt::kRegulationMotorSpeed, Nxt::kRunStateRunning, 0);
  }
  return setOutputState(0, 0x00, Nxt::kRegulationIdle, Nxt::kRunStateIdle, 0);
}

int Motor::setBrake(bool newBrake) {
  brake = newBrake;
  return stop();
}

int Motor::resetRotationCount() {
  if (link == nullptr) {
    return -1;
  }
  // The third byte is the relative flag: 0 resets the absolute rotation count, the counter
  // that getRotationCount reads.
  unsigned char command[] = {Nxt::kResetMotorPosition, static_cast<unsigned char>(port), 0x00};
  unsigned char reply[2] = {0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 1;
}

int Motor::getRotationCount() {
  if (link == nullptr) {
    return -1;
  }
  unsigned char command[] = {Nxt::kGetOutputState, static_cast<unsigned char>(port)};
  unsigned char reply[24];
  for (unsigned char& byte : reply) {
    byte = 0x01;
  }
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  unsigned int count =
      static_cast<unsigned int>(reply[20]) | static_cast<unsigned int>(reply[21]) << 8 |
      static_cast<unsigned int>(reply[22]) << 16 | static_cast<unsigned int>(reply[23]) << 24;
  return static_cast<int>(count);
}

void Motor::setLogLevel(int) {}

int Motor::setPort(int newPort) {
  port = newPort;
  return 1;
}

int Motor::setCommunication(Comm::SerialCommunication* newLink) {
  link = newLink;
  return 1;
}

}  // namespace Lib
}  // namespace Brick
