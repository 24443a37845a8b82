// One sensor on one input port of a brick (0 to 3 for ports 1 to 4). The host names what is
// plugged in by a kind code (SENSOR_LIGHT_ACTIVE ... SENSOR_COLOR_NONE); the Sensor configures
// the port for it and reads it, and runs the ultrasonic sensor's exchange on the low-speed bus.
//
// Choose a kind, then attach the Sensor with Block::setSensor. On a Sensor that was never
// attached the reading operations send nothing and return -1.
#ifndef BRICK_SENSOR_H
#define BRICK_SENSOR_H

#include <map>

#include "brick/Export.h"
#include "comm/TimeLimits.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

const int SENSOR_LIGHT_ACTIVE = 800;    // light sensor, lamp on, 0 to 100
const int SENSOR_LIGHT_INACTIVE = 801;  // light sensor, lamp off, 0 to 100
const int SENSOR_TOUCH = 802;           // touch sensor, 0 or 1
const int SENSOR_SOUND_DB = 803;        // sound sensor, dB, 0 to 100
const int SENSOR_SOUND_DBA = 804;       // sound sensor, dBA, 0 to 100
const int SENSOR_ULTRASONIC = 805;      // ultrasonic sensor, centimetres, 255 for no echo
const int SENSOR_COLOR_FULL = 806;      // colour sensor, colour number 1 to 6
const int SENSOR_COLOR_RED = 807;       // colour sensor, red lamp, reflected light
const int SENSOR_COLOR_GREEN = 808;     // colour sensor, green lamp, reflected light
const int SENSOR_COLOR_BLUE = 809;      // colour sensor, blue lamp, reflected light
const int SENSOR_COLOR_NONE = 810;      // colour sensor, lamp off, ambient light

class BRICKCTL_API Sensor {
 public:
  // How long getValue keeps asking an ultrasonic sensor for data before it gives up with -1.
  static constexpr int kUltrasonicTimeoutMs = Comm::kUltrasonicTimeoutMs;

  Sensor();
  Sensor(const Sensor& other);
  Sensor& operator=(const Sensor& other);
  ~Sensor();

  // -1 for a kind not in the table; 1 when stored on a detached Sensor; 2 when stored and the
  // port configured.
  int setSensorType(int kind);
  int getSensorType();
  // The reading for the stored kind, or -1 (no kind, not attached, ultrasonic time-out).
  int getValue();
  // Bytes ready on the port's low-speed bus.
  int LSGetStatus();
  void enableSonar();
  void disableSonar();
  // Switches a light sensor's lamp (kind 801 <-> 800).
  void enableLight();
  void disableLight();
  // Switches a colour sensor among the kinds 806 to 810.
  void changeColor(int kind);
  void setLogLevel(int level);

 protected:
  // The type byte and mode byte for a kind: one entry, or none for an unknown kind.
  std::map<int, int> getSensorMapping(int kind);
  int setPort(int port);
  int setCommunication(Comm::SerialCommunication* link);

 private:
  friend class Block;

  int readScaled(bool lowByteOnly);
  int readUltrasonic();
  void lsWrite(const unsigned char* bytes, int n);

  std::map<int, std::map<int, int>> mapping;
  Comm::SerialCommunication* link;
  int port;
  int kind;
};

}  // namespace Lib
}  // namespace Brick

#endif
