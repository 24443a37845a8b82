// SerialCommunication's operations that do not wait for a reply after each command: requests
// sent back to back, and commands that want none.
#include <cstring>
#include <deque>
#include <mutex>

#include "LinkInternals.h"
#include "comm/LinkCode.h"
#include "comm/SerialCommunication.h"
#include "comm/TimeLimits.h"
#include "protocol/Field.h"
#include "protocol/Nxt.h"

namespace Comm {

namespace {

const char* const kThisFile = detail::sourceName(__FILE__);

// Copies a reply as transact() does: a refusal may be shorter than the layout, a success may
// not, as missing bytes would read as values the brick never sent.
long takeReply(const std::uint8_t* telegram, std::size_t n, SerialCommunication::Pipelined& r) {
  std::size_t take = n - Nxt::kFromOpcode;
  const bool refusal = take >= 2 && telegram[Nxt::kFromOpcode + 1] != 0;
  if (r.replyLength < 0) {
    take = 0;
  } else if (take < static_cast<std::size_t>(r.replyLength) && !refusal) {
    return kLinkShortReply;
  } else if (take > static_cast<std::size_t>(r.replyLength)) {
    take = static_cast<std::size_t>(r.replyLength);
  }
  if (take > 0 && r.reply != nullptr) {
    std::memcpy(r.reply, telegram + Nxt::kFromOpcode, take);
  }
  return kLinkOk;
}

std::uint8_t typeOf(const SerialCommunication::Pipelined& r) {
  std::uint8_t type = r.system ? Nxt::kSystemCommand : Nxt::kDirectCommand;
  return r.replyWanted ? type : static_cast<std::uint8_t>(type | 0x80);
}

}  // namespace

long SerialCommunication::confirmPosted() {
  std::lock_guard<std::recursive_mutex> hold(detail::guardOf(this));
  if (transport == nullptr || !transport->unconfirmed) {
    return kLinkOk;
  }
  // The brick answers in order: a reply to this says it has taken everything before.
  const unsigned char keepAlive[] = {Nxt::kKeepAlive};
  unsigned char reply[Nxt::kMaxTelegram];
  Pipelined one;
  one.command = keepAlive;
  one.length = sizeof keepAlive;
  one.reply = reply;
  one.replyLength = 0;
  long rc = pipeline(&one, 1, 1);
  transport->unconfirmed = false;
  return rc;
}

long SerialCommunication::post(bool system, const unsigned char* command, int length) {
  Pipelined one;
  one.system = system;
  one.replyWanted = false;
  one.command = command;
  one.length = length;
  return pipeline(&one, 1, 1);
}

void SerialCommunication::setConfirmCommands(bool on) {
  std::lock_guard<std::recursive_mutex> hold(detail::guardOf(this));
  if (transport != nullptr) {
    transport->confirmCommands = on;
  }
}

bool SerialCommunication::confirmsCommands() const {
  std::lock_guard<std::recursive_mutex> hold(detail::guardOf(this));
  return transport != nullptr && transport->confirmCommands;
}

long SerialCommunication::pipeline(Pipelined* requests, std::size_t n, std::size_t inFlight) {
  std::lock_guard<std::recursive_mutex> hold(detail::guardOf(this));
  long first = kLinkOk;
  auto failAll = [&](std::size_t from, long code, unsigned long line) {
    for (std::size_t i = from; i < n; ++i) {
      requests[i].outcome = code;
    }
    fail(code, kThisFile, line);
    return code;
  };
  if (transport == nullptr || framing == nullptr) {
    return failAll(0, kLinkNotOpen, __LINE__);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Pipelined& r = requests[i];
    if (r.command == nullptr || r.length < 1 ||
        static_cast<std::size_t>(r.length) >= Nxt::kMaxTelegram) {
      return failAll(0, kLinkBadArgument, __LINE__);
    }
  }
  if (inFlight < 1) {
    return failAll(0, kLinkBadArgument, __LINE__);
  }
  std::lock_guard<std::mutex> whole(transport->exchangeLock);
  if (transport->outOfStep) {
    transport->discardInput();
    transport->outOfStep = false;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (requests[i].replyWanted && transport->owes(requests[i].command[0])) {
      long rc = detail::resync(*transport, *framing);
      if (rc != kLinkOk) {
        return failAll(0, rc, __LINE__);
      }
      break;
    }
  }
  std::deque<std::size_t> awaiting;
  // Gives up on the requests still waiting: the brick may yet answer them, so they are owed.
  auto abandon = [&](std::size_t sent, long code, unsigned long line) {
    for (std::size_t i : awaiting) {
      requests[i].outcome = code;
      transport->owe(requests[i].command[0]);
    }
    transport->outOfStep = true;
    failAll(sent, code, line);
    return first != kLinkOk ? first : code;
  };
  std::size_t next = 0;
  while (next < n || !awaiting.empty()) {
    while (next < n && awaiting.size() < inFlight) {
      Pipelined& r = requests[next];
      std::uint8_t telegram[Nxt::kMaxTelegram];
      telegram[0] = typeOf(r);
      std::memcpy(telegram + 1, r.command, static_cast<std::size_t>(r.length));
      Deadline deadline(kReplyTimeoutMs);
      long rc =
          framing->send(*transport, telegram, static_cast<std::size_t>(r.length) + 1, deadline);
      if (rc != kLinkOk) {
        return abandon(next, rc, __LINE__);
      }
      r.outcome = kLinkOk;
      if (r.replyWanted) {
        awaiting.push_back(next);
      } else {
        transport->unconfirmed = true;
      }
      ++next;
    }
    if (awaiting.empty()) {
      continue;
    }
    Deadline deadline(kReplyTimeoutMs);
    std::uint8_t telegram[Nxt::kMaxTelegram];
    std::size_t got = 0;
    long rc = framing->receive(*transport, telegram, sizeof telegram, got, deadline);
    if (rc != kLinkOk) {
      return abandon(next, rc, __LINE__);
    }
    auto match = awaiting.begin();
    while (match != awaiting.end() &&
           !detail::answers(telegram, got, requests[*match].command[0])) {
      ++match;
    }
    if (match == awaiting.end()) {
      // A late reply to an exchange given up on earlier.
      if (got >= 2 && telegram[0] == Nxt::kReply) {
        transport->settle(telegram[1]);
      }
      continue;
    }
    // Replies come in order: those the brick passed over are lost for good.
    for (auto lost = awaiting.begin(); lost != match; ++lost) {
      requests[*lost].outcome = kLinkTimeout;
      fail(kLinkTimeout, kThisFile, __LINE__);
      if (first == kLinkOk) {
        first = kLinkTimeout;
      }
    }
    Pipelined& r = requests[*match];
    r.outcome = takeReply(telegram, got, r);
    if (r.outcome != kLinkOk) {
      fail(r.outcome, kThisFile, __LINE__);
      if (first == kLinkOk) {
        first = r.outcome;
      }
    }
    awaiting.erase(awaiting.begin(), match + 1);
    transport->settleAll();
    transport->unconfirmed = false;
  }
  return first;
}

}  // namespace Comm
