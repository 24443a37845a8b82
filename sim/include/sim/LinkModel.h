// How long the link between a host and a real brick takes to carry telegrams and their replies,
// so that a virtual brick answers at a real brick's pace. The figures and where they come from
// are in docs/virtual-brick.md ("Link model").
//
// The model keeps the time of a run of telegrams the host sent one behind the other (a burst):
// they cost what the link makes them cost together, not the sum of isolated round trips. Times
// count from the start of the burst; idle() ends it.
//
// USB: one packet of at most 64 bytes taken per 1 ms pass of the brick's firmware; a reply held
// about 1 ms until the host collects it. Bluetooth: the bytes cross the serial line between the
// radio and the processor at 460.8 kbit/s (10 bits a byte, the length prefix included), into two
// 128-byte buffers; the firmware takes one telegram per 1 ms pass and answers in that pass; the
// radio takes `turn` seconds each time the traffic changes direction (our assumption, 30 ms by
// default). None: answered at once.
#ifndef SIM_LINKMODEL_H
#define SIM_LINKMODEL_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace Sim {

class LinkModel {
 public:
  enum class Kind { None, Usb, Bluetooth };

  static constexpr double kPass = 0.001;         // the firmware's scheduler runs every 1 ms
  static constexpr double kUsbHold = 0.001;      // a reply waits about 1 ms for the host
  static constexpr std::size_t kUsbPacket = 64;  // bytes a USB packet holds
  static constexpr double kRadioTurn = 0.030;    // ours: the radio's latency per direction change
  static constexpr double kRadioBitsPerSecond = 460800;
  static constexpr double kBitsPerByte = 10;  // start, 8 data, stop
  static constexpr std::size_t kPrefix = 2;   // the length prefix, carried with each telegram

  explicit LinkModel(Kind kind = Kind::None, double turn = kRadioTurn)
      : link(kind), radioTurn(turn) {}

  // "usb", "bluetooth", "bluetooth:MS" (the radio's turn in milliseconds) or "none"; false for
  // anything else.
  static bool fromName(const std::string& name, LinkModel& model) {
    if (name == "usb") {
      model = LinkModel(Kind::Usb);
    } else if (name == "bluetooth") {
      model = LinkModel(Kind::Bluetooth);
    } else if (name.rfind("bluetooth:", 0) == 0 && name.size() > 10) {
      char* end = nullptr;
      double ms = std::strtod(name.c_str() + 10, &end);
      if (*end != '\0' || !(ms >= 0 && ms <= 10000)) {
        return false;
      }
      model = LinkModel(Kind::Bluetooth, ms / 1000);
    } else if (name == "none") {
      model = LinkModel(Kind::None);
    } else {
      return false;
    }
    return true;
  }
  static bool fromName(const std::string& name, Kind& kind) {
    LinkModel model;
    if (!fromName(name, model)) {
      return false;
    }
    kind = model.kind();
    return true;
  }

  Kind kind() const { return link; }
  double turn() const { return radioTurn; }

  // Seconds a telegram's bytes take on the radio's serial line, its length prefix included.
  static double lineSeconds(std::size_t bytes) {
    return static_cast<double>(bytes + kPrefix) * kBitsPerByte / kRadioBitsPerSecond;
  }

  // The burst's time now: when the brick acted on the last telegram.
  double now() const { return at; }

  // A telegram of `bytes` bytes (prefix not counted) sent right behind the burst's earlier ones:
  // moves now() to when the brick acts on it and returns the seconds that took.
  double take(std::size_t bytes) {
    double acted = at;
    switch (link) {
      case Kind::Usb: {
        std::size_t packets = std::max<std::size_t>(1, (bytes + kUsbPacket - 1) / kUsbPacket);
        acted = std::max(at, lastAct) + static_cast<double>(packets) * kPass;
        break;
      }
      case Kind::Bluetooth: {
        // It crosses after the telegrams before it, once one of the two buffers is free again
        // (the brick took the telegram two back); the radio turns toward the brick once.
        double start = std::max(inFree, freeBuffer);
        if (taken == 0) {
          start += radioTurn;
        }
        inFree = start + lineSeconds(bytes);
        acted = std::max(inFree, lastAct) + kPass;
        freeBuffer = previousAct;
        previousAct = acted;
        break;
      }
      case Kind::None:
        break;
    }
    ++taken;
    lastAct = acted;
    double took = acted - at;
    at = acted;
    return took;
  }

  // The brick answers now() with a reply of `bytes` bytes: when (on the burst's time) it reaches
  // the host. Replies leave in order, the radio turning toward the host once.
  double give(std::size_t bytes) {
    double reaches = at;
    switch (link) {
      case Kind::Usb:
        reaches = std::max(at, outFree) + kUsbHold;
        break;
      case Kind::Bluetooth:
        reaches = std::max(at, outFree) + (given == 0 ? radioTurn : 0) + lineSeconds(bytes);
        break;
      case Kind::None:
        break;
    }
    ++given;
    outFree = reaches;
    return reaches;
  }

  // The host sent nothing more: the next telegram starts a new burst.
  void idle() {
    double kindTurn = radioTurn;
    *this = LinkModel(link, kindTurn);
  }

 private:
  Kind link;
  double radioTurn;
  double at = 0;
  double lastAct = 0;
  double inFree = 0;
  double outFree = 0;
  double freeBuffer = 0;
  double previousAct = 0;
  std::size_t taken = 0;
  std::size_t given = 0;
};

}  // namespace Sim

#endif
