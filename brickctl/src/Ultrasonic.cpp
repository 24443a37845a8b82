#include "brick/Ultrasonic.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "Request.h"
#include "brick/Block.h"
#include "comm/Deadline.h"
#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

using detail::Kind;
using detail::request;

namespace {

// Polls start at once and back off to this: a sensor that is slow today is still asked often
// enough to be read within a few ms of its measurement, and a quick one costs no sleep at all.
const int kLongestPauseMs = 8;

const long kPending = kBrickStatus + Nxt::kStatusPending;
const long kBusy = kBrickStatus + Nxt::kStatusChannelBusy;

class Reading {
 public:
  Reading(Comm::SerialCommunication* l, int p, int timeoutMs)
      : link(l), port(static_cast<std::uint8_t>(p)), deadline(timeoutMs) {}

  // LSWRITE of the distance request. A transaction still on the bus (LSGETSTATUS "pending", or
  // just over) refuses it with 0xE0: it goes again once that one is done. A port not set up for
  // the bus refuses LSWRITE with 0xE0 too, and LSGETSTATUS with 0xE0: that ends the reading.
  long start() {
    namespace C = Nxt::LsWriteCommand;
    const std::uint8_t command[] = {
        Nxt::kLsWrite, port, 2, 1, Nxt::kUltrasonicAddress, Nxt::kUltrasonicMeasurement0};
    static_assert(sizeof command == C::kHeaderLength - Nxt::kFromOpcode + 2, "address, register");
    for (;;) {
      std::uint8_t reply[Nxt::Reply::kLength - Nxt::kFromOpcode];
      written = std::chrono::steady_clock::now();
      long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
      if (code != kBusy) {
        return code;
      }
      std::uint8_t ready = 0;
      code = status(ready);
      if (code != kPending && code != kBrickOk && code != kBrickStatus + Nxt::kStatusBusError) {
        return code;
      }
      if (deadline.expired()) {
        return kBrickWaitTimeout;
      }
      wait();
    }
  }

  // Polls until the byte is in: LSREAD, or LSGETSTATUS and then one LSREAD once LSREAD is found
  // not to say "pending" while the bus runs.
  long finish(int& centimetres) {
    bool askStatus = false;
    pauseMs = 0;
    // The brick took the LSWRITE no sooner than it was sent, and takes the LSREAD no sooner
    // than it is sent, each after the link's one-way time: sent kMeasurementMs apart, the
    // LSREAD finds the bus done. Over Bluetooth the LSWRITE's round trip alone takes longer.
    auto measured = written + std::chrono::milliseconds(Ultrasonic::kMeasurementMs);
    auto latest = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(std::max(0, deadline.remainingMs()));
    std::this_thread::sleep_until(std::min(measured, latest));
    for (int polls = 1;; ++polls) {
      std::size_t got = 0;
      if (askStatus) {
        std::uint8_t ready = 0;
        long code = status(ready);
        if (code == kBrickOk && ready > 0) {
          code = lsRead(centimetres, got);
          return code == kBrickOk && got == 0 ? kBrickBadReply : code;
        }
        if (code != kBrickOk && code != kPending) {
          return code;
        }
      } else {
        long code = lsRead(centimetres, got);
        if (code == kBrickOk && got > 0) {
          return kBrickOk;
        }
        if (code == kBrickOk || polls >= Ultrasonic::kReadPollsBeforeStatus) {
          askStatus = true;  // LSREAD gave nothing, or "pending" for longer than a sensor takes
        } else if (code != kPending) {
          return code;
        }
      }
      if (deadline.expired()) {
        return kBrickWaitTimeout;
      }
      wait();
    }
  }

 private:
  long lsRead(int& centimetres, std::size_t& got) {
    const std::uint8_t command[] = {Nxt::kLsRead, port};
    std::uint8_t reply[Nxt::LsReadReply::kLength - Nxt::kFromOpcode];
    long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
    if (code == kBrickOk) {
      got = std::min<std::size_t>(Nxt::get(reply, Nxt::LsReadReply::kBytesRead, Nxt::kFromOpcode),
                                  Nxt::LsReadReply::kDataBytes);
      // Bytes of an earlier transaction nobody read come first: the last byte is this one's.
      if (got > 0) {
        centimetres = reply[Nxt::LsReadReply::kData - Nxt::kFromOpcode + got - 1];
      }
    }
    return code;
  }

  long status(std::uint8_t& ready) {
    const std::uint8_t command[] = {Nxt::kLsGetStatus, port};
    std::uint8_t reply[Nxt::LsGetStatusReply::kLength - Nxt::kFromOpcode];
    long code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
    ready = static_cast<std::uint8_t>(
        Nxt::get(reply, Nxt::LsGetStatusReply::kBytesReady, Nxt::kFromOpcode));
    return code;
  }

  void wait() {
    pauseMs = std::min(std::max(1, 2 * pauseMs), kLongestPauseMs);
    detail::pause(std::min(pauseMs, deadline.remainingMs()));
  }

  Comm::SerialCommunication* link;
  std::uint8_t port;
  Comm::Deadline deadline;
  int pauseMs = 0;
  std::chrono::steady_clock::time_point written;  // when the accepted LSWRITE went
};

}  // namespace

Ultrasonic::Ultrasonic(Block& block, int p) : link(&block.getCommunication()), port(p) {}
Ultrasonic::Ultrasonic(Comm::SerialCommunication& l, int p) : link(&l), port(p) {}

long Ultrasonic::read(int& centimetres) {
  if (port < 0 || port > 3) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  Reading reading(link, port, timeoutMs);
  long code = reading.start();
  if (code == kBrickOk) {
    code = reading.finish(centimetres);
  }
  // The link has recorded its own failures; the brick's refusals and the wait are recorded here.
  if (isBrickStatus(code) || code == kBrickWaitTimeout || code == kBrickBadReply) {
    return BRICK_REFUSE(link, code);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
