#include "brick/StopOnExit.h"

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

using detail::Kind;
using detail::request;

namespace {

// SETOUTPUTSTATE's port that names all three outputs.
const std::uint8_t kAllOutputs = 0xFF;

}  // namespace

StopOnExit::StopOnExit(Block& block) : link(&block.getCommunication()) {}
StopOnExit::StopOnExit(Comm::SerialCommunication& l) : link(&l) {}

StopOnExit::~StopOnExit() {
  if (armed) {
    try {
      stop();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a destructor, perhaps during unwinding
    }
  }
}

long StopOnExit::stop() {
  namespace C = Nxt::SetOutputStateCommand;
  // Power 0 with the motor off: floating, which draws nothing from a battery left alone.
  std::uint8_t motors[C::kLength - Nxt::kFromOpcode] = {Nxt::kSetOutputState};
  Nxt::put(motors, C::kPort, kAllOutputs, Nxt::kFromOpcode);
  std::uint8_t reply[Nxt::Reply::kLength - Nxt::kFromOpcode];
  long code = request(link, Kind::Direct, motors, sizeof motors, reply, sizeof reply);
  if (code != kBrickOk && !isBrickStatus(code)) {
    return code;  // the link failed: nothing more reaches the brick
  }
  const std::uint8_t sound[] = {Nxt::kStopSoundPlayback};
  long soundCode = request(link, Kind::Direct, sound, sizeof sound, reply, sizeof reply);
  return code != kBrickOk ? code : soundCode;
}

}  // namespace Lib
}  // namespace Brick
