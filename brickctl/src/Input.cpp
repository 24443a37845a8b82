#include "brick/Input.h"

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

namespace R = Nxt::GetInputValuesReply;
using detail::Kind;
using detail::request;

namespace {

bool validPort(int port) {
  return port >= 0 && port <= 3;
}

}  // namespace

Input::Input(Block& block, int p) : link(&block.getCommunication()), port(p) {}
Input::Input(Comm::SerialCommunication& l, int p) : link(&l), port(p) {}

long Input::setMode(std::uint8_t type, std::uint8_t mode) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kSetInputMode, static_cast<std::uint8_t>(port), type, mode};
  return detail::command(link, Kind::Direct, command, sizeof command);
}

long Input::getValues(Values& out) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kGetInputValues, static_cast<std::uint8_t>(port)};
  std::uint8_t r[R::kLength - Nxt::kFromOpcode];
  long code = request(link, Kind::Direct, command, sizeof command, r, sizeof r);
  if (code != kBrickOk) {
    return code;
  }
  decode(r, out);
  return kBrickOk;
}

void Input::decode(const std::uint8_t* r, Values& out) {
  auto field = [r](Nxt::Field f) { return Nxt::get(r, f, Nxt::kFromOpcode); };
  out.port = static_cast<int>(field(R::kPort));
  out.valid = field(R::kValid) != 0;
  out.calibrated = field(R::kCalibrated) != 0;
  out.type = static_cast<std::uint8_t>(field(R::kSensorType));
  out.mode = static_cast<std::uint8_t>(field(R::kSensorMode));
  out.raw = static_cast<std::uint16_t>(field(R::kRaw));
  out.normalized = static_cast<std::uint16_t>(field(R::kNormalized));
  out.scaled = static_cast<std::int16_t>(field(R::kScaled));
  out.calibratedValue = static_cast<std::int16_t>(field(R::kCalibratedValue));
}

long Input::resetScaledValue() {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kResetInputScaledValue, static_cast<std::uint8_t>(port)};
  std::uint8_t reply[2];
  return request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
}

}  // namespace Lib
}  // namespace Brick
