// Explores an arena with a two-wheel robot: drives ahead, turns away from walls the ultrasonic
// sensor sees, backs off when the bumper closes, follows the dark line for a while when it
// finds it, and plays a tone at the end. The C++ twin of explore.pl, shorter.
//
// The robot: wheels on outputs B (left) and C (right); touch sensor on input 1, light sensor
// on 2, colour sensor on 3, ultrasonic on 4. Give it a device path (the virtual brick's
// pseudo-terminal, /dev/rfcomm0) or a Bluetooth address:
//   explore DEVICE [STEPS [PAUSE_MS]]
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"
#include "comm/LinkCode.h"

namespace {

using Brick::Lib::Motor;
using Brick::Lib::Sensor;

const int kCruise = 50;
const int kWallCm = 20;  // turn away from a wall this close
const int kDark = 40;    // the light sensor reads below this over the line
const int kFollowSteps = 200;
const char* const kColours[] = {"?", "black", "blue", "green", "yellow", "red", "white"};

int pauseMs = 30;

void rest() {
  if (pauseMs > 0) {
    ::usleep(static_cast<useconds_t>(pauseMs) * 1000);
  }
}

// Whether an exchange with the brick has failed since the status was last cleared. A brick
// out of range or switched off fails every call, and the results are the pre-filled reply
// bytes (a bumper that reads closed): the explorer must stop rather than drive on them.
bool lost(const Brick::Lib::Block& brick) {
  return brick.getStatus().isFatal();
}

// Turns both wheels by `degrees` (left and right powers signed) and waits until the left one
// has got there, or for at most five seconds. The wheels stop first: the brick counts the
// degrees from where a wheel is when the command arrives, and a wheel still running on would
// have moved on from the count read before it (a round trip over Bluetooth is 60 ms), so that
// it could stop short of the degrees counted from that reading.
void turnWheels(const Brick::Lib::Block& brick, Motor& left, Motor& right, int leftPower,
                int rightPower, int degrees) {
  left.stop();
  right.stop();
  int start = left.getRotationCount();
  if (leftPower >= 0) {
    left.moveForwardDegrees(leftPower, degrees);
  } else {
    left.moveBackwardDegrees(-leftPower, degrees);
  }
  if (rightPower >= 0) {
    right.moveForwardDegrees(rightPower, degrees);
  } else {
    right.moveBackwardDegrees(-rightPower, degrees);
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int polls = 0; polls < 1000 && std::chrono::steady_clock::now() < until && !lost(brick);
       ++polls) {
    int moved = std::abs(left.getRotationCount() - start);
    if (moved >= degrees - 2) {
      break;
    }
    rest();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: explore DEVICE|XX:XX:XX:XX:XX:XX [STEPS [PAUSE_MS]]\n");
    return 2;
  }
  int steps = argc > 2 ? std::atoi(argv[2]) : 600;
  pauseMs = argc > 3 ? std::atoi(argv[3]) : 30;

  Brick::Lib::Block brick;
  if (!brick.connectBluetooth(argv[1])) {
    std::fprintf(stderr, "explore: cannot open %s\n", argv[1]);
    return 1;
  }
  char name[256];
  brick.getName(name);
  std::printf("connected to \"%s\", battery %d mV\n", name, brick.getBatteryLevel());

  Motor left;
  Motor right;
  brick.setMotor(&left, 1);
  brick.setMotor(&right, 2);
  Sensor touch;
  Sensor light;
  Sensor colour;
  Sensor sonar;
  touch.setSensorType(Brick::Lib::SENSOR_TOUCH);
  light.setSensorType(Brick::Lib::SENSOR_LIGHT_ACTIVE);
  colour.setSensorType(Brick::Lib::SENSOR_COLOR_FULL);
  sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
  brick.setSensor(&touch, 0);
  brick.setSensor(&light, 1);
  brick.setSensor(&colour, 2);
  brick.setSensor(&sonar, 3);
  sonar.enableSonar();
  left.setBrake(true);
  right.setBrake(true);
  left.resetRotationCount();
  right.resetRotationCount();

  int following = 0;  // steps of line following left; -1 once done
  int touches = 0;
  int turns = 0;
  int failedSteps = 0;
  for (int step = 0; step < steps; ++step) {
    // One failed exchange may be a reply lost in the air; three steps in a row, the brick is
    // gone.
    if (lost(brick)) {
      if (++failedSteps == 3) {
        std::printf("step %d: lost the brick (%s), stopping\n", step,
                    Comm::linkCodeText(brick.getStatus().getCode()));
        return 1;
      }
      brick.getCommunication().clearStatus();
    } else {
      failedSteps = 0;
    }
    if (touch.getValue() == 1) {
      ++touches;
      std::printf("step %d: bumper closed, backing off\n", step);
      turnWheels(brick, left, right, -40, -40, 200);
      turnWheels(brick, left, right, 40, -40, 200);
      continue;
    }
    int distance = sonar.getValue();
    if (distance >= 0 && distance < kWallCm) {
      ++turns;
      std::printf("step %d: wall %d cm ahead, turning away\n", step, distance);
      turnWheels(brick, left, right, 40, -40, 230);
      continue;
    }
    int brightness = light.getValue();
    if (following == 0 && brightness < kDark) {
      following = kFollowSteps;
      std::printf("step %d: found the line (light %d), following it\n", step, brightness);
      turnWheels(brick, left, right, -30, 30, 150);  // swing left, onto the line's left edge
    } else if (following > 0) {
      // Follow the line's left edge: over the dark, bear left; over the floor, bear right.
      bool dark = brightness < kDark + 2;
      left.moveForward(dark ? 8 : 35);
      right.moveForward(dark ? 35 : 8);
      if (--following == 0) {
        following = -1;
        std::printf("step %d: leaving the line\n", step);
      }
    } else {
      left.moveForward(kCruise);
      right.moveForward(kCruise);
    }
    if (step % 25 == 0) {
      // Read one by one, in the order explore.pl reads them, so that both send the same
      // telegrams and a stepped simulation drives both along the same path.
      int c = colour.getValue();
      int l = left.getRotationCount();
      int r = right.getRotationCount();
      std::printf("step %d: sonar %d cm, light %d, floor %s, wheels %d/%d\n", step, distance,
                  brightness, c >= 1 && c <= 6 ? kColours[c] : "?", l, r);
    }
    rest();
  }
  left.stop();
  right.stop();
  brick.playTone(880, 300);
  int l = left.getRotationCount();
  int r = right.getRotationCount();
  std::printf("done: %d wall turns, %d bumps, wheels %d/%d, battery %d mV\n", turns, touches, l, r,
              brick.getBatteryLevel());
  brick.disconnect();
  return brick.getStatus().isFatal() ? 1 : 0;
}
