#include "brick/WheelPair.h"

#include "Request.h"
#include "comm/SerialCommunication.h"
#include "protocol/FileTelegrams.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

WheelPair::WheelPair(Comm::SerialCommunication& l, int leftPort, int rightPort)
    : link(&l), a(l, leftPort), b(l, rightPort) {}

long WheelPair::run(int leftPower, std::uint32_t leftLimit, int rightPower,
                    std::uint32_t rightLimit) {
  return send(leftPower, leftLimit, rightPower, rightLimit);
}

long WheelPair::brake() {
  // Power 0 under regulation with the brake bit: the regulator holds the wheel where it is.
  return send(0, 0, 0, 0);
}

long WheelPair::send(int leftPower, std::uint32_t leftLimit, int rightPower,
                     std::uint32_t rightLimit) {
  int first = a.getPort();
  int second = b.getPort();
  if (first < 0 || first > 2 || second < 0 || second > 2 || first == second) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  if (leftPower < -100 || leftPower > 100 || rightPower < -100 || rightPower > 100) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::uint8_t mode = Nxt::kModeMotorOn | Nxt::kModeRegulated | Nxt::kModeBrake;
  auto telegram = [&](std::uint8_t* command, int port, int power, std::uint32_t limit) {
    command[0] = Nxt::kSetOutputState;
    command[1] = static_cast<std::uint8_t>(port);
    command[2] = static_cast<std::uint8_t>(power);
    command[3] = mode;
    command[4] = Nxt::kRegulationMotorSpeed;
    command[5] = 0;
    command[6] = Nxt::kRunStateRunning;
    Nxt::Files::putU32(command + 7, limit);
  };
  std::uint8_t one[11];
  std::uint8_t two[11];
  telegram(one, first, leftPower, leftLimit);
  telegram(two, second, rightPower, rightLimit);
  // The brick carries out telegrams in the order they came: the second one's reply comes only
  // after the first was done, and a link that failed for the first fails for the second too.
  link->sendDirectCommand(0, one, sizeof one, nullptr, 0);
  std::uint8_t reply[2];
  return detail::request(link, detail::Kind::Direct, two, sizeof two, reply, sizeof reply);
}

long WheelPair::read(Output::State& left, Output::State& right) {
  long code = a.getState(left);
  return code != kBrickOk ? code : b.getState(right);
}

}  // namespace Lib
}  // namespace Brick
