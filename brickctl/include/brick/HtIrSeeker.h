// The HiTechnic IR seeker, version 2 (NSK1042), on an input port, at its own address 0x10:
// the direction of an infrared source in nine zones (1 far left, 5 straight ahead, 9 far
// right; 0 no signal) and the strength each of its five detectors sees (0 to 255). Modulated
// (AC) readings see only an IR ball or beacon; unmodulated (DC) ones any infrared light.
// setUp() the port first.
#ifndef BRICK_HTIRSEEKER_H
#define BRICK_HTIRSEEKER_H

#include <array>

#include "brick/DigitalSensor.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API HtIrSeeker : public DigitalSensor {
 public:
  static constexpr std::uint8_t kAddress = 0x10;

  struct Reading {
    int direction = 0;  // 0 none, 1 to 9 left to right
    std::array<int, 5> strength{};
    int mean = 0;  // DC readings only: the sensor's own average
  };
  // The modulation the AC readings are tuned to.
  enum class Band { Hz1200 = 0, Hz600 = 1 };

  HtIrSeeker(Block& block, int port);
  HtIrSeeker(Comm::SerialCommunication& link, int port);

  long readAc(Reading& out);
  long readDc(Reading& out);
  long setBand(Band band);
};

}  // namespace Lib
}  // namespace Brick

#endif
