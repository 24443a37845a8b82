// One brick as library(brick) sees it: the Block and what is attached to its ports, the device
// it was opened at, and the lock that makes each predicate's exchanges one unit on the wire.
//
// Prolog holds a BrickHandle as a blob. Every predicate runs its operation inside an Exchange,
// which takes the lock, clears the link's status record and watches the replies go by, then
// tells the truth about the outcome: a Prolog error when the brick is gone, silent or refused.
// Two Prolog threads may share a brick: the lock keeps one predicate's request and its reply
// together, so neither thread can see the other's reply.
#ifndef BRICKPREDS_BRICK_BRICKHANDLE_H
#define BRICKPREDS_BRICK_BRICKHANDLE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"

namespace Brick {
namespace Prolog {

// An input port's Sensor as library(brick) keeps it: its kind set without a telegram, as the
// port's mode goes by Input, which sends it without a reply by default.
class PortSensor : public Lib::Sensor {
 public:
  // The sensor type and mode a kind of Lib::Sensor's table sets.
  static std::pair<int, int> typeMode(int kind) {
    PortSensor table;
    std::map<int, int> row = table.getSensorMapping(kind);
    if (row.empty()) {
      return {0, 0};
    }
    return {row.begin()->first, row.begin()->second};
  }
  void attach(Comm::SerialCommunication& link, int port, int kind) {
    setPort(-1);  // a sensor without a port only records its kind
    setSensorType(kind);
    setPort(port);
    setCommunication(&link);
  }
};

class BrickHandle {
 public:
  static constexpr int kMotorPorts = 3;
  static constexpr int kSensorPorts = 4;
  // A reply status this handle has not seen: no reply came since the exchange began.
  static constexpr int kNoReply = -1;

  explicit BrickHandle(std::string device);
  ~BrickHandle();
  BrickHandle(const BrickHandle&) = delete;
  BrickHandle& operator=(const BrickHandle&) = delete;

  // Opens the link and makes sure a brick answers there; false when none does. Fills the name.
  bool open();
  void close();
  bool isOpen() const { return opened; }

  const std::string& device() const { return deviceText; }
  Lib::Block& block() { return brick; }
  Lib::Motor& motor(int port) { return motors[port]; }
  PortSensor& sensor(int port) { return sensors[port]; }
  // The kind last set on an input port, 0 for none.
  int& sensorKind(int port) { return kinds[port]; }

  void setTrace(bool on) { trace = on; }
  // Replies awaited at once by brick_read/2: 2 suits Bluetooth, where the brick keeps two.
  std::size_t inFlight = 2;
  bool tracing() const { return trace; }

  std::mutex& lock() { return mutex; }
  // Forgets the outcome of the previous exchange.
  void beginExchange();
  // The status byte of the last reply since beginExchange, or kNoReply.
  int lastReplyStatus() const { return replyStatus; }
  // The first refusal (a status other than success or pending) since beginExchange, or 0.
  int firstRefusal() const { return refusal; }

 private:
  void watch(bool sent, const std::uint8_t* telegram, std::size_t n);

  std::string deviceText;
  Lib::Block brick;
  Lib::Motor motors[kMotorPorts];
  PortSensor sensors[kSensorPorts];
  int kinds[kSensorPorts] = {0, 0, 0, 0};
  // Read without the lock by the argument checks; a close that comes between a check and the
  // exchange leaves a closed link, which the exchange reports as such.
  std::atomic<bool> opened{false};
  bool trace = false;
  int replyStatus = kNoReply;
  int refusal = 0;
  std::mutex mutex;
};

}  // namespace Prolog
}  // namespace Brick

#endif
