#include "sim/TraceFile.h"

#include <cerrno>
#include <cstring>

#include "sim/OutputFile.h"

namespace Sim {

TraceFile::~TraceFile() {
  std::string ignored;
  close(ignored);
}

bool TraceFile::open(const std::string& path, bool timeFirst_, std::string& error) {
  timeFirst = timeFirst_;
  name = path;
  file = path.empty() ? stderr : OutputFile::open(path, error);
  return file != nullptr;
}

void TraceFile::write(double seconds, const std::vector<std::string>& lines) {
  if (file == nullptr) {
    return;
  }
  // The world's time ends every line, so that "> hex  decoded" stays the start of the line for
  // whoever reads it back; --trace-time puts it first instead.
  char when[32];
  std::snprintf(when, sizeof when, "%.6f", seconds);
  bool good = true;
  for (const std::string& line : lines) {
    good = (timeFirst ? std::fprintf(file, "%s %s\n", when, line.c_str())
                      : std::fprintf(file, "%s  t=%s\n", line.c_str(), when)) >= 0 &&
           good;
  }
  good = std::fflush(file) == 0 && good;
  if (!good && firstError == 0) {
    firstError = errno != 0 ? errno : EIO;
  }
}

bool TraceFile::close(std::string& error) {
  if (file != nullptr && file != stderr && std::fclose(file) != 0 && firstError == 0) {
    firstError = errno != 0 ? errno : EIO;
  }
  file = nullptr;
  if (firstError != 0) {
    error = "cannot write all of the trace " +
            (name.empty() ? std::string("on standard error") : name) + ": " +
            std::strerror(firstError);
  }
  return firstError == 0;
}

}  // namespace Sim
