#include "brick/Log.h"

#include <ctime>
#include <sstream>

namespace Brick {
namespace Lib {

namespace {

// Formats the current local time; `buffer` receives the text.
void now(const char* format, char* buffer, std::size_t size) {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  if (std::strftime(buffer, size, format, &local) == 0) {
    buffer[0] = '\0';
  }
}

}  // namespace

Log::Log() : logLevel(0) {}

Log::Log(char* text, GUID* identifier, int level) {
  char stamp[30];
  now("%d%m%Y%H%M%S", stamp, sizeof stamp);
  logLevel = level;
  std::ostringstream name;
  name << static_cast<const void*>(identifier) << (text != nullptr ? text : "") << stamp << ".log";
  file.open(name.str(), std::ios::out | std::ios::trunc);
  if (!file.is_open()) {
    file.setstate(std::ios::failbit);
  } else {
    file.clear();
  }
}

Log::~Log() {
  if (file.is_open()) {
    file.close();
  }
}

void Log::write(const char* message, int level) {
  if (level > logLevel) {
    return;
  }
  char stamp[40];
  now("%d/%m/%Y-%H:%M:%S", stamp, sizeof stamp);
  file << stamp << " "
       << " " << level << " " << (message != nullptr ? message : "") << "\n";
  file.flush();
}

void Log::setLogLevel(int level) {
  logLevel = level;
}

}  // namespace Lib
}  // namespace Brick
