#include "brick/Motor.h"

#include "comm/SerialCommunication.h"
#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

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
  namespace C = Nxt::SetOutputStateCommand;
  unsigned char command[C::kLength - Nxt::kFromOpcode] = {Nxt::kSetOutputState};
  auto set = [&](Nxt::Field field, std::uint32_t value) {
    Nxt::put(command, field, value, Nxt::kFromOpcode);
  };
  set(C::kPort, static_cast<std::uint32_t>(port));
  set(C::kPower, static_cast<std::uint32_t>(power));
  set(C::kMode, mode);
  set(C::kRegulation, regulation);
  set(C::kTurnRatio, 0);
  set(C::kRunState, runState);
  set(C::kTachoLimit, static_cast<std::uint32_t>(tachoLimit));
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
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
  namespace C = Nxt::ResetMotorPositionCommand;
  unsigned char command[C::kLength - Nxt::kFromOpcode] = {Nxt::kResetMotorPosition};
  Nxt::put(command, C::kPort, static_cast<std::uint32_t>(port), Nxt::kFromOpcode);
  Nxt::put(command, C::kRelative, 0, Nxt::kFromOpcode);
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 1;
}

int Motor::getRotationCount() {
  if (link == nullptr) {
    return -1;
  }
  namespace R = Nxt::GetOutputStateReply;
  unsigned char command[] = {Nxt::kGetOutputState, static_cast<unsigned char>(port)};
  static_assert(sizeof command == Nxt::PortCommand::kLength - Nxt::kFromOpcode, "opcode, port");
  unsigned char reply[R::kLength - Nxt::kFromOpcode];
  for (unsigned char& byte : reply) {
    byte = 0x01;
  }
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return static_cast<int>(Nxt::get(reply, R::kRotationCount, Nxt::kFromOpcode));
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
