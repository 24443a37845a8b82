#include "brick/Block.h"

#include <cstring>

#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

namespace {

const int kTextBuffer = 256;

// Copies a caller's text into a working buffer, cut to 255 characters.
void copyText(char (&buffer)[kTextBuffer], const char* text) {
  std::size_t n = text != nullptr ? strnlen(text, kTextBuffer - 1) : 0;
  if (n > 0) {
    std::memcpy(buffer, text, n);
  }
  buffer[n] = '\0';
}

}  // namespace

Block::Block() = default;

Block::Block(const Block& other) : sensors(other.sensors), motors(other.motors), link(other.link) {}

Block::~Block() = default;

bool Block::connect() {
  return link.open();
}

bool Block::connectBluetooth() {
  return link.openBT();
}

bool Block::connectBluetooth(char* device) {
  // A device text longer than the working buffer goes to the link whole, which refuses it:
  // cut to 255 characters it could name another device.
  if (device != nullptr && strnlen(device, kTextBuffer) == kTextBuffer) {
    return link.openBT(device);
  }
  char buffer[kTextBuffer];
  copyText(buffer, device);
  return link.openBT(buffer);
}

int Block::disconnect() {
  link.close();
  return 1;
}

int Block::playTone(int frequency, int duration) {
  namespace C = Nxt::PlayToneCommand;
  // Low byte from %, high byte from /, as it has always been sent (negative values included).
  auto twoBytes = [](int value) {
    return static_cast<std::uint32_t>((value % 256 & 0xFF) | (value / 256 & 0xFF) << 8);
  };
  unsigned char command[C::kLength - Nxt::kFromOpcode] = {Nxt::kPlayTone};
  Nxt::put(command, C::kFrequency, twoBytes(frequency), Nxt::kFromOpcode);
  Nxt::put(command, C::kDuration, twoBytes(duration), Nxt::kFromOpcode);
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  link.sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 1;
}

int Block::stopTone() {
  unsigned char command[] = {Nxt::kStopSoundPlayback};
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  link.sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 1;
}

int Block::getBatteryLevel() {
  unsigned char command[] = {Nxt::kGetBatteryLevel};
  unsigned char reply[Nxt::GetBatteryLevelReply::kLength - Nxt::kFromOpcode] = {0x01, 0x01, 0x01,
                                                                                0x01};
  link.sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return static_cast<int>(
      Nxt::get(reply, Nxt::GetBatteryLevelReply::kMillivolts, Nxt::kFromOpcode));
}

void Block::getName(char* name) {
  char buffer[kTextBuffer];
  buffer[0] = '\0';
  link.getName(buffer);
  buffer[kTextBuffer - 1] = '\0';
  if (name != nullptr) {
    std::strcpy(name, buffer);
  }
}

void Block::setName(char* name) {
  char buffer[kTextBuffer];
  copyText(buffer, name);
  link.setName(buffer);
}

void Block::setLogLevel(int) {}

int Block::setSensor(Sensor* sensor, int port) {
  if (sensor == nullptr || sensor->getSensorType() == -1 || sensors.count(port) != 0) {
    return -1;
  }
  sensor->setPort(port);
  sensor->setCommunication(&link);
  sensors[port] = sensor;
  return sensor->setSensorType(sensor->getSensorType());
}

int Block::remSensor(int port) {
  return sensors.erase(port) != 0 ? 1 : -1;
}

Sensor* Block::getSensor(int port) {
  auto found = sensors.find(port);
  return found != sensors.end() ? found->second : nullptr;
}

int Block::setMotor(Motor* motor, int port) {
  if (motor == nullptr || motors.count(port) != 0) {
    return -1;
  }
  motor->setCommunication(&link);
  motor->setPort(port);
  motors[port] = motor;
  return 1;
}

int Block::remMotor(int port) {
  return motors.erase(port) != 0 ? 1 : -1;
}

Motor* Block::getMotor(int port) {
  auto found = motors.find(port);
  return found != motors.end() ? found->second : nullptr;
}

const nFANTOM100::tStatus& Block::getStatus() const {
  return link.getStatus();
}

Comm::SerialCommunication& Block::getCommunication() {
  return link;
}

}  // namespace Lib
}  // namespace Brick
