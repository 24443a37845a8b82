// What the brick tool sees of the machine it runs on: device nodes, udev rule files, the user,
// the groups and the environment variables. `brick doctor` and `brick list` look only through this,
// so that tests can stand in for a machine with a brick, without one, or with the wrong
// permissions.
//
// Paths are the machine's own (/dev/rfcomm0, /etc/udev/rules.d); an implementation may keep
// them elsewhere (under a directory that stands for the root, in tests).
#ifndef TOOLS_HOST_H
#define TOOLS_HOST_H

#include <string>
#include <vector>

namespace BrickTool {

class Host {
 public:
  virtual ~Host() = default;

  // Where the machine's `path` really is; what the link opens.
  virtual std::string locate(const std::string& path) const = 0;
  virtual bool exists(const std::string& path) const = 0;
  // True when this user may open the node for reading and writing (access(2)).
  virtual bool accessible(const std::string& path) const = 0;
  // Names of the entries of a directory, sorted; empty when there is no such directory.
  virtual std::vector<std::string> listDirectory(const std::string& path) const = 0;
  // A file's text; empty when it cannot be read.
  virtual std::string readFile(const std::string& path) const = 0;
  // The group that owns a node, by name; empty when unknown.
  virtual std::string ownerGroup(const std::string& path) const = 0;

  virtual std::string userName() const = 0;
  virtual bool isRoot() const = 0;
  // Groups this process has now.
  virtual std::vector<std::string> sessionGroups() const = 0;
  // Groups the account is in by the group database: differs from the session's until the user
  // logs in again after being added.
  virtual std::vector<std::string> accountGroups() const = 0;
  // An environment variable's value; empty when unset.
  virtual std::string variable(const std::string& name) const = 0;
};

}  // namespace BrickTool

#endif
