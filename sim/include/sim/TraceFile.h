// Where `--trace` writes: every telegram and its reply, one line each with the world's time,
// flushed at once so that `tail -f` follows a run. Standard error, or a file (OutputFile::open's
// rules). A line that cannot be written is remembered, so that the run ends with a failure
// rather than with a trace that silently stops short.
#ifndef SIM_TRACEFILE_H
#define SIM_TRACEFILE_H

#include <cstdio>
#include <string>
#include <vector>

namespace Sim {

class TraceFile {
 public:
  TraceFile() = default;
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // An empty path is standard error. False, with why in `error`, when the file cannot be had.
  bool open(const std::string& path, bool timeFirst, std::string& error);
  bool isOpen() const { return file != nullptr; }
  // The lines of one exchange (TraceLog::lines), at world time `seconds`.
  void write(double seconds, const std::vector<std::string>& lines);
  // True when every line went out; then says nothing, else why on `error`.
  bool close(std::string& error);

 private:
  std::FILE* file = nullptr;
  std::string name;
  bool timeFirst = false;
  int firstError = 0;
};

}  // namespace Sim

#endif
