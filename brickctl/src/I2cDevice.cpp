#include "brick/I2cDevice.h"

#include <chrono>

#include "Request.h"
#include "brick/Block.h"
#include "brick/Ultrasonic.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

using detail::Kind;
using detail::request;

namespace {

const std::size_t kMaxWrite = 15;  // 16 bytes on the bus, the address byte among them

}  // namespace

I2cDevice::I2cDevice(Block& block, int p, std::uint8_t a)
    : link(&block.getCommunication()), port(p), address(a) {}
I2cDevice::I2cDevice(Comm::SerialCommunication& l, int p, std::uint8_t a)
    : link(&l), port(p), address(a) {}

namespace {

using Clock = std::chrono::steady_clock;

// LSWRITE, waiting out a transaction still on the bus: 0, or the failure. "Pending" and "busy"
// answers are expected and not recorded; a refusal that ends the wait is.
long begin(Comm::SerialCommunication* link, int port, std::uint8_t address, std::uint8_t reg,
           const std::vector<std::uint8_t>& data, std::size_t rx, Clock::time_point deadline,
           int pollMs) {
  std::uint8_t command[5 + 16] = {Nxt::kLsWrite,
                                  static_cast<std::uint8_t>(port),
                                  static_cast<std::uint8_t>(2 + data.size()),
                                  static_cast<std::uint8_t>(rx),
                                  address,
                                  reg};
  for (std::size_t i = 0; i < data.size(); ++i) {
    command[6 + i] = data[i];
  }
  for (;;) {
    // A transaction still running refuses a new one with "busy": try again until it is over.
    std::uint8_t written[Nxt::Reply::kLength - Nxt::kFromOpcode];
    long code =
        request(link, Kind::Direct, command, 6 + data.size(), written, sizeof written, false);
    if (code == kBrickOk) {
      break;
    }
    if (code != brickStatusCode(Nxt::kStatusChannelBusy) ||
        std::chrono::steady_clock::now() >= deadline) {
      return isBrickStatus(code) ? BRICK_REFUSE(link, code) : code;
    }
    detail::pause(pollMs);
  }
  return kBrickOk;
}

// LSGETSTATUS until the transaction is over with `rx` bytes waiting: 0, or the failure.
long awaitReady(Comm::SerialCommunication* link, int port, std::size_t rx,
                Clock::time_point deadline, int pollMs) {
  std::uint8_t reply[Nxt::LsGetStatusReply::kLength - Nxt::kFromOpcode];
  std::uint8_t ask[] = {Nxt::kLsGetStatus, static_cast<std::uint8_t>(port)};
  for (;;) {
    long code = request(link, Kind::Direct, ask, sizeof ask, reply, sizeof reply, false);
    if (code == kBrickOk &&
        Nxt::get(reply, Nxt::LsGetStatusReply::kBytesReady, Nxt::kFromOpcode) >= rx) {
      return kBrickOk;
    }
    if (code != kBrickOk && code != brickStatusCode(Nxt::kStatusPending)) {
      return isBrickStatus(code) ? BRICK_REFUSE(link, code) : code;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return BRICK_REFUSE(link, kBrickWaitTimeout);
    }
    detail::pause(pollMs);
  }
}

}  // namespace

long I2cDevice::write(std::uint8_t reg, const std::vector<std::uint8_t>& data) {
  if (port < 0 || port > 3) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  if (data.size() > kMaxWrite - 1) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  long code = begin(link, port, address, reg, data, 0, deadline, pollMs);
  return code != kBrickOk ? code : awaitReady(link, port, 0, deadline, pollMs);
}

long I2cDevice::read(std::uint8_t reg, std::size_t count, std::vector<std::uint8_t>& out) {
  out.clear();
  if (port < 0 || port > 3) {
    return BRICK_REFUSE(link, kBrickBadPort);
  }
  if (count < 1 || count > Nxt::LsReadReply::kDataBytes) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  long code = begin(link, port, address, reg, {}, count, deadline, pollMs);
  if (code != kBrickOk) {
    return code;
  }
  std::uint8_t command[] = {Nxt::kLsRead, static_cast<std::uint8_t>(port)};
  std::uint8_t reply[Nxt::LsReadReply::kLength - Nxt::kFromOpcode];
  // A brick answers LSREAD "pending" while its bus runs, so LSREAD alone is polled: two
  // telegrams when the device is quick. One that reads nothing instead, or says "pending" for
  // longer than a device takes, gets the published order: LSGETSTATUS until the bytes are there,
  // then LSREAD.
  for (int polls = 1;; ++polls) {
    code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
    if (code == kBrickOk &&
        Nxt::get(reply, Nxt::LsReadReply::kBytesRead, Nxt::kFromOpcode) >= count) {
      break;
    }
    if (code == kBrickOk || (code == brickStatusCode(Nxt::kStatusPending) &&
                             polls >= Ultrasonic::kReadPollsBeforeStatus)) {
      code = awaitReady(link, port, count, deadline, pollMs);
      if (code == kBrickOk) {
        code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
      }
      break;
    }
    if (code != brickStatusCode(Nxt::kStatusPending)) {
      break;
    }
    if (Clock::now() >= deadline) {
      return BRICK_REFUSE(link, kBrickWaitTimeout);
    }
    detail::pause(pollMs);
  }
  if (code != kBrickOk) {
    return isBrickStatus(code) ? BRICK_REFUSE(link, code) : code;
  }
  std::size_t got = Nxt::get(reply, Nxt::LsReadReply::kBytesRead, Nxt::kFromOpcode);
  if (got < count) {
    return BRICK_REFUSE(link, kBrickBadReply);
  }
  const std::uint8_t* data = reply + Nxt::LsReadReply::kData - Nxt::kFromOpcode;
  out.assign(data, data + count);
  return kBrickOk;
}

long I2cDevice::readText(std::uint8_t reg, std::string& out) {
  out.clear();
  std::vector<std::uint8_t> bytes;
  long code = read(reg, 8, bytes);
  if (code == kBrickOk) {
    for (std::uint8_t b : bytes) {
      if (b == 0) {
        break;
      }
      out.push_back(static_cast<char>(b));
    }
  }
  return code;
}

long I2cDevice::identify(Identity& out) {
  long code = readText(0x00, out.version);
  if (code == kBrickOk) {
    code = readText(0x08, out.maker);
  }
  if (code == kBrickOk) {
    code = readText(0x10, out.type);
  }
  if (code == kBrickOk) {
    code = readText(0x14, out.units);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
