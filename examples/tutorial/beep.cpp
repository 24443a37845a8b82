// tutorial/beep.cpp: one beep, and the battery.
#include <cstdio>

#include "brick/Block.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: beep DEVICE\n");
    return 2;
  }
  Brick::Lib::Block brick;
  brick.connectBluetooth(argv[1]);
  brick.playTone(440, 200);
  int millivolts = brick.getBatteryLevel();
  // The class library never throws: whether the brick answered shows in the status.
  if (!brick.getStatus().isSuccess()) {
    std::fprintf(stderr, "no brick answers at %s\n", argv[1]);
    return 1;
  }
  std::printf("beep; battery %d mV\n", millivolts);
  brick.disconnect();
  return 0;
}
