#include "BrickHandle.h"

// SWI-Stream.h first: SWI-Prolog.h declares the standard streams only after it.
#include <SWI-Stream.h>

#include <SWI-Prolog.h>

#include <cstdio>
#include <vector>

#include "protocol/Nxt.h"
#include "protocol/TelegramText.h"

namespace Brick {
namespace Prolog {

BrickHandle::BrickHandle(std::string device) : deviceText(std::move(device)) {}

BrickHandle::~BrickHandle() {
  close();
}

bool BrickHandle::open() {
  bool linked = false;
  if (deviceText == "usb") {
    linked = brick.connect();
  } else if (deviceText == "bluetooth") {
    linked = brick.connectBluetooth();
  } else {
    std::vector<char> text(deviceText.begin(), deviceText.end());
    text.push_back('\0');
    linked = brick.connectBluetooth(text.data());
  }
  if (!linked) {
    return false;
  }
  brick.getCommunication().setTracer(
      [this](bool sent, const std::uint8_t* telegram, std::size_t n) { watch(sent, telegram, n); });
  // A serial device or a bound RFCOMM device opens whether a brick is there or not: only an
  // answer tells. The brick's name is the cheapest question that every brick answers.
  beginExchange();
  char name[256];
  brick.getName(name);
  if (!brick.getStatus().isSuccess() || lastReplyStatus() != Nxt::kStatusOk) {
    brick.disconnect();
    return false;
  }
  for (int port = 0; port < kMotorPorts; ++port) {
    brick.setMotor(&motors[port], port);
  }
  opened = true;
  return true;
}

void BrickHandle::close() {
  if (opened) {
    brick.disconnect();
    brick.getCommunication().setTracer(nullptr);
    opened = false;
  }
}

void BrickHandle::beginExchange() {
  brick.getCommunication().clearStatus();
  replyStatus = kNoReply;
  refusal = 0;
}

void BrickHandle::watch(bool sent, const std::uint8_t* telegram, std::size_t n) {
  if (trace) {
    std::string text = sent ? Nxt::describeCommand(telegram, n) : Nxt::describeReply(telegram, n);
    Sfprintf(Suser_error, "%s %s  %s\n", sent ? ">" : "<", Nxt::hexText(telegram, n).c_str(),
             text.c_str());
  }
  if (sent || n < 3 || telegram[0] != Nxt::kReply) {
    return;
  }
  replyStatus = telegram[2];
  if (replyStatus != Nxt::kStatusOk && replyStatus != Nxt::kStatusPending && refusal == 0) {
    refusal = replyStatus;
  }
}

}  // namespace Prolog
}  // namespace Brick
