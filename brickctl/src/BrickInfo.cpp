#include "brick/BrickInfo.h"

#include <cstdio>
#include <cstring>

#include "Request.h"
#include "brick/Block.h"
#include "protocol/Commands.h"
#include "protocol/FileTelegrams.h"
#include "protocol/MessageTelegrams.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

namespace D = Nxt::GetDeviceInfoReply;
namespace F = Nxt::Files;
using detail::Kind;
using detail::request;

std::string BrickInfo::Device::addressText() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

BrickInfo::BrickInfo(Block& block) : link(&block.getCommunication()) {}
BrickInfo::BrickInfo(Comm::SerialCommunication& l) : link(&l) {}

long BrickInfo::deviceInfo(Device& out) {
  std::uint8_t command[] = {Nxt::kGetDeviceInfo};
  std::uint8_t reply[D::kLength - Nxt::kFromOpcode];
  long code = request(link, Kind::System, command, sizeof command, reply, sizeof reply);
  if (code != kBrickOk) {
    return code;
  }
  const char* name = reinterpret_cast<const char*>(reply + D::kName - Nxt::kFromOpcode);
  out.name.assign(name, strnlen(name, static_cast<std::size_t>(Nxt::kDeviceNameBytes)));
  std::memcpy(out.address, reply + D::kAddress - Nxt::kFromOpcode, sizeof out.address);
  out.signalStrength = Nxt::get(reply, D::kSignalStrength, Nxt::kFromOpcode);
  out.freeFlash = Nxt::get(reply, D::kFreeFlash, Nxt::kFromOpcode);
  return kBrickOk;
}

long BrickInfo::firmwareVersion(Firmware& out) {
  std::uint8_t command[] = {F::kGetFirmwareVersion};
  std::uint8_t reply[F::kReplyFirmwareLength];
  long code = request(link, Kind::System, command, sizeof command, reply, sizeof reply);
  if (code == kBrickOk) {
    out.protocolMinor = reply[2];
    out.protocolMajor = reply[3];
    out.firmwareMinor = reply[4];
    out.firmwareMajor = reply[5];
  }
  return code;
}

long BrickInfo::keepAlive(std::uint32_t& sleepMs) {
  std::uint8_t command[] = {Nxt::kKeepAlive};
  std::uint8_t reply[Nxt::KeepAliveReply::kLength - Nxt::kFromOpcode];
  long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply);
  if (code == kBrickOk) {
    sleepMs = Nxt::get(reply, Nxt::KeepAliveReply::kSleepTime, Nxt::kFromOpcode);
  }
  return code;
}

long BrickInfo::playSoundFile(const std::string& name, bool loop) {
  if (!F::validName(name)) {
    return BRICK_REFUSE(link, kBrickBadFileName);
  }
  std::uint8_t command[2 + F::kNameField];
  command[0] = Nxt::Messages::kPlaySoundFile;
  command[1] = loop ? 1 : 0;
  F::putName(command + 2, name);
  return detail::command(link, Kind::Direct, command, sizeof command);
}

long BrickInfo::stopSoundPlayback() {
  std::uint8_t command[] = {Nxt::kStopSoundPlayback};
  return detail::command(link, Kind::Direct, command, sizeof command);
}

long BrickInfo::playTone(int frequency, int durationMs) {
  if (frequency < 200 || frequency > 14000 || durationMs < 0 || durationMs > 0xFFFF) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  std::uint8_t command[Nxt::PlayToneCommand::kLength - Nxt::kFromOpcode] = {Nxt::kPlayTone};
  Nxt::put(command, Nxt::PlayToneCommand::kFrequency, static_cast<std::uint32_t>(frequency),
           Nxt::kFromOpcode);
  Nxt::put(command, Nxt::PlayToneCommand::kDuration, static_cast<std::uint32_t>(durationMs),
           Nxt::kFromOpcode);
  return detail::command(link, Kind::Direct, command, sizeof command);
}

}  // namespace Lib
}  // namespace Brick
