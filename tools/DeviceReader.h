// The sensors `brick read` and `brick log` know by a typed driver: the digital ones (compass,
// accelerometer, IR seeker, colour sensor V2, temperature), the gyro and the ultrasonic
// sensor. A reading comes as a line of text for `read` and as one number for `log`.
#ifndef TOOLS_DEVICEREADER_H
#define TOOLS_DEVICEREADER_H

#include <functional>
#include <memory>
#include <string>

#include "brick/Block.h"

namespace BrickTool {

class DeviceReader {
 public:
  struct Reading {
    std::string text;  // e.g. "90 degrees"
    double value = 0;  // the one number a log keeps, e.g. 90
  };

  // The kinds, as `read` lists them; empty text for an unknown kind.
  static const char* kindList();
  static bool known(const std::string& kind);
  // A reader for `kind` on input port 0 to 3; null for an unknown kind.
  static std::unique_ptr<DeviceReader> make(Brick::Lib::Block& block, const std::string& kind,
                                            int port);

  // Sets the port up (and, for a digital sensor, checks which device answers).
  long setUp();
  long read(Reading& out);
  // Why a digital sensor was refused, in a sentence; empty otherwise.
  std::string problem() const { return why ? why() : std::string(); }

 private:
  std::function<long()> prepare;
  std::function<long(Reading&)> take;
  std::function<std::string()> why;
};

}  // namespace BrickTool

#endif
