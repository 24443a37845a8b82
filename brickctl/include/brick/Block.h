// One brick: owns its link, opens and closes it, sends the brick-wide commands (tone, battery,
// name), and keeps the registries that attach Sensors and Motors to its ports.
//
// Results are plain integers: 1 done, -1 refused, and readings. Nothing throws except a failed
// allocation. Whether a command reached the brick shows only in getStatus(). A Block must stay
// at one address while anything is attached to it. Commands to the brick, the Block's and those
// of the Motors and Sensors attached to it, may come from several threads at once: the link
// makes each command and its reply one exchange that no other interleaves with. Attaching and
// detaching Motors and Sensors happen while no other thread uses the Block. The whole rule for
// threads is in docs/threads.md.
#ifndef BRICK_BLOCK_H
#define BRICK_BLOCK_H

#include <map>

#include "brick/Export.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"
#include "comm/SerialCommunication.h"
#include "comm/tStatus.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API Block {
 public:
  Block();
  Block(const Block& other);
  Block& operator=(const Block&) = delete;
  ~Block();

  // Opens the link over USB.
  bool connect();
  // Opens the first bound RFCOMM device that answers.
  bool connectBluetooth();
  // Opens the brick a text designates: "XX:XX:XX:XX:XX:XX" or a device path of at most 255
  // characters (a longer one is refused: false, kLinkBadArgument).
  bool connectBluetooth(char* device);
  int disconnect();

  int playTone(int frequency, int duration);
  int stopTone();
  // Battery voltage in millivolts.
  int getBatteryLevel();
  // Writes the brick's name, NUL-terminated, into `name`, which must hold 256 bytes.
  void getName(char* name);
  // Renames the brick; it keeps at most 15 characters.
  void setName(char* name);
  void setLogLevel(int level);

  // Attaches a sensor whose kind is chosen: -1 when it has none or the port is taken, else
  // what its setSensorType returns (2 after configuring the port).
  int setSensor(Sensor* sensor, int port);
  int remSensor(int port);
  Sensor* getSensor(int port);
  // Attaches a motor: 1, or -1 when the port is taken.
  int setMotor(Motor* motor, int port);
  int remMotor(int port);
  Motor* getMotor(int port);

  // What the link last went through: success, or the first failure since it opened.
  const nFANTOM100::tStatus& getStatus() const;
  // The link itself, for what the operations above do not cover: a system command, or an
  // already open transport of the host's own (SerialCommunication::attach).
  Comm::SerialCommunication& getCommunication();

 private:
  std::map<int, Sensor*> sensors;
  std::map<int, Motor*> motors;
  Comm::SerialCommunication link;
};

}  // namespace Lib
}  // namespace Brick

#endif
