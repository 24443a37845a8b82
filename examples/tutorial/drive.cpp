// tutorial/drive.cpp: both wheels two turns forward, then a spin on the spot.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brick/Block.h"

using Brick::Lib::Motor;

// Waits until the motor has turned `degrees` from `start`, reading its position every 20 ms. A
// wheel held back never gets there: after 500 readings (ten seconds and more) it waits no
// longer. False when the brick did not answer.
static bool waitFor(Brick::Lib::Block& brick, Motor& motor, int start, int degrees) {
  for (int readings = 0; readings < 500; ++readings) {
    int now = motor.getRotationCount();
    if (!brick.getStatus().isSuccess()) {
      return false;
    }
    if (std::abs(now - start) >= degrees) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

static bool wheels(Brick::Lib::Block& brick, Motor& left, int leftPower, Motor& right,
                   int rightPower, int degrees) {
  int leftStart = left.getRotationCount();
  int rightStart = right.getRotationCount();
  left.moveForwardDegrees(leftPower, degrees);
  right.moveForwardDegrees(rightPower, degrees);
  return waitFor(brick, left, leftStart, degrees) && waitFor(brick, right, rightStart, degrees);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: drive DEVICE\n");
    return 2;
  }
  Brick::Lib::Block brick;
  Motor left;
  Motor right;
  brick.connectBluetooth(argv[1]);
  brick.setMotor(&left, 1);   // output B
  brick.setMotor(&right, 2);  // output C
  if (!wheels(brick, left, 50, right, 50, 720) || !wheels(brick, left, 40, right, -40, 230)) {
    std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
    return 1;
  }
  std::printf("left wheel at %d degrees\n", left.getRotationCount());
  brick.disconnect();
  return 0;
}
