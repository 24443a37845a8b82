#include "brick/SyncDrive.h"

#include <chrono>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

SyncDrive::SyncDrive(Block& block, int firstPort, int secondPort)
    : link(&block.getCommunication()), a(block, firstPort), b(block, secondPort) {}
SyncDrive::SyncDrive(Comm::SerialCommunication& l, int firstPort, int secondPort)
    : link(&l), a(l, firstPort), b(l, secondPort) {}

long SyncDrive::drive(int power, int turnRatio, std::uint32_t degrees, bool brake) {
  if (a.getPort() == b.getPort()) {
    return BRICK_REFUSE(link, kBrickBadPort);  // a motor cannot keep step with itself
  }
  std::uint8_t mode = Nxt::kModeMotorOn | Nxt::kModeRegulated | (brake ? Nxt::kModeBrake : 0);
  long code =
      a.setState(power, mode, Nxt::kRegulationMotorSync, turnRatio, Nxt::kRunStateRunning, degrees);
  if (code != kBrickOk) {
    return code;
  }
  return b.setState(power, mode, Nxt::kRegulationMotorSync, turnRatio, Nxt::kRunStateRunning,
                    degrees);
}

long SyncDrive::stop(bool brake) {
  long first = a.stop(brake);
  long second = b.stop(brake);  // the second stops even when the first failed
  return first != kBrickOk ? first : second;
}

long SyncDrive::waitUntilFinished(int timeoutMs, int pollMs) {
  auto start = std::chrono::steady_clock::now();
  long code = a.waitUntilFinished(timeoutMs, pollMs);
  if (code != kBrickOk) {
    return code;
  }
  auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
                   .count();
  int left = timeoutMs - static_cast<int>(spent);
  return b.waitUntilFinished(left > 0 ? left : 0, pollMs);
}

long SyncDrive::resetPosition(bool relative) {
  long code = a.resetPosition(relative);
  return code != kBrickOk ? code : b.resetPosition(relative);
}

}  // namespace Lib
}  // namespace Brick
