#include "FileNames.h"

#include <algorithm>

namespace Sim {
namespace FileNames {

namespace {

// ASCII only, whatever the host's locale: the brick's own toupper knows no other letters.
std::string upper(const std::string& text) {
  std::string out = text;
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return out;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool same(const std::string& a, const std::string& b) {
  return upper(a) == upper(b);
}

bool matches(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") {
    return true;
  }
  std::string p = upper(pattern);
  std::string n = upper(name);
  if (p.size() > 1 && p[0] == '*' && p[1] == '.') {
    return n.find(p.substr(1, 4)) != std::string::npos;
  }
  if (endsWith(p, ".*")) {
    return n.compare(0, p.size() - 1, p, 0, p.size() - 1) == 0;
  }
  return n == p;
}

bool executable(const std::string& name) {
  std::string n = upper(name);
  return endsWith(n, ".RXE") || endsWith(n, ".RTM") || endsWith(n, ".SYS");
}

}  // namespace FileNames
}  // namespace Sim
