#include "brick/Program.h"

#include "Request.h"
#include "brick/Block.h"
#include "protocol/FileTelegrams.h"
#include "protocol/MessageTelegrams.h"

namespace Brick {
namespace Lib {

namespace M = Nxt::Messages;
namespace F = Nxt::Files;
using detail::Kind;
using detail::request;

Program::Program(Block& block) : link(&block.getCommunication()) {}
Program::Program(Comm::SerialCommunication& l) : link(&l) {}

long Program::start(const std::string& name) {
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  std::uint8_t command[1 + F::kNameField];
  command[0] = M::kStartProgram;
  F::putName(command + 1, name);
  std::uint8_t reply[2];
  return request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
}

long Program::stop() {
  std::uint8_t command[] = {M::kStopProgram};
  std::uint8_t reply[2];
  return request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
}

long Program::currentName(std::string& name) {
  name.clear();
  std::uint8_t command[] = {M::kGetCurrentProgramName};
  std::uint8_t reply[M::kReplyProgramName + F::kNameField];
  long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
  if (code == kBrickOk) {
    name = F::getName(reply + M::kReplyProgramName);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
