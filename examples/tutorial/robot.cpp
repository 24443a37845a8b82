// tutorial/robot.cpp: avoid walls, and follow the dark line's left edge once found.
#include <cstdio>
#include <cstdlib>

#include "brick/Block.h"

using namespace Brick::Lib;

const int kDark = 40;

static void powers(Motor& left, int leftPower, Motor& right, int rightPower) {
  left.moveForward(leftPower);
  right.moveForward(rightPower);
}

// Spins on the spot: each wheel 230 degrees, one forwards and one backwards.
static void spin(Block& brick, Motor& left, Motor& right) {
  int start = left.getRotationCount();
  left.moveForwardDegrees(40, 230);
  right.moveForwardDegrees(-40, 230);
  for (int polls = 0; polls < 1000 && brick.getStatus().isSuccess(); ++polls) {
    if (std::abs(left.getRotationCount() - start) >= 230) {
      break;
    }
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: robot DEVICE\n");
    return 2;
  }
  Block brick;
  Motor left;
  Motor right;
  Sensor light;
  Sensor sonar;
  brick.connectBluetooth(argv[1]);
  brick.setMotor(&left, 1);   // output B
  brick.setMotor(&right, 2);  // output C
  light.setSensorType(SENSOR_LIGHT_ACTIVE);
  brick.setSensor(&light, 1);  // input 2
  sonar.setSensorType(SENSOR_ULTRASONIC);
  brick.setSensor(&sonar, 3);  // input 4
  bool following = false;
  for (int step = 0; step < 600; ++step) {
    int centimetres = sonar.getValue();
    int brightness = light.getValue();
    if (!brick.getStatus().isSuccess() || centimetres < 0) {
      std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
      return 1;
    }
    if (centimetres < 25) {
      std::printf("wall %d cm ahead, turning away\n", centimetres);
      spin(brick, left, right);
    } else if (!following && brightness < kDark) {
      std::printf("found the line\n");
      following = true;
    } else if (following) {
      if (brightness < kDark + 2) {
        powers(left, 8, right, 35);  // over the line: bear left
      } else {
        powers(left, 35, right, 8);  // over the floor: bear right
      }
    } else {
      powers(left, 50, right, 50);
    }
  }
  left.stop();
  right.stop();
  brick.disconnect();
  return 0;
}
