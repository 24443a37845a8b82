#include "brick/Input.h"

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Nxt.h"
#include "protocol/StateTelegrams.h"

namespace Brick {
namespace Lib {

namespace S = Nxt::State;
using detail::Kind;
using detail::request;

namespace {

bool validPort(int port) {
  return port >= 0 && port <= 3;
}

std::uint16_t u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

Input::Input(Block& block, int p) : link(&block.getCommunication()), port(p) {}
Input::Input(Comm::SerialCommunication& l, int p) : link(&l), port(p) {}

long Input::setMode(std::uint8_t type, std::uint8_t mode) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kSetInputMode, static_cast<std::uint8_t>(port), type, mode};
  std::uint8_t reply[2];
  return request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
}

long Input::getValues(Values& out) {
  if (!validPort(port)) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  std::uint8_t command[] = {Nxt::kGetInputValues, static_cast<std::uint8_t>(port)};
  std::uint8_t r[S::kInLength];
  long code = request(link, Kind::Direct, command, sizeof command, r, sizeof r);
  if (code != kBrickOk) {
    return code;
  }
  out.port = r[S::kInPort];
  out.valid = r[S::kInValid] != 0;
  out.calibrated = r[S::kInCalibrated] != 0;
  out.type = r[S::kInType];
  out.mode = r[S::kInMode];
  out.raw = u16(r + S::kInRaw);
  out.normalized = u16(r + S::kInNormalized);
  out.scaled = static_cast<std::int16_t>(u16(r + S::kInScaled));
  out.calibratedValue = static_cast<std::int16_t>(u16(r + S::kInCalibratedValue));
  return kBrickOk;
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
