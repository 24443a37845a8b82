// Opening a brick from a device text, or finding the one the `brick` tool would use.
#include <string>

#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/DeviceSetting.hpp"

namespace brick {

namespace {

// What the link recorded as the reason it did not open.
long openFailure(const Comm::SerialCommunication& link) {
  long code = link.getStatus().getCode();
  return code != 0 ? code : Comm::kLinkNoDevice;
}

// The brick the tool picks when none is named: USB first, then the bound RFCOMM devices. A USB
// brick this user may not open, or one another program holds, says more than "no brick on
// Bluetooth" would.
long openFirstFound(Comm::SerialCommunication& link) {
  if (link.open()) {
    return 0;
  }
  long usb = openFailure(link);
  if (link.openBT()) {
    return 0;
  }
  return usb == Comm::kLinkAccessDenied || usb == Comm::kLinkBusy ? usb : openFailure(link);
}

long openSetting(Comm::SerialCommunication& link, const DeviceSetting& setting) {
  if (setting.usb()) {
    return link.open() ? 0 : openFailure(link);
  }
  std::string text = setting.text();
  return link.openBT(&text[0]) ? 0 : openFailure(link);
}

}  // namespace

Brick::Brick(std::string_view device) : Brick(std::unique_ptr<Comm::SerialCommunication>()) {
  std::error_code ec;
  *this = open(device, ec);
  Error::throwIf(ec, "brick::Brick::open");
}

Brick Brick::open(std::string_view device, std::error_code& ec) noexcept {
  Brick brick(std::make_unique<Comm::SerialCommunication>());
  std::optional<DeviceSetting> setting;
  if (!device.empty()) {
    setting = DeviceSetting::parse(device, ec);
  } else {
    setting = DeviceSetting::configured(ec);
  }
  if (ec) {
    return brick;
  }
  detail::setOutcome(ec,
                     setting ? openSetting(*brick.link, *setting) : openFirstFound(*brick.link));
  return brick;
}

}  // namespace brick
