// The link to one brick: carries direct and system command telegrams to it and brings its
// replies back, over USB, an RFCOMM socket or a serial device.
//
// Error model: no operation throws. The opening operations return false when nothing opened;
// every failure (time-out, I/O error, a link that is not open, a corrupt frame, a reply shorter
// than its command's, a refusal where the link itself reads the brick's status byte) is
// recorded in the status record with the file and line where it arose, and the first fatal
// code stays until the next successful open. A command whose reply does not come, or comes
// short, leaves the caller's reply buffer exactly as it was.
//
// Time limits (all in comm/TimeLimits.h): each command's exchange, send and reply together, is
// bounded by kReplyTimeoutMs. Opening USB does not wait on the brick. Opening a Bluetooth
// address waits up to kConnectTimeoutMs to connect; opening a device path does not wait.
// openBT() with no device tries each bound RFCOMM device with one exchange, at most
// kRfcommScanTimeoutMs in all. getName and setName are one exchange each.
//
// Replies: a call returns its own reply or records a failure, never the late reply to an earlier
// call. The brick answers in order, so after a failed exchange the link remembers which replies
// it still owes; before a command whose opcode such a late reply would echo, it first sends a
// keep-alive (or another harmless command with a reply) and passes over everything before that
// answer. That exchange may so take up to one more kReplyTimeoutMs (two, when the probes
// themselves went unanswered).
//
// Threads: any number of threads may use one link, and copies of it, at once. Each command and
// its reply form one exchange that no other thread's exchange on the same device interleaves
// with; open, close and attach wait for the exchange in progress (copying a link does not: copy
// it while no other thread opens or closes it). The lock costs some tens of
// nanoseconds when uncontended (bench/). The status record collects every thread's failures;
// read it while no other thread uses the link. transact() gives one exchange's own outcome,
// whatever other threads do. Copies of a link share the open device. The rule for every layer
// above is in docs/threads.md.
//
// Tracing: a tracer set with setTracer sees every telegram as the brick sees it, without the
// framing, in the caller's thread, while the link is locked: a tracer must not call the link. It
// stays across closes and opens.
#ifndef COMM_SERIALCOMMUNICATION_H
#define COMM_SERIALCOMMUNICATION_H

#include <cstddef>
#include <cstdint>

#include "comm/Export.h"
#include "comm/Framing.h"
#include "comm/TracingFraming.h"
#include "comm/Transport.h"
#include "comm/tStatus.h"

namespace Comm {

class COMM_API SerialCommunication {
 public:
  using Tracer = TracingFraming::Tracer;

  SerialCommunication() : status(), transport(nullptr), framing(nullptr) {}
  // Frees the transport, then the framing, once the last copy sharing them goes.
  ~SerialCommunication() {
    RefCounted::release(transport);
    RefCounted::release(framing);
  }
  // The copy refers to the same transport and framing as the original.
  SerialCommunication(const SerialCommunication& other)
      : status(other.status), transport(other.transport), framing(other.framing) {
    if (transport != nullptr) {
      transport->retain();
    }
    if (framing != nullptr) {
      framing->retain();
    }
  }
  SerialCommunication& operator=(const SerialCommunication&) = delete;

  // Opens the first brick on USB.
  bool open();
  // Opens the first bound RFCOMM device, /dev/rfcomm0 to /dev/rfcomm9, that answers.
  bool openBT();
  // Opens the brick a text designates: a Bluetooth address XX:XX:XX:XX:XX:XX (RFCOMM channel
  // 1), or the path of a serial device such as /dev/rfcomm0 or a pseudo-terminal.
  bool openBT(char* device);
  // Closes whatever is open, once the brick has taken what was posted (confirmPosted); harmless
  // when nothing is open.
  void close();

  // Writes the brick's name, NUL-terminated, into `name` (at most 256 bytes); an empty text
  // when the brick does not answer.
  void getName(char* name);
  // Renames the brick (it keeps at most 15 characters). True when the brick accepted it.
  bool setName(char* name);

  // Sends a direct command: `command` from the opcode on, `length` bytes. With `replyWanted`
  // set, waits for the reply that echoes the opcode and copies at most `replyLength` bytes of
  // it, from the echoed opcode on, into `reply`; bytes the reply does not cover keep what the
  // caller put there.
  void sendDirectCommand(unsigned short replyWanted, unsigned char* command, int length,
                         unsigned char* reply, int replyLength);
  // The same for a system command (telegram type 0x01).
  void sendSystemCommand(unsigned short replyWanted, unsigned char* command, int length,
                         unsigned char* reply, int replyLength);

  // One exchange (a reply wanted) whose outcome is its own, whatever other threads do on this
  // link: kLinkOk, or the link's failure, which the status record also collects. A reply that
  // carries a refusal (a status byte other than 0) may be shorter than `replyLength`, as a brick
  // refuses some commands in opcode and status alone: what came is copied, the rest of `reply`
  // is left as it was, and the status byte is the caller's to read.
  long transact(bool system, const unsigned char* command, int length, unsigned char* reply,
                int replyLength);

  // transact() for a system command or a reply longer than one 64-byte telegram, as a Bluetooth
  // brick takes them: telegrams up to 128 bytes, and beyond that a WRITE whose data it takes as
  // the bytes arrive or a READ it answers in one long reply (at most kMaxStreamTelegram bytes,
  // the type byte included). `got` is the length of the reply that came, from the opcode on; a
  // reply shorter than `replyLength` is no failure here (a brick may carry less than asked).
  // Over a packet link (USB) nothing longer than one packet goes: kLinkBadArgument.
  long transactLong(const unsigned char* command, std::size_t length, unsigned char* reply,
                    std::size_t replyLength, std::size_t& got);
  // Whether telegrams over 64 bytes may go: a stream link (Bluetooth) whose brick has not
  // refused one. The answer belongs to the open device, shared by copies of the link.
  bool carriesLongTelegrams() const;
  // Remembers that the brick refused a long telegram: from now on, on this device, false above.
  void keepToShortTelegrams();
  // True over USB, where each telegram is one packet and a WRITE may go without a reply.
  bool isPacketLink() const;

  // One request of a pipelined run: a command (from the opcode on), and when it wants a reply,
  // where that goes, filled as transact() fills it. `outcome` is set to kLinkOk or this
  // request's own failure.
  struct Pipelined {
    bool system = false;
    bool replyWanted = true;
    const unsigned char* command = nullptr;
    int length = 0;
    unsigned char* reply = nullptr;
    int replyLength = 0;
    long outcome = 0;
  };
  // Sends `n` requests in order without waiting for each reply before the next, keeping at
  // most `inFlight` (at least 1) replies outstanding, and hands each reply to its request. The
  // brick answers in order, so a reply that echoes a later request's opcode means the earlier
  // ones' replies were lost: those fail with kLinkTimeout. After a failure of the link itself
  // nothing more is sent, and every request not yet answered fails with it. Returns kLinkOk, or
  // the first failure, which the status record also collects. No other exchange on this link
  // interleaves with the run. Each reply is awaited for at most kReplyTimeoutMs.
  long pipeline(Pipelined* requests, std::size_t n, std::size_t inFlight);
  // Sends one command that wants no reply (type 0x80 or 0x81): kLinkOk once it is written, or
  // the link's failure, recorded.
  long post(bool system, const unsigned char* command, int length);

  // Makes sure the brick has taken the commands sent without a reply: when any went since the
  // last reply, one keep-alive exchange (the brick answers in order). close() does it first, so
  // that the last motor command of a program is not lost with the link.
  long confirmPosted();

  // Whether the newer classes ask for a reply to commands whose reply says only "done" (motors,
  // tones, sounds, sensor modes), to hear the brick's refusal. Off by default: each reply costs
  // a round trip (about 60 ms over Bluetooth). The choice belongs to the open device, shared by
  // copies of the link; opening again starts with it off. Ignored while nothing is open.
  void setConfirmCommands(bool on);
  bool confirmsCommands() const;

  // Takes ownership of an already open transport and a framing, closing what was open. This is
  // how tests, benchmarks and other transports plug in.
  void attach(Transport* newTransport, Framing* newFraming);
  bool isOpen() const { return transport != nullptr; }
  // Reports every telegram from now on; an empty tracer stops it.
  void setTracer(Tracer tracer);

  const nFANTOM100::tStatus& getStatus() const { return status; }
  void clearStatus() { status.clear(); }
  // Records an outcome found above the link (a brick's refusal, an argument refused before
  // sending) by the same combining rule as the link's own failures, under the link's lock.
  void recordStatus(long code, const char* file, unsigned long line);

 private:
  // kLinkOk when a reply (or, for a command that wants none, the command) went through, else
  // the failure, recorded.
  long exchange(std::uint8_t type, const unsigned char* command, int length, unsigned char* reply,
                int replyLength, bool refusalMayBeShort = false);
  // The same for telegrams up to `most` bytes both ways; `got` the reply's length when wanted.
  long exchangeUpTo(std::size_t most, std::uint8_t type, const unsigned char* command,
                    std::size_t length, unsigned char* reply, std::size_t replyLength,
                    bool refusalMayBeShort, std::size_t* got);
  void fail(long code, const char* file, unsigned long line) { status.setCode(code, file, line); }

  nFANTOM100::tStatus status;
  Transport* transport;
  Framing* framing;
};

}  // namespace Comm

#endif
