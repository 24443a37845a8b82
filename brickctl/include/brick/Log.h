// A timestamped log file: "<identifier address><text><ddmmYYYYHHMMSS>.log" in the working
// directory, one flushed line per message at or below the log level:
// "dd/mm/YYYY-HH:MM:SS  <level> <message>".
#ifndef BRICK_LOG_H
#define BRICK_LOG_H

#include <fstream>

#include "brick/Export.h"
#include "brick/GUID.h"

namespace Brick {
namespace Lib {

class BRICKCTL_API Log {
 public:
  // A log with no file: lines are filtered, then discarded. The level starts at 0.
  Log();
  // Opens (creating or truncating) the file; a file that cannot be opened leaves the log
  // without one, silently.
  Log(char* text, GUID* identifier, int level);
  ~Log();
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  void write(const char* message, int level);
  void setLogLevel(int level);

 private:
  std::ofstream file;
  int logLevel;
};

}  // namespace Lib
}  // namespace Brick

#endif
