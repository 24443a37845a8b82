#include "brick/Batch.h"

#include <algorithm>
#include <cstring>

#include "Request.h"
#include "brick/Block.h"
#include "brick/Ultrasonic.h"
#include "comm/Deadline.h"
#include "comm/LinkCode.h"
#include "comm/SerialCommunication.h"
#include "protocol/Commands.h"
#include "protocol/FileTelegrams.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"

namespace Brick {
namespace Lib {

using detail::Kind;
using detail::request;

namespace {

const long kPending = kBrickStatus + Nxt::kStatusPending;

// One telegram of the run and where its reply goes.
struct Slot {
  std::size_t item = 0;
  std::uint8_t command[Nxt::SetOutputStateCommand::kLength] = {};
  int length = 0;
  bool replyWanted = true;
  std::uint8_t reply[Nxt::GetOutputStateReply::kLength] = {};
  int replyLength = 0;
};

bool inputPort(int port) {
  return port >= 0 && port <= 3;
}

bool outputPort(int port) {
  return port >= 0 && port <= 2;
}

// The code of one reply: the link's failure, a reply for another command, the brick's refusal.
long outcomeOf(Comm::SerialCommunication* link, const Slot& slot, long linkCode) {
  if (linkCode != Comm::kLinkOk) {
    return linkCode;
  }
  if (!slot.replyWanted) {
    return kBrickOk;
  }
  if (slot.reply[0] != slot.command[0]) {
    return BRICK_REFUSE(link, kBrickBadReply);
  }
  return slot.reply[1] == 0 ? kBrickOk : brickStatusCode(slot.reply[1]);
}

// The distance an LSREAD reply carries: the last byte read (bytes of an earlier transaction
// nobody read come first). False when none was read.
bool distanceOf(const std::uint8_t* reply, int& centimetres) {
  std::size_t got =
      std::min<std::size_t>(Nxt::get(reply, Nxt::LsReadReply::kBytesRead, Nxt::kFromOpcode),
                            Nxt::LsReadReply::kDataBytes);
  if (got == 0) {
    return false;
  }
  centimetres = reply[Nxt::LsReadReply::kData - Nxt::kFromOpcode + got - 1];
  return true;
}

}  // namespace

Batch::Batch(Block& block) : link(&block.getCommunication()) {}
Batch::Batch(Comm::SerialCommunication& l) : link(&l) {}

std::size_t Batch::add(const Item& item) {
  items.push_back(item);
  return items.size() - 1;
}

std::size_t Batch::input(int port) {
  return add(Item{What::Input, port});
}

std::size_t Batch::output(int port) {
  return add(Item{What::Output, port});
}

std::size_t Batch::ultrasonic(int port) {
  return add(Item{What::Ultrasonic, port});
}

std::size_t Batch::setOutput(int port, int power, std::uint8_t mode, std::uint8_t regulation,
                             int turnRatio, std::uint8_t runState, std::uint32_t tachoLimit) {
  Item item{What::SetOutput, port};
  item.power = power;
  item.mode = mode;
  item.regulation = regulation;
  item.turnRatio = turnRatio;
  item.runState = runState;
  item.tachoLimit = tachoLimit;
  return add(item);
}

std::size_t Batch::runRegulated(int port, int power) {
  return setOutput(port, power, Nxt::kModeMotorOn | Nxt::kModeRegulated | Nxt::kModeBrake,
                   Nxt::kRegulationMotorSpeed, 0, Nxt::kRunStateRunning, 0);
}

void Batch::clear() {
  items.clear();
  results.clear();
}

long Batch::run() {
  results.assign(items.size(), Result());
  std::vector<Slot> slots;
  slots.reserve(2 * items.size());
  std::vector<long> refused(items.size(), kBrickOk);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    results[i].what = item.what;
    results[i].port = item.port;
    bool portOk = item.what == What::Input || item.what == What::Ultrasonic ? inputPort(item.port)
                                                                            : outputPort(item.port);
    if (!portOk) {
      refused[i] = kBrickBadPort;
    } else if (item.what == What::SetOutput && (item.power < -100 || item.power > 100 ||
                                                item.turnRatio < -100 || item.turnRatio > 100)) {
      refused[i] = kBrickBadValue;
    }
  }
  auto port = [this](std::size_t i) { return static_cast<std::uint8_t>(items[i].port); };
  // The sensor measures while the rest goes: its LSWRITE first, its LSREAD after the rest.
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (refused[i] == kBrickOk && items[i].what == What::Ultrasonic) {
      Slot s;
      s.item = i;
      const std::uint8_t command[] = {
          Nxt::kLsWrite, port(i), 2, 1, Nxt::kUltrasonicAddress, Nxt::kUltrasonicMeasurement0};
      std::memcpy(s.command, command, sizeof command);
      s.length = sizeof command;
      s.replyLength = Nxt::Reply::kLength - Nxt::kFromOpcode;
      slots.push_back(s);
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (refused[i] != kBrickOk || (items[i].what != What::Input && items[i].what != What::Output)) {
      continue;
    }
    Slot s;
    s.item = i;
    bool in = items[i].what == What::Input;
    s.command[0] = in ? Nxt::kGetInputValues : Nxt::kGetOutputState;
    s.command[1] = port(i);
    s.length = 2;
    s.replyLength = static_cast<int>(
        (in ? Nxt::GetInputValuesReply::kLength : Nxt::GetOutputStateReply::kLength) -
        Nxt::kFromOpcode);
    slots.push_back(s);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (refused[i] == kBrickOk && items[i].what == What::Ultrasonic) {
      Slot s;
      s.item = i;
      s.command[0] = Nxt::kLsRead;
      s.command[1] = port(i);
      s.length = 2;
      s.replyLength = Nxt::LsReadReply::kLength - Nxt::kFromOpcode;
      slots.push_back(s);
    }
  }
  const bool confirm = link != nullptr && link->confirmsCommands();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    if (refused[i] != kBrickOk || item.what != What::SetOutput) {
      continue;
    }
    Slot s;
    s.item = i;
    const std::uint8_t command[] = {Nxt::kSetOutputState,
                                    port(i),
                                    static_cast<std::uint8_t>(item.power),
                                    item.mode,
                                    item.regulation,
                                    static_cast<std::uint8_t>(item.turnRatio),
                                    item.runState,
                                    0,
                                    0,
                                    0,
                                    0};
    std::memcpy(s.command, command, sizeof command);
    Nxt::Files::putU32(s.command + 7, item.tachoLimit);
    s.length = sizeof command;
    s.replyWanted = confirm;
    s.replyLength = Nxt::Reply::kLength - Nxt::kFromOpcode;
    slots.push_back(s);
  }
  std::vector<Comm::SerialCommunication::Pipelined> requests(slots.size());
  for (std::size_t k = 0; k < slots.size(); ++k) {
    requests[k].replyWanted = slots[k].replyWanted;
    requests[k].command = slots[k].command;
    requests[k].length = slots[k].length;
    requests[k].reply = slots[k].reply;
    requests[k].replyLength = slots[k].replyLength;
  }
  if (link == nullptr) {
    for (auto& r : requests) {
      r.outcome = kBrickNotAttached;
    }
  } else if (!requests.empty()) {
    link->pipeline(requests.data(), requests.size(), std::max<std::size_t>(1, inFlight));
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    results[i].code = refused[i] == kBrickOk ? kBrickOk : BRICK_REFUSE(link, refused[i]);
  }
  // An ultrasonic item's LSWRITE outcome, kept until its LSREAD is seen.
  std::vector<long> written(items.size(), kBrickOk);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const Slot& s = slots[k];
    Result& r = results[s.item];
    long code = outcomeOf(link, s, requests[k].outcome);
    switch (items[s.item].what) {
      case What::Input:
        if (code == kBrickOk) {
          Input::decode(s.reply, r.input);
        }
        break;
      case What::Output:
        if (code == kBrickOk) {
          Output::decode(s.reply, r.output);
        }
        break;
      case What::SetOutput:
        break;
      case What::Ultrasonic:
        if (s.command[0] == Nxt::kLsWrite) {
          written[s.item] = code;
          continue;
        }
        code = written[s.item] != kBrickOk ? written[s.item] : code;
        code = finishUltrasonic(s.item, code, s.reply);
        break;
    }
    if (isBrickStatus(code) && link != nullptr) {
      link->recordStatus(code, __FILE__, __LINE__);
    }
    r.code = code;
  }
  for (const Result& r : results) {
    if (r.code != kBrickOk) {
      return r.code;
    }
  }
  return kBrickOk;
}

long Batch::finishUltrasonic(std::size_t index, long code, const std::uint8_t* lsRead) {
  Result& r = results[index];
  if (code == kBrickOk && distanceOf(lsRead, r.centimetres)) {
    return kBrickOk;
  }
  const std::uint8_t command[] = {Nxt::kLsRead, static_cast<std::uint8_t>(r.port)};
  std::uint8_t reply[Nxt::LsReadReply::kLength - Nxt::kFromOpcode];
  Comm::Deadline deadline(Comm::kUltrasonicTimeoutMs);
  // Still on the bus: LSREAD again, alone, while the brick says "pending".
  for (int polls = 0; code == kPending && polls < Ultrasonic::kReadPollsBeforeStatus; ++polls) {
    code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
    if (code == kBrickOk && distanceOf(reply, r.centimetres)) {
      return kBrickOk;
    }
    if (deadline.expired()) {
      return kBrickWaitTimeout;
    }
    detail::pause(code == kPending ? 1 : 0);
  }
  // A brick that reads nothing instead of "pending", or "pending" for longer than a sensor
  // takes: LSGETSTATUS until the byte is there, then LSREAD (the brick's published order).
  if (code == kBrickOk || code == kPending) {
    const std::uint8_t ask[] = {Nxt::kLsGetStatus, static_cast<std::uint8_t>(r.port)};
    std::uint8_t status[Nxt::LsGetStatusReply::kLength - Nxt::kFromOpcode];
    for (;;) {
      code = request(link, Kind::Direct, ask, sizeof ask, status, sizeof status, false);
      if (code == kBrickOk &&
          Nxt::get(status, Nxt::LsGetStatusReply::kBytesReady, Nxt::kFromOpcode) > 0) {
        code = request(link, Kind::Direct, command, sizeof command, reply, sizeof reply, false);
        if (code != kBrickOk) {
          return code;
        }
        return distanceOf(reply, r.centimetres) ? kBrickOk : kBrickBadReply;
      }
      if (code != kBrickOk && code != kPending) {
        return code;
      }
      if (deadline.expired()) {
        return kBrickWaitTimeout;
      }
      detail::pause(1);
    }
  }
  // A transaction from before still on the bus refused the request: the whole reading again.
  if (code == kBrickStatus + Nxt::kStatusChannelBusy) {
    return Ultrasonic(*link, r.port).read(r.centimetres);
  }
  return code;
}

}  // namespace Lib
}  // namespace Brick
