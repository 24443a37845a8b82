// What every typed driver of a digital (I2C) sensor shares: setting its port up for the
// low-speed bus, and checking which device answers there before trusting any register.
//
// check() reads the vendor (0x08) and type (0x10) texts at the driver's address and compares
// them with what the driver expects (vendor without regard to case, type without its padding),
// so a colour sensor read as a compass is refused rather than misread. When nothing answers at
// the driver's address, the usual address (0x02) is asked who is there, so that a sensor at
// another address is named too. After a refusal (kBrickWrongDevice, or the bus error),
// problem() says it in a sentence, e.g. "port 2 holds a HiTechnc ColorPD, not a HiTechnic
// compass". Every operation returns 0 or a code of BrickCode.h, recorded in the link's status
// record.
#ifndef BRICK_DIGITALSENSOR_H
#define BRICK_DIGITALSENSOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "brick/BrickCode.h"
#include "brick/Export.h"
#include "brick/I2cDevice.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API DigitalSensor {
 public:
  struct Expected {
    std::uint8_t address;
    std::string what;                 // how the user calls it, e.g. "HiTechnic compass"
    std::vector<std::string> makers;  // empty: a device without identification registers
    std::vector<std::string> types;
  };

  DigitalSensor(Block& block, int port, Expected expected);
  DigitalSensor(Comm::SerialCommunication& link, int port, Expected expected);
  virtual ~DigitalSensor() = default;

  // SETINPUTMODE low-speed with 9 V, raw, then waits `settleMs` for the sensor to power up.
  long setUp();
  // Identifies the device; reads after a successful check skip it.
  long check();
  // Why the last check failed, in a sentence; empty when it did not.
  const std::string& problem() const { return why; }
  // What answered at the last check (empty texts for a device without identification).
  const I2cDevice::Identity& found() const { return seen; }
  int getPort() const { return port; }

  int settleMs = 100;

 protected:
  // A read of the driver's registers, after the check when none has passed yet.
  long readRegisters(std::uint8_t reg, std::size_t count, std::vector<std::uint8_t>& out);
  long writeRegisters(std::uint8_t reg, const std::vector<std::uint8_t>& data);
  // For a device without identification: whether it answers at its address at all.
  virtual long probe();

  I2cDevice bus;
  Comm::SerialCommunication* link;

 private:
  long nobodyHome(long code);

  int port;
  Expected expected;
  bool checked = false;
  std::string why;
  I2cDevice::Identity seen;
};

}  // namespace Lib
}  // namespace Brick

#endif
