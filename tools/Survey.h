// What a machine offers for reaching a brick, as found without talking to one: the USB devices
// that are bricks (or bricks waiting for new firmware), the udev rules that hand a brick to a
// group, and the bound RFCOMM devices. `brick doctor` and `brick list` judge from it.
#ifndef TOOLS_SURVEY_H
#define TOOLS_SURVEY_H

#include <string>
#include <vector>

#include "Host.h"
#include "comm/UsbBackend.h"

namespace BrickTool {

class Survey {
 public:
  struct UsbBrick {
    Comm::UsbDeviceInfo device;
    bool firmwareUpdate = false;  // 0x03EB:0x6124: a brick with no firmware to talk to
    bool accessible = false;      // this user may open its node
  };
  struct UdevRule {
    std::string file;
    std::string group;  // GROUP= of the rule, empty when it sets none
    bool uaccess = false;
  };
  struct RfcommDevice {
    std::string path;
    bool accessible = false;
    std::string group;
  };

  // Looks through the current USB backend and the host.
  explicit Survey(const Host& host);

  // Where a USB device is, as lsusb says it: "bus 001 device 005".
  static std::string place(const Comm::UsbDeviceInfo& device);
  // Directories udev reads rules from, in its order of precedence.
  static const std::vector<std::string>& ruleDirectories();

  bool usbEnumerated = false;
  std::size_t usbDeviceCount = 0;
  std::vector<UsbBrick> usbBricks;
  std::vector<UdevRule> rules;
  std::vector<RfcommDevice> rfcomm;
};

}  // namespace BrickTool

#endif
