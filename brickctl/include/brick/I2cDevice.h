// A digital sensor on an input port's low-speed (I2C) bus, read and written register by
// register, so that any such sensor can be supported. The port must be set to a low-speed type
// first (Input::setMode(Nxt::kLowSpeed9V, Nxt::kRawMode) for the ultrasonic sensor).
//
// A read is an LSWRITE of the address and register, LSGETSTATUS polled every `pollMs` until
// the bytes are ready (at most `timeoutMs`), then an LSREAD. Every operation returns 0 or a
// code of BrickCode.h, recorded in the link's status record: kBrickWaitTimeout when the
// transaction did not end in time, kBrickStatus + 0xDD for a bus error (nobody answered),
// kBrickStatus + 0xE0 for a port not set to the low-speed bus.
#ifndef BRICK_I2CDEVICE_H
#define BRICK_I2CDEVICE_H

#include <cstdint>
#include <string>
#include <vector>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API I2cDevice {
 public:
  // What every digital sensor of the brick's family tells about itself.
  struct Identity {
    std::string version;  // register 0x00, e.g. "V1.0"
    std::string maker;    // register 0x08, e.g. "LEGO"
    std::string type;     // register 0x10, e.g. "Sonar"
    std::string units;    // register 0x14 (the ultrasonic sensor's), e.g. "10E-2m"
  };

  // The ultrasonic sensor's address, the usual one for the family's sensors.
  static constexpr std::uint8_t kDefaultAddress = 0x02;

  I2cDevice(Block& block, int port, std::uint8_t address = kDefaultAddress);
  I2cDevice(Comm::SerialCommunication& link, int port, std::uint8_t address = kDefaultAddress);

  // Writes up to 15 bytes from register `reg` on.
  long write(std::uint8_t reg, const std::vector<std::uint8_t>& data);
  // Reads `count` (1 to 16) bytes from register `reg` on.
  long read(std::uint8_t reg, std::size_t count, std::vector<std::uint8_t>& out);
  // Reads 8 bytes from `reg` as a NUL-padded text.
  long readText(std::uint8_t reg, std::string& out);
  long identify(Identity& out);

  int timeoutMs = 200;
  int pollMs = 2;

 private:
  Comm::SerialCommunication* link;
  int port;
  std::uint8_t address;
};

}  // namespace Lib
}  // namespace Brick

#endif
