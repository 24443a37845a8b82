#include "brick/Sensor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "comm/Deadline.h"
#include "comm/Nxt.h"
#include "comm/SerialCommunication.h"

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
  unsigned char command[] = {Nxt::kSetInputMode, static_cast<unsigned char>(port),
                             static_cast<unsigned char>(typeMode.first),
                             static_cast<unsigned char>(typeMode.second)};
  unsigned char reply[2] = {0x01, 0x01};
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
  unsigned char command[] = {Nxt::kGetInputValues, static_cast<unsigned char>(port)};
  unsigned char reply[15];
  std::memset(reply, 0x01, sizeof reply);
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  if (lowByteOnly) {
    return reply[11];
  }
  return reply[11] + 256 * reply[12];
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
  unsigned char reply[19];
  std::memset(reply, 0x01, sizeof reply);
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return reply[3];
}

void Sensor::lsWrite(const unsigned char* bytes, int n) {
  // The distance request expects one byte back; the command writes expect none.
  unsigned char receive = n == static_cast<int>(sizeof kDistanceRequest) ? 1 : 0;
  unsigned char command[4 + 3] = {Nxt::kLsWrite, static_cast<unsigned char>(port),
                                  static_cast<unsigned char>(n), receive};
  std::memcpy(command + 4, bytes, static_cast<std::size_t>(n));
  unsigned char reply[2] = {0x01, 0x01};
  link->sendDirectCommand(1, command, 4 + n, reply, sizeof reply);
}

int Sensor::LSGetStatus() {
  if (link == nullptr) {
    return -1;
  }
  unsigned char command[] = {Nxt::kLsGetStatus, static_cast<unsigned char>(port)};
  unsigned char reply[3] = {0x01, 0x01, 0x01};
  link->sendDirectCommand(1, command, sizeof command, reply, sizeof reply);
  return reply[2];
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
