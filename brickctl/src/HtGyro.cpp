#include "brick/HtGyro.h"

#include "brick/BrickCode.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

HtGyro::HtGyro(Block& block, int port) : input(block, port) {}
HtGyro::HtGyro(Comm::SerialCommunication& link, int port) : input(link, port) {}

long HtGyro::setUp() {
  return input.setMode(kSensorType, Nxt::kRawMode);
}

long HtGyro::raw(int& counts) {
  Input::Values values;
  long code = input.getValues(values);
  if (code == kBrickOk) {
    counts = values.raw;
  }
  return code;
}

long HtGyro::rate(int& degreesPerSecond) {
  int counts = 0;
  long code = raw(counts);
  if (code == kBrickOk) {
    degreesPerSecond = counts - offset;
  }
  return code;
}

long HtGyro::calibrate(int samples) {
  long sum = 0;
  for (int i = 0; i < samples; ++i) {
    int counts = 0;
    long code = raw(counts);
    if (code != kBrickOk) {
      return code;
    }
    sum += counts;
  }
  if (samples > 0) {
    offset = static_cast<int>((sum + samples / 2) / samples);
  }
  return kBrickOk;
}

}  // namespace Lib
}  // namespace Brick
