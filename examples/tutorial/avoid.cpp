// tutorial/avoid.cpp: drive about, turning away from every wall closer than 25 cm.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brick/Block.h"

using namespace Brick::Lib;

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
    std::fprintf(stderr, "usage: avoid DEVICE [STEPS]\n");
    return 2;
  }
  int steps = argc > 2 ? std::atoi(argv[2]) : 300;
  Block brick;
  Motor left;
  Motor right;
  Sensor sonar;
  brick.connectBluetooth(argv[1]);
  brick.setMotor(&left, 1);   // output B
  brick.setMotor(&right, 2);  // output C
  sonar.setSensorType(SENSOR_ULTRASONIC);
  brick.setSensor(&sonar, 3);  // input 4
  for (int step = 0; step < steps; ++step) {
    int centimetres = sonar.getValue();
    if (!brick.getStatus().isSuccess() || centimetres < 0) {
      std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
      return 1;
    }
    if (centimetres < 25) {
      std::printf("wall %d cm ahead, turning away\n", centimetres);
      spin(brick, left, right);
    } else {
      left.moveForward(50);
      right.moveForward(50);
    }
  }
  left.stop();
  right.stop();
  brick.disconnect();
  return 0;
}
