// How long the link between a host and a real brick takes to carry a telegram and its reply,
// so that a virtual brick answers at a real brick's pace. The figures and where they come from
// are in docs/virtual-brick.md ("Link model").
//
// USB: the brick's firmware looks at its USB buffers once every 1 ms cycle, so a request waits
// about 1 ms before it is acted on and the reply leaves in the next 0.5 ms on average.
// Bluetooth: the brick's radio takes about 30 ms to switch between receiving and sending, once
// for the request and once for the reply, and its bytes cross the radio's 460.8 kbit/s serial
// line (10 bits a byte, the 2-byte length prefix included). None: answered at once.
#ifndef SIM_LINKMODEL_H
#define SIM_LINKMODEL_H

#include <cstddef>
#include <string>

namespace Sim {

class LinkModel {
 public:
  enum class Kind { None, Usb, Bluetooth };

  explicit LinkModel(Kind kind = Kind::None) : link(kind) {}

  // "usb", "bluetooth" or "none"; false for anything else.
  static bool fromName(const std::string& name, Kind& kind) {
    if (name == "usb") {
      kind = Kind::Usb;
    } else if (name == "bluetooth") {
      kind = Kind::Bluetooth;
    } else if (name == "none") {
      kind = Kind::None;
    } else {
      return false;
    }
    return true;
  }

  Kind kind() const { return link; }

  // Seconds from a host sending a telegram of `bytes` bytes to the brick acting on it.
  double requestSeconds(std::size_t bytes) const { return leg(bytes, kUsbRequest); }
  // Seconds from the brick answering to a reply of `bytes` bytes reaching the host.
  double replySeconds(std::size_t bytes) const { return leg(bytes, kUsbReply); }

  static constexpr double kUsbRequest = 0.001;
  static constexpr double kUsbReply = 0.0005;
  static constexpr double kRadioSwitch = 0.030;
  static constexpr double kRadioBitsPerSecond = 460800;

 private:
  double leg(std::size_t bytes, double usb) const {
    switch (link) {
      case Kind::Usb:
        return usb;
      case Kind::Bluetooth:
        return kRadioSwitch + static_cast<double>(bytes + 2) * 10 / kRadioBitsPerSecond;
      case Kind::None:
        break;
    }
    return 0;
  }

  Kind link;
};

}  // namespace Sim

#endif
