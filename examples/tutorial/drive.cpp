// tutorial/drive.cpp: both wheels two turns forward, then a spin on the spot.
#include <cstdio>

#include "brick/Block.h"
#include "brick/Output.h"

using Brick::Lib::Motor;
using Brick::Lib::Output;

// Waits until the motor's move is over, as the brick says in its run state: idle once the goal
// is reached (the wheel coasts on a little). The tacho count is no guide: each move's degrees
// add to the goal of the one before. False when the brick did not answer in ten seconds.
static bool waitFor(Brick::Lib::Block& brick, int port) {
  Output output(brick, port);
  return output.waitUntilFinished(10000) == 0;
}

static bool wheels(Brick::Lib::Block& brick, Motor& left, int leftPower, Motor& right,
                   int rightPower, int degrees) {
  left.moveForwardDegrees(leftPower, degrees);
  right.moveForwardDegrees(rightPower, degrees);
  return waitFor(brick, 1) && waitFor(brick, 2);
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
