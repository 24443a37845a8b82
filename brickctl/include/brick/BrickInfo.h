// What the brick says about itself (name, Bluetooth address, free flash, firmware), its sleep
// timer (KEEPALIVE), and its sound files.
//
// Every operation returns 0 or a code of BrickCode.h, recorded in the link's status record too.
#ifndef BRICK_BRICKINFO_H
#define BRICK_BRICKINFO_H

#include <cstdint>
#include <string>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API BrickInfo {
 public:
  struct Device {
    std::string name;
    std::uint8_t address[6] = {};  // Bluetooth address, as the brick sends it
    std::uint32_t signalStrength = 0;
    std::uint32_t freeFlash = 0;  // bytes of user flash still free
    // The address as "00:16:53:01:02:03".
    std::string addressText() const;
  };
  struct Firmware {
    int protocolMajor = 0;
    int protocolMinor = 0;
    int firmwareMajor = 0;
    int firmwareMinor = 0;
  };

  explicit BrickInfo(Block& block);
  explicit BrickInfo(Comm::SerialCommunication& link);

  long deviceInfo(Device& out);
  long firmwareVersion(Firmware& out);
  // Resets the brick's sleep timer; `sleepMs` gets the sleep time-out in milliseconds (0: the
  // brick never sleeps).
  long keepAlive(std::uint32_t& sleepMs);
  // Plays a sound file stored on the brick (e.g. "Good Job.rso"), once or looping.
  long playSoundFile(const std::string& name, bool loop = false);
  long stopSoundPlayback();

 private:
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
