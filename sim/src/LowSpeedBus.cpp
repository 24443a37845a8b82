// The low-speed (I2C) bus of the input ports: LSWRITE starts a transaction, LSGETSTATUS says
// whether it has run, LSREAD hands over what it brought back.
#include <algorithm>
#include <array>
#include <cstring>

#include "AnswerParts.h"
#include "protocol/Commands.h"
#include "sim/SonarRegisters.h"
#include "sim/VirtualBrick.h"

namespace Sim {

using Nxt::get;
using namespace answer;

namespace {

// The port an LSGETSTATUS or LSREAD asks about, or -1 with the refusal of a telegram too short,
// a port that does not exist or one not set for the bus.
// The firmware refuses a port it does not have before it looks at the command: three bytes,
// not the command's reply layout.
Bytes status3(std::uint8_t opcode, std::uint8_t code) {
  return reply(opcode, code, Nxt::Reply::kLength);
}

int busPort(const std::uint8_t* t, std::size_t n, const std::array<InputState, 4>& inputs,
            Bytes& refusal) {
  if (n < Nxt::PortCommand::kLength) {
    refusal = status(t[1], Nxt::kStatusInsanePacket);
    return -1;
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, Nxt::PortCommand::kPort));
  if (port > 3) {
    refusal = status3(t[1], Nxt::kStatusOutOfRange);  // no such port: the short refusal
    return -1;
  }
  if (!isLowSpeed(inputs[port])) {
    refusal = lsRefusal(t[1], Nxt::kStatusChannelBusy);
    return -1;
  }
  return port;
}

}  // namespace

Bytes VirtualBrick::lsWrite(const std::uint8_t* t, std::size_t n) {
  namespace C = Nxt::LsWriteCommand;
  if (n < C::kHeaderLength) {
    return status(t[1], Nxt::kStatusInsanePacket);
  }
  std::uint8_t port = static_cast<std::uint8_t>(get(t, C::kPort));
  if (port > 3) {
    return status3(t[1], Nxt::kStatusOutOfRange);
  }
  std::size_t tx = get(t, C::kTxLength);
  std::size_t rx = get(t, C::kRxLength);
  if (tx > C::kMaxData || rx > C::kMaxData || n < C::kData + tx) {
    return status(t[1], Nxt::kStatusIllegalSize);
  }
  if (!isLowSpeed(inputs[port])) {
    return status(t[1], Nxt::kStatusChannelBusy);
  }
  UltrasonicState& us = ultrasonic[port];
  if (transactionRunning(us)) {
    return status(t[1], Nxt::kStatusChannelBusy);  // the running transaction goes on
  }
  const std::uint8_t* data = t + C::kData;
  // Nobody acknowledges another address (nor a write too short to name a register). The brick
  // cannot know that yet: it queues the write all the same, and the bus error shows when the
  // transaction has run.
  I2cModel* device = devices[port].get();
  std::uint8_t address = device != nullptr ? device->address() : Nxt::kUltrasonicAddress;
  bool acknowledged = tx >= 2 && data[0] == address && (device != nullptr || sonarFitted[port]);
  std::uint8_t reg = acknowledged ? data[1] : 0;
  if (acknowledged && tx >= 3) {
    device != nullptr ? device->write(reg, data + 2, tx - 2)
                      : SonarRegisters::write(us, reg, data + 2, tx - 2);
  }
  // The last transaction's bytes join those still unread if it has run; one that never ran
  // (a sensor that never answered) brought nothing.
  if (us.pendingPolls >= 0 && environment != nullptr && ultrasonicLatencySeconds > 0) {
    land(us);
  }
  us.incomingCount = 0;
  us.busError = !acknowledged;
  if (!acknowledged) {
    us.bytesReady = 0;
    std::memset(us.data, 0, sizeof us.data);
  }
  if (acknowledged && rx > 0) {
    std::memset(us.incoming, 0, sizeof us.incoming);
    if (device != nullptr) {
      device->read(environment != nullptr ? environment->senses() : Senses(), reg, rx,
                   us.incoming);
    } else {
      if (us.measuring && reg <= Nxt::kUltrasonicMeasurement0 &&
          reg + rx > Nxt::kUltrasonicMeasurement0) {
        us.distance =
            environment != nullptr ? environment->ultrasonicDistance(port) : us.distance;
      }
      SonarRegisters::read(us, reg, rx, us.incoming);
    }
    us.incomingCount = static_cast<std::uint8_t>(rx);
  }
  // The transaction lasts a number of status polls, or a time on the world's clock. The bus
  // moves about a byte a millisecond: the latency is that of a one-byte distance read (the
  // register write, the address again and the byte: 4 bytes), and a longer read takes longer.
  // A write that asks for nothing back still holds the bus for the bytes it writes.
  bool timed = environment != nullptr && ultrasonicLatencySeconds > 0;
  if (timed) {
    std::size_t busBytes = tx + (rx > 0 ? 1 + rx : 0);
    us.readyAt = environment->worldSeconds() +
                 ultrasonicLatencySeconds * static_cast<double>(busBytes) / 4.0;
  }
  us.pendingPolls = ultrasonicLatencyPolls > 0 ? ultrasonicLatencyPolls : (timed ? 0 : -1);
  return status(t[1], Nxt::kStatusOk);
}

Bytes VirtualBrick::lsGetStatus(const std::uint8_t* t, std::size_t n) {
  Bytes refusal;
  int port = busPort(t, n, inputs, refusal);
  if (port < 0) {
    return refusal;
  }
  UltrasonicState& us = ultrasonic[port];
  std::deque<int>& script = lsStatusScript[port];
  bool running = true;
  bool failed = false;
  std::uint8_t ready = 0;
  if (!script.empty()) {
    // A scripted 0 keeps the transaction running; a count ends it.
    ready = static_cast<std::uint8_t>(script.front());
    script.pop_front();
    running = ready == 0;
    us.pendingPolls = running ? std::max(us.pendingPolls, 0) : -1;
  } else if (us.pendingPolls > 0) {
    --us.pendingPolls;  // still on the bus
  } else if (timedTransactionRunning(us)) {
    // still measuring on the world's clock
  } else {
    us.pendingPolls = -1;  // done by now (this poll may be the one that sees it finish)
    land(us);
    running = false;
    failed = us.busError;
    ready = us.bytesReady;
  }
  Bytes answer = reply(t[1],
                       running  ? Nxt::kStatusPending
                       : failed ? Nxt::kStatusBusError
                                : Nxt::kStatusOk,
                       Nxt::LsGetStatusReply::kLength);
  set(answer, Nxt::LsGetStatusReply::kBytesReady, ready);
  return answer;
}

Bytes VirtualBrick::lsRead(const std::uint8_t* t, std::size_t n) {
  Bytes refusal;
  int port = busPort(t, n, inputs, refusal);
  if (port < 0) {
    return refusal;
  }
  UltrasonicState& us = ultrasonic[port];
  if (transactionRunning(us)) {
    // Nothing to read before the bus is done. On the world's clock the transaction ends by
    // itself, so a client may poll with LSREAD alone; status polls a test counts end only
    // with LSGETSTATUS.
    return lsRefusal(t[1], Nxt::kStatusPending);
  }
  land(us);
  if (us.busError) {
    return lsRefusal(t[1], Nxt::kStatusBusError);
  }
  // What the last transaction brought back, once: nothing waits to be read after that, nor
  // after a write that asked for nothing back. That is no fault of the bus.
  Bytes answer = reply(t[1], Nxt::kStatusOk, Nxt::LsReadReply::kLength);
  set(answer, Nxt::LsReadReply::kBytesRead, us.bytesReady);
  std::memcpy(answer.data() + Nxt::LsReadReply::kData, us.data, us.bytesReady);
  us.bytesReady = 0;
  std::memset(us.data, 0, sizeof us.data);
  us.pendingPolls = -1;
  return answer;
}

void VirtualBrick::land(UltrasonicState& us) {
  // Bytes two transactions bring back without an LSREAD between add up, to the 16 the buffer
  // holds: the next LSREAD hands over both.
  std::size_t room = std::min<std::size_t>(us.incomingCount, sizeof us.data - us.bytesReady);
  std::memcpy(us.data + us.bytesReady, us.incoming, room);
  us.bytesReady = static_cast<std::uint8_t>(us.bytesReady + room);
  us.incomingCount = 0;
}

bool VirtualBrick::timedTransactionRunning(const UltrasonicState& us) const {
  return us.pendingPolls >= 0 && environment != nullptr && ultrasonicLatencySeconds > 0 &&
         environment->worldSeconds() < us.readyAt;
}

bool VirtualBrick::transactionRunning(const UltrasonicState& us) const {
  if (us.pendingPolls < 0) {
    return false;  // the bus is idle
  }
  if (us.pendingPolls > 0 || environment == nullptr || ultrasonicLatencySeconds <= 0) {
    return true;  // counted in status polls: over once a poll has seen it finish
  }
  return timedTransactionRunning(us);
}

}  // namespace Sim
