// Drives a brick through the class library's public headers: a tone, the battery, a motor, a
// touch sensor. Give it a device path or a Bluetooth address; the demo gives it the virtual
// brick's pseudo-terminal.
#include <cstdio>

#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: drive DEVICE|XX:XX:XX:XX:XX:XX\n");
    return 2;
  }
  Brick::Lib::Block brick;
  if (!brick.connectBluetooth(argv[1])) {
    std::fprintf(stderr, "drive: cannot open %s\n", argv[1]);
    return 1;
  }
  char name[256];
  brick.getName(name);
  std::printf("connected to \"%s\", battery %d mV\n", name, brick.getBatteryLevel());

  Brick::Lib::Motor left;
  brick.setMotor(&left, 1);
  left.moveForwardDegrees(75, 360);
  Brick::Lib::Sensor touch;
  touch.setSensorType(Brick::Lib::SENSOR_TOUCH);
  brick.setSensor(&touch, 0);
  std::printf("touch reads %d, rotation count %d\n", touch.getValue(), left.getRotationCount());
  brick.playTone(440, 200);
  brick.disconnect();
  return brick.getStatus().isFatal() ? 1 : 0;
}
