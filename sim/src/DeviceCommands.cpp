// The system commands about the brick itself rather than its files or modules: polling a
// program's reply buffers, the firmware's boot and the radio's factory reset (both refused, as
// a brick refuses them over Bluetooth), and the unpublished Bluetooth address opcode.
#include <algorithm>
#include <cstring>

#include "AnswerParts.h"
#include "protocol/Nxt.h"
#include "sim/VirtualBrick.h"

namespace Sim {

using namespace answer;

namespace {

const std::uint8_t kBluetoothAddress = 0x9A;  // unpublished
const std::uint8_t kUndefinedError = 0x8A;
// A POLL reply's data must fit a telegram after its 5 bytes of head.
const std::size_t kMostPoll = 121;

}  // namespace

bool VirtualBrick::isDeviceCommand(std::uint8_t opcode) {
  return opcode == Nxt::kPoll || opcode == Nxt::kPollCommandLength || opcode == Nxt::kBoot ||
         opcode == Nxt::kBluetoothFactoryReset || opcode == kBluetoothAddress;
}

Bytes VirtualBrick::deviceCommand(const std::uint8_t* t, std::size_t n) {
  std::uint8_t opcode = t[1];
  switch (opcode) {
    case Nxt::kPollCommandLength:
    case Nxt::kPoll: {
      // No program leaves replies to poll: the buffer is echoed, its length 0, and POLL's data
      // asked for comes as zeros.
      std::size_t wanted = opcode == Nxt::kPoll ? 4 : 3;
      if (n < wanted) {
        return reply(opcode, Nxt::kStatusInsanePacket, 5);
      }
      std::size_t count = opcode == Nxt::kPoll ? t[3] : 0;
      // Over USB the reply must fit the 64-byte packet as well.
      if (count > kMostPoll || 5 + count > mostTelegram) {
        Bytes out = reply(opcode, kUndefinedError, 5);
        out[3] = t[2];
        return out;
      }
      Bytes out = reply(opcode, Nxt::kStatusOk, 5 + count);
      out[3] = t[2];
      return out;
    }
    case Nxt::kBoot:
    case Nxt::kBluetoothFactoryReset:
      // A brick takes these over USB only; a virtual one has no firmware to replace nor a radio
      // to reset, so it refuses them as a brick does over Bluetooth.
      return status(opcode, kUndefinedError);
    case kBluetoothAddress: {
      Bytes out = reply(opcode, Nxt::kStatusOk, 3 + address.size() + 1);  // then a 0
      std::copy(address.begin(), address.end(), out.begin() + 3);
      return out;
    }
    default:
      return Bytes();
  }
}

}  // namespace Sim
