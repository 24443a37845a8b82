// Connects to the brick at the path given and checks that it answers.
#include <cstdio>

#include <brick/Block.h>
#include <comm/LinkCode.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: consumer DEVICE\n");
    return 2;
  }
  Brick::Lib::Block brick;
  if (!brick.connectBluetooth(argv[1])) {
    std::fprintf(stderr, "consumer: %s\n", Comm::linkCodeText(brick.getStatus().getCode()));
    return 1;
  }
  char name[256];
  brick.getName(name);
  int millivolts = brick.getBatteryLevel();
  std::printf("%s %d\n", name, millivolts);
  return brick.getStatus().isSuccess() && millivolts > 0 ? 0 : 1;
}
