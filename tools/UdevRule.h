// The udev rule we ship, and the group it gives the brick to: what the tool's fixes name.
#ifndef TOOLS_UDEVRULE_H
#define TOOLS_UDEVRULE_H

namespace BrickTool {

const char* const kRuleFile = "70-nxt-brick.rules";
const char* const kRuleGroup = "plugdev";

}  // namespace BrickTool

#endif
