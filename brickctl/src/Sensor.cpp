#include "brick/Sensor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "comm/Deadline.h"
#include "comm/SerialCommunication.h"
#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

namespace {

struct KindRow {
  int kind;
  int type;
  int mode;
};

const KindRow kKinds[] = {
    {SENSOR_LIGHT_ACTIVE, Nxt::kLightActive, Nxt::kPctFullScaleMode},
    {SENSOR_LIGHT_INACTIVE, Nxt::kLightInactive, Nxt::kPctFullScaleMode},
    {SENSOR_TOUCH, Nxt::kSwitch, Nxt::kBooleanMode},
    {SENSOR_SOUND_DB, Nxt::kSoundDb, Nxt::kPctFullScaleMode},
    {SENSOR_SOUND_DBA, Nxt::kSoundDba, Nxt::kPctFullScaleMode},
    {SENSOR_ULTRASONIC, Nxt::kLowSpeed9V, Nxt::kRawMode},
    {SENSOR_COLOR_FULL, Nxt::kColorFull, Nxt::kPctFullScaleMode},
    {SENSOR_COLOR_RED, Nxt::kColorRed, Nxt::kPctFullScaleMode},
    {SENSOR_COLOR_GREEN, Nxt::kColorGreen, Nxt::kPctFullScaleMode},
    {SENSOR_COLOR_BLUE, Nxt::kColorBlue, Nxt::kPctFullScaleMode},
    {SENSOR_COLOR_NONE, Nxt::kColorNone, Nxt::kPctFullScaleMode},
};

// The longest wait between two passes of the ultrasonic loop: a slow sensor is still asked
// often enough that its reading comes back within a few ms of being ready.
const int kLongestPauseMs = 32;

const unsigned char kDistanceRequest[] = {Nxt::kUltrasonicAddress, Nxt::kUltrasonicMeasurement0};
const unsigned char kSonarOn[] = {Nxt::kUltrasonicAddress, Nxt::kUltrasonicCommand,
                                  Nxt::kUltrasonicContinuous};
const unsigned char kSonarOff[] = {Nxt::kUltrasonicAddress, Nxt::kUltrasonicCommand,
                                   Nxt::kUltrasonicOff};

}  // namespace

Sensor::Sensor() : link(nullptr), port(-1), kind(-1) {
  for (const KindRow& row : kKinds) {
    mapping[row.kind][row.type] = row.mode;
  }
}

Sensor::Sensor(const Sensor& other) = default;

Sensor& Sensor::operator=(const Sensor& other) {
  if (this != &other) {
    mapping = other.mapping;
  }
  link = other.link;
  port = other.port;
  kind = other.kind;
  return *this;
}

Sensor::~Sensor() = default;

int Sensor::setSensorType(int newKind) {
  auto row = mapping.find(newKind);
  if (row == mapping.end()) {
    return -1;
  }
  kind = newKind;
  if (port == -1 || link == nullptr) {
    return 1;
  }
  const std::pair<const int, int>& typeMode = *row->second.begin();
  namespace C = Nxt::SetInputModeCommand;
  unsigned char command[C::kLength - Nxt::kFromOpcode] = {Nxt::kSetInputMode};
  Nxt::put(command, C::kPort, static_cast<std::uint32_t>(port), Nxt::kFromOpcode);
  Nxt::put(command, C::kSensorType, static_cast<std::uint32_t>(typeMode.first), Nxt::kFromOpcode);
  Nxt::put(command, C::kSensorMode, static_cast<std::uint32_t>(typeMode.second), Nxt::kFromOpcode);
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return 2;
}

int Sensor::getSensorType() {
  return kind;
}

int Sensor::getValue() {
  switch (kind) {
    case SENSOR_TOUCH:
      return readScaled(true);
    case SENSOR_LIGHT_ACTIVE:
    case SENSOR_LIGHT_INACTIVE:
    case SENSOR_SOUND_DB:
    case SENSOR_SOUND_DBA:
    case SENSOR_COLOR_FULL:
    case SENSOR_COLOR_RED:
    case SENSOR_COLOR_GREEN:
    case SENSOR_COLOR_BLUE:
    case SENSOR_COLOR_NONE:
      return readScaled(false);
    case SENSOR_ULTRASONIC:
      return readUltrasonic();
    default:
      return -1;
  }
}

int Sensor::readScaled(bool lowByteOnly) {
  if (link == nullptr) {
    return -1;
  }
  namespace R = Nxt::GetInputValuesReply;
  unsigned char command[] = {Nxt::kGetInputValues, static_cast<unsigned char>(port)};
  unsigned char reply[R::kLength - Nxt::kFromOpcode];
  std::memset(reply, 0x01, sizeof reply);
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  if (lowByteOnly) {
    return reply[R::kScaled.at(Nxt::kFromOpcode)];
  }
  return static_cast<int>(Nxt::get(reply, R::kScaled, Nxt::kFromOpcode));
}

int Sensor::readUltrasonic() {
  if (link == nullptr) {
    return -1;
  }
  // Each pass asks for a fresh measurement and then whether it has arrived; a sensor that never
  // reports data ready is given up on after kUltrasonicTimeoutMs. From the second pass on, the
  // loop gives the bus time between the two, twice as long each pass (1, 2, 4 ... ms, at most
  // kLongestPauseMs): a reading takes the bus some milliseconds, and asking faster only fills
  // the link. (A pause after the status query instead would let each request restart a
  // measurement that had just finished.) A sensor that takes 4 ms then costs 4 passes, 9
  // telegrams, not hundreds.
  Comm::Deadline deadline(kUltrasonicTimeoutMs);
  int pauseMs = 0;
  for (;;) {
    lsWrite(kDistanceRequest, sizeof kDistanceRequest);
    if (pauseMs > 0) {
      std::this_thread::sleep_for(
          std::chrono::milliseconds(std::min(pauseMs, deadline.remainingMs())));
    }
    if (LSGetStatus() > 0) {
      break;
    }
    if (deadline.expired()) {
      return -1;
    }
    pauseMs = std::min(std::max(1, 2 * pauseMs), kLongestPauseMs);
  }
  unsigned char command[] = {Nxt::kLsRead, static_cast<unsigned char>(port)};
  unsigned char reply[Nxt::LsReadReply::kLength - Nxt::kFromOpcode];
  std::memset(reply, 0x01, sizeof reply);
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return reply[Nxt::LsReadReply::kData - Nxt::kFromOpcode];  // the first byte read
}

void Sensor::lsWrite(const unsigned char* bytes, int n) {
  // The distance request expects one byte back; the command writes expect none.
  unsigned char receive = n == static_cast<int>(sizeof kDistanceRequest) ? 1 : 0;
  namespace C = Nxt::LsWriteCommand;
  const std::size_t header = C::kHeaderLength - Nxt::kFromOpcode;
  unsigned char command[header + sizeof kSonarOn] = {Nxt::kLsWrite};
  Nxt::put(command, C::kPort, static_cast<std::uint32_t>(port), Nxt::kFromOpcode);
  Nxt::put(command, C::kTxLength, static_cast<std::uint32_t>(n), Nxt::kFromOpcode);
  Nxt::put(command, C::kRxLength, receive, Nxt::kFromOpcode);
  std::memcpy(command + header, bytes, static_cast<std::size_t>(n));
  unsigned char reply[Nxt::Reply::kLength - Nxt::kFromOpcode] = {0x01, 0x01};
  link->sendDirectCommand(1, command, static_cast<int>(header) + n, reply, sizeof reply);
}

int Sensor::LSGetStatus() {
  if (link == nullptr) {
    return -1;
  }
  unsigned char command[] = {Nxt::kLsGetStatus, static_cast<unsigned char>(port)};
  unsigned char reply[Nxt::LsGetStatusReply::kLength - Nxt::kFromOpcode] = {0x01, 0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return static_cast<int>(Nxt::get(reply, Nxt::LsGetStatusReply::kBytesReady, Nxt::kFromOpcode));
}

void Sensor::enableSonar() {
  if (link != nullptr) {
    lsWrite(kSonarOn, sizeof kSonarOn);
  }
}

void Sensor::disableSonar() {
  if (link != nullptr) {
    lsWrite(kSonarOff, sizeof kSonarOff);
  }
}

void Sensor::enableLight() {
  if (kind == SENSOR_LIGHT_INACTIVE) {
    setSensorType(SENSOR_LIGHT_ACTIVE);
  }
}

void Sensor::disableLight() {
  if (kind == SENSOR_LIGHT_ACTIVE) {
    setSensorType(SENSOR_LIGHT_INACTIVE);
  }
}

void Sensor::changeColor(int newKind) {
  if (newKind >= SENSOR_COLOR_FULL && newKind <= SENSOR_COLOR_NONE && newKind != kind) {
    setSensorType(newKind);
  }
}

void Sensor::setLogLevel(int) {}

std::map<int, int> Sensor::getSensorMapping(int forKind) {
  auto row = mapping.find(forKind);
  return row != mapping.end() ? row->second : std::map<int, int>();
}

int Sensor::setPort(int newPort) {
  port = newPort;
  return 1;
}

int Sensor::setCommunication(Comm::SerialCommunication* newLink) {
  link = newLink;
  return 1;
}

}  // namespace Lib
}  // namespace Brick
