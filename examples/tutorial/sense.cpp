// tutorial/sense.cpp: what the bumper and the ultrasonic sensor read.
#include <cstdio>

#include "brick/Block.h"

using namespace Brick::Lib;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sense DEVICE\n");
    return 2;
  }
  Block brick;
  Sensor bumper;
  Sensor sonar;
  brick.connectBluetooth(argv[1]);
  bumper.setSensorType(SENSOR_TOUCH);  // choose the kind first, then attach
  brick.setSensor(&bumper, 0);         // input 1
  sonar.setSensorType(SENSOR_ULTRASONIC);
  brick.setSensor(&sonar, 3);  // input 4
  int pressed = bumper.getValue();
  int centimetres = sonar.getValue();
  if (!brick.getStatus().isSuccess() || centimetres < 0) {
    std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
    return 1;
  }
  std::printf("bumper %d, wall %d cm ahead\n", pressed, centimetres);
  brick.disconnect();
  return 0;
}
