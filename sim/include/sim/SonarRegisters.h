// The ultrasonic sensor's register map as a client on the low-speed bus sees it: the
// identification texts (version, maker, type, units), the measurement interval and command
// state, the measurements and the calibration. The texts overlap in register space: the sensor
// answers a read from each text's first register with the text, NUL-padded.
#ifndef SIM_SONARREGISTERS_H
#define SIM_SONARREGISTERS_H

#include <cstddef>
#include <cstdint>

#include "sim/Environment.h"

namespace Sim {

class SonarRegisters {
 public:
  // What `count` bytes read from register `reg` on bring back.
  static void read(const UltrasonicState& us, std::uint8_t reg, std::size_t count,
                   std::uint8_t* out);
  // Bytes written to registers from `reg` on: the interval, the command and the calibration
  // take them; the rest are read-only.
  static void write(UltrasonicState& us, std::uint8_t reg, const std::uint8_t* data, std::size_t n);
};

}  // namespace Sim

#endif
