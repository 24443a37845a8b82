// The machine the brick tool runs on, as the operating system shows it; with a root other than
// "/", its files are looked up below that directory (tests lay out a small machine there).
#ifndef TOOLS_SYSTEMHOST_H
#define TOOLS_SYSTEMHOST_H

#include <string>
#include <vector>

#include "Host.h"

namespace BrickTool {

class SystemHost : public Host {
 public:
  explicit SystemHost(std::string root = "");

  std::string locate(const std::string& path) const override;
  bool exists(const std::string& path) const override;
  bool accessible(const std::string& path) const override;
  std::vector<std::string> listDirectory(const std::string& path) const override;
  std::string readFile(const std::string& path) const override;
  std::string ownerGroup(const std::string& path) const override;

  std::string userName() const override;
  bool isRoot() const override;
  std::vector<std::string> sessionGroups() const override;
  std::vector<std::string> accountGroups() const override;
  std::string variable(const std::string& name) const override;

 private:
  std::string root;
};

}  // namespace BrickTool

#endif
