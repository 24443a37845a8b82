// The HiTechnic gyro (NGY1044), an analog sensor, on an input port: the turn rate about its
// axis in degrees a second, about one count per degree a second, up to about +-360. The
// sensor reads some 600 counts at rest, different for each unit and with temperature:
// calibrate() averages readings taken while it stands still. The rate grows when the sensor
// turns clockwise seen from its top (our choice of sign; docs/sensors.md).
#ifndef BRICK_HTGYRO_H
#define BRICK_HTGYRO_H

#include "brick/Export.h"
#include "brick/Input.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API HtGyro {
 public:
  // The sensor type the port is set to: any unpowered analog type giving the raw reading.
  static constexpr std::uint8_t kSensorType = 0x04;
  static constexpr int kTypicalOffset = 600;

  HtGyro(Block& block, int port);
  HtGyro(Comm::SerialCommunication& link, int port);

  long setUp();
  // The raw reading (0 to 1023) and the rate it makes with the offset.
  long raw(int& counts);
  long rate(int& degreesPerSecond);
  // Averages `samples` readings as the offset at rest.
  long calibrate(int samples = 10);

  int offset = kTypicalOffset;

 private:
  Input input;
};

}  // namespace Lib
}  // namespace Brick

#endif
