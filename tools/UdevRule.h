// The udev rule we ship, and the group it gives the brick to: what the tool's fixes name.
#ifndef TOOLS_UDEVRULE_H
#define TOOLS_UDEVRULE_H

#include <string>

#include "UdevRuleText.h"

namespace BrickTool {

const char* const kRuleFile = "70-nxt-brick.rules";
const char* const kRuleGroup = "plugdev";

// The shell line that installs the rule where udev reads it, needing no copy of our files.
inline std::string ruleInstallCommand() {
  return std::string("echo '") + kRuleText + "' | sudo tee /etc/udev/rules.d/" + kRuleFile +
         " >/dev/null";
}

}  // namespace BrickTool

#endif
