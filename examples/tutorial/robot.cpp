// tutorial/robot.cpp: avoid walls, and follow the dark line's left edge once found.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brick/Block.h"

using namespace Brick::Lib;

const int kDark = 40;

static void powers(Motor& left, int leftPower, Motor& right, int rightPower) {
  left.moveForward(leftPower);
  right.moveForward(rightPower);
}

// Spins on the spot: each wheel 230 degrees, one forwards and one backwards. Reads the left
// wheel's position every 20 ms until it is there, or waits no longer after 500 readings.
static void spin(Block& brick, Motor& left, Motor& right) {
  int start = left.getRotationCount();
  left.moveForwardDegrees(40, 230);
  right.moveForwardDegrees(-40, 230);
  for (int readings = 0; readings < 500 && brick.getStatus().isSuccess(); ++readings) {
    if (std::abs(left.getRotationCount() - start) >= 230) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: robot DEVICE [STEPS]\n");
    return 2;
  }
  int steps = argc > 2 ? std::atoi(argv[2]) : 600;
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
  for (int step = 0; step < steps; ++step) {
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
