// The brick maker's temperature sensor (9749) on an input port, at address 0x98. It has no
// identification registers: check() asks it for its configuration, and when nothing answers
// there it names the device at the usual address, if any. Readings are in degrees Celsius,
// -40 to 125, in steps of 0.5 (9 bits, its power-on resolution) down to 0.0625 (12 bits).
// setUp() the port first.
#ifndef BRICK_TEMPERATURESENSOR_H
#define BRICK_TEMPERATURESENSOR_H

#include "brick/DigitalSensor.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API TemperatureSensor : public DigitalSensor {
 public:
  static constexpr std::uint8_t kAddress = 0x98;

  TemperatureSensor(Block& block, int port);
  TemperatureSensor(Comm::SerialCommunication& link, int port);

  long celsius(double& degrees);
  // 9 to 12 bits; more bits take longer to convert (28 ms to 220 ms).
  long setResolution(int bits);

 protected:
  long probe() override;
};

}  // namespace Lib
}  // namespace Brick

#endif
