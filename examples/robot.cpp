// A small robot through the class library's public headers: a touch sensor on port 0 (which
// then stands in for every other analogue kind), an ultrasonic sensor on port 3 and motors on
// ports 1 and 2. It drives the motors with and without a degree limit, reads the rotation counts
// and every sensor kind, prints what it reads and keeps a log of it in the working directory.
//
// Give it a device path (e.g. /dev/rfcomm0, or the virtual brick's pseudo-terminal) or a
// Bluetooth address. Exit code 0 when every exchange with the brick went through.
#include <cstdio>

#include "brick/Block.h"
#include "brick/GUID.h"
#include "brick/Log.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"

namespace L = Brick::Lib;

namespace {

struct Kind {
  int code;
  const char* name;
};

// The kinds read on port 0, after touch.
const Kind kAnalogueKinds[] = {
    {L::SENSOR_LIGHT_ACTIVE, "light-active"}, {L::SENSOR_LIGHT_INACTIVE, "light-inactive"},
    {L::SENSOR_SOUND_DB, "sound-db"},         {L::SENSOR_SOUND_DBA, "sound-dba"},
    {L::SENSOR_COLOR_FULL, "color-full"},     {L::SENSOR_COLOR_RED, "color-red"},
    {L::SENSOR_COLOR_GREEN, "color-green"},   {L::SENSOR_COLOR_BLUE, "color-blue"},
    {L::SENSOR_COLOR_NONE, "color-none"},
};

// Prints a reading and logs it at level 1.
void report(L::Log& log, const char* what, int value) {
  char line[128];
  std::snprintf(line, sizeof line, "%s %d", what, value);
  std::printf("%s\n", line);
  log.write(line, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: robot DEVICE|XX:XX:XX:XX:XX:XX\n");
    return 2;
  }
  GUID run{};
  char logName[] = "robot";
  L::Log log(logName, &run, 1);

  L::Block brick;
  if (!brick.connectBluetooth(argv[1])) {
    std::fprintf(stderr, "robot: cannot open %s\n", argv[1]);
    log.write("cannot open the brick", 0);
    return 1;
  }
  char name[256];
  brick.getName(name);
  std::printf("brick %s\n", name);
  report(log, "battery-mV", brick.getBatteryLevel());

  // A kind is chosen before attaching; attaching configures the port.
  L::Sensor touch;
  L::Sensor sonar;
  touch.setSensorType(L::SENSOR_TOUCH);
  sonar.setSensorType(L::SENSOR_ULTRASONIC);
  L::Motor left;
  L::Motor right;
  if (brick.setSensor(&touch, 0) != 2 || brick.setSensor(&sonar, 3) != 2 ||
      brick.setMotor(&left, 1) != 1 || brick.setMotor(&right, 2) != 1) {
    std::fprintf(stderr, "robot: cannot attach the sensors and motors\n");
    return 1;
  }

  left.resetRotationCount();
  right.resetRotationCount();
  left.moveForward(75);
  right.moveBackward(75);
  report(log, "rotation-left", left.getRotationCount());
  report(log, "rotation-right", right.getRotationCount());
  left.setBrake(true);  // brakes at once
  right.stop();         // floats
  left.moveForwardDegrees(50, 360);
  right.moveBackwardDegrees(50, 360);
  report(log, "rotation-left", left.getRotationCount());
  report(log, "rotation-right", right.getRotationCount());
  left.stop();
  right.setBrake(true);

  report(log, "touch", touch.getValue());
  sonar.enableSonar();
  report(log, "ultrasonic-cm", sonar.getValue());
  for (const Kind& kind : kAnalogueKinds) {
    touch.setSensorType(kind.code);
    report(log, kind.name, touch.getValue());
  }
  touch.disableLight();  // not a light kind any more: nothing changes
  touch.changeColor(L::SENSOR_COLOR_RED);
  report(log, "color-red", touch.getValue());
  sonar.disableSonar();

  brick.playTone(440, 100);
  brick.disconnect();
  bool ok = brick.getStatus().isSuccess();
  log.write(ok ? "done" : "the link failed", 0);
  std::printf("%s\n", ok ? "done" : "link failed");
  return ok ? 0 : 1;
}
