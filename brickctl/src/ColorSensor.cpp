#include "brick/ColorSensor.h"

#include "brick/BrickCode.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

namespace {

std::uint8_t typeOf(ColorSensor::Mode mode) {
  switch (mode) {
    case ColorSensor::Mode::Red:
      return Nxt::kColorRed;
    case ColorSensor::Mode::Green:
      return Nxt::kColorGreen;
    case ColorSensor::Mode::Blue:
      return Nxt::kColorBlue;
    case ColorSensor::Mode::Ambient:
      return Nxt::kColorNone;
    case ColorSensor::Mode::Full:
      break;
  }
  return Nxt::kColorFull;
}

}  // namespace

ColorSensor::ColorSensor(Block& block, int port) : input(block, port) {}
ColorSensor::ColorSensor(Comm::SerialCommunication& link, int port) : input(link, port) {}

long ColorSensor::setUp(Mode m) {
  mode = m;
  return input.setMode(typeOf(m), Nxt::kRawMode);
}

long ColorSensor::read(int& value) {
  Input::Values values;
  long code = input.getValues(values);
  if (code == kBrickOk) {
    value = values.scaled;
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
