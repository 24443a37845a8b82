// The `brick` tool run in-process as a user runs it: its exit status and what it printed.
#ifndef TESTS_TOOLRUN_H
#define TESTS_TOOLRUN_H

#include <sstream>
#include <string>
#include <vector>

#include "BrickTool.h"

namespace test {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline Outcome runTool(std::vector<std::string> args,
                       const BrickTool::Environment& environment = BrickTool::Environment()) {
  args.insert(args.begin(), "brick");
  std::vector<const char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  std::ostringstream out;
  std::ostringstream err;
  int status = BrickTool::run(static_cast<int>(argv.size()), argv.data(), out, err, environment);
  return {status, out.str(), err.str()};
}

inline bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace test

#endif
