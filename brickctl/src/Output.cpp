#include "brick/Output.h"

#include <chrono>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/FileTelegrams.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

namespace R = Nxt::GetOutputStateReply;
using detail::Kind;
using detail::request;

namespace {

bool validPort(int port) {
  return port >= 0 && port <= 2;
}

}  // namespace

Output::Output(Block& block, int p) : link(&block.getCommunication()), port(p) {}
Output::Output(Comm::SerialCommunication& l, int p) : link(&l), port(p) {}

long Output::setState(int power, std::uint8_t mode, std::uint8_t regulation, int turnRatio,
                      std::uint8_t runState, std::uint32_t tachoLimit) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  if (power < -100 || power > 100 || turnRatio < -100 || turnRatio > 100) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::uint8_t command[] = {Nxt::kSetOutputState,
                            static_cast<std::uint8_t>(port),
                            static_cast<std::uint8_t>(power),
                            mode,
                            regulation,
                            static_cast<std::uint8_t>(turnRatio),
                            runState,
                            0,
                            0,
                            0,
                            0};
  Nxt::Files::putU32(command + 7, tachoLimit);
  return detail::command(link, Kind::Direct, command, sizeof command);
}

long Output::runRegulated(int power, std::uint32_t degrees, bool brake) {
  std::uint8_t mode = Nxt::kModeMotorOn | Nxt::kModeRegulated | (brake ? Nxt::kModeBrake : 0);
  return setState(power, mode, Nxt::kRegulationMotorSpeed, 0, Nxt::kRunStateRunning, degrees);
}

long Output::stop(bool brake) {
  if (brake) {
    return setState(0, Nxt::kModeMotorOn | Nxt::kModeBrake | Nxt::kModeRegulated,
                    Nxt::kRegulationMotorSpeed, 0, Nxt::kRunStateRunning, 0);
  }
  return setState(0, 0, Nxt::kRegulationIdle, 0, Nxt::kRunStateIdle, 0);
}

long Output::getState(State& out) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kGetOutputState, static_cast<std::uint8_t>(port)};
  std::uint8_t r[R::kLength - Nxt::kFromOpcode];
  long code = request(link, Kind::Direct, command, sizeof command, r, sizeof r);
  if (code != kBrickOk) {
    return code;
  }
  decode(r, out);
  return kBrickOk;
}

void Output::decode(const std::uint8_t* r, State& out) {
  auto field = [r](Nxt::Field f) { return Nxt::get(r, f, Nxt::kFromOpcode); };
  out.port = static_cast<int>(field(R::kPort));
  out.power = static_cast<std::int8_t>(field(R::kPower));
  out.mode = static_cast<std::uint8_t>(field(R::kMode));
  out.regulation = static_cast<std::uint8_t>(field(R::kRegulation));
  out.turnRatio = static_cast<std::int8_t>(field(R::kTurnRatio));
  out.runState = static_cast<std::uint8_t>(field(R::kRunState));
  out.tachoLimit = field(R::kTachoLimit);
  out.tachoCount = static_cast<std::int32_t>(field(R::kTachoCount));
  out.blockTachoCount = static_cast<std::int32_t>(field(R::kBlockTachoCount));
  out.rotationCount = static_cast<std::int32_t>(field(R::kRotationCount));
}

long Output::resetPosition(bool relative) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kResetMotorPosition, static_cast<std::uint8_t>(port),
                            static_cast<std::uint8_t>(relative ? 1 : 0)};
  return detail::command(link, Kind::Direct, command, sizeof command);
}

bool Output::finished(const State& state) {
  // The brick turns the run state idle when the goal is reached. The tacho count says nothing
  // on its own: it keeps counting across moves (each limit adds to the goal), so it is not
  // compared with the limit. Holding still under power 0 (a brake) is over too.
  return state.runState == Nxt::kRunStateIdle || state.power == 0;
}

long Output::waitUntilFinished(int timeoutMs, int pollMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    State state;
    long code = getState(state);
    if (code != kBrickOk) {
      return code;
    }
    if (finished(state)) {
      return kBrickOk;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return BRICK_REFUSE(link, kBrickWaitTimeout);
    }
    detail::pause(pollMs);
  }
}

}  // namespace Lib
}  // namespace Brick
