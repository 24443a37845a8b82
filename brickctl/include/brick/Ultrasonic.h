// The ultrasonic sensor on an input port, read the way the brick runs its low-speed bus: one
// LSWRITE asks the sensor for its first distance, then LSREAD is polled until the bus is done.
// The brick answers LSREAD with "pending" (0x20) while the transaction runs; the first LSREAD
// waits for the bus's time (kMeasurementMs from the LSWRITE), so a reading costs two telegrams
// when the sensor is quick. A brick that does not answer so (LSREAD giving nothing, or "pending"
// for longer than a sensor takes) is asked with LSGETSTATUS instead until the bytes are ready.
//
// "Pending" and "busy" are part of a reading, not failures: an LSWRITE refused with 0xE0 while
// an earlier transaction still runs is sent again once that one is over. The whole reading is
// bounded by Comm::kUltrasonicTimeoutMs. The port must be set up for the sensor first
// (Sensor::setSensorType(SENSOR_ULTRASONIC), or Input::setMode(Nxt::kLowSpeed9V, Nxt::kRawMode)).
//
// read() returns 0 or a code of BrickCode.h, recorded in the link's status record:
// kBrickWaitTimeout when no measurement came in time, kBrickStatus + 0xDD when no sensor
// answered on the bus, kBrickStatus + 0xE0 when the port is not set up for the bus.
#ifndef BRICK_ULTRASONIC_H
#define BRICK_ULTRASONIC_H

#include "brick/BrickCode.h"
#include "brick/Export.h"
#include "comm/TimeLimits.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Ultrasonic {
 public:
  // What the sensor reports when nothing echoes within its range.
  static constexpr int kNoEcho = 255;
  // LSREAD polls answered "pending" before the reading asks LSGETSTATUS instead: more than a
  // sensor on a brick that answers LSREAD so needs (a reading takes the bus a few ms).
  static constexpr int kReadPollsBeforeStatus = 8;
  // The bus's time for a distance: four bytes (address and register out, address and the
  // distance back) at about a byte a millisecond (9600 bit/s, 9 bits a byte), and the
  // firmware's 1 ms pass. The first LSREAD goes no sooner after the LSWRITE: over a link whose
  // round trip is shorter (USB), one LSREAD asked earlier would only be answered "pending".
  static constexpr int kMeasurementMs = 5;

  Ultrasonic(Block& block, int port);
  Ultrasonic(Comm::SerialCommunication& link, int port);

  // The distance in centimetres, 0 to 254, or kNoEcho.
  long read(int& centimetres);

  int timeoutMs = Comm::kUltrasonicTimeoutMs;

 private:
  Comm::SerialCommunication* link;
  int port;
};

}  // namespace Lib
}  // namespace Brick

#endif
