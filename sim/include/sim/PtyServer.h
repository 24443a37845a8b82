// Serves a VirtualBrick on a pseudo-terminal with the Bluetooth framing (a 2-byte little-endian
// length before every telegram), as a real brick bound to /dev/rfcomm0 appears. A client opens
// devicePath() like any serial device.
//
// The server answers on its own thread; lock() guards the brick while a test or the host looks
// at it or changes it.
//
// The server holds the device by its path only, so the master hangs up whenever no client has
// it open. When the last client has gone, the brick still carries out the telegrams it sent
// whole, as a brick does; the replies owed to it (being sent, or never read) and a telegram it
// left cut short are dropped. The next client starts on an empty line.
#ifndef SIM_PTYSERVER_H
#define SIM_PTYSERVER_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim/LinkModel.h"
#include "sim/TelegramStream.h"
#include "sim/VirtualBrick.h"

namespace Sim {

class PtyServer {
 public:
  enum class Fault {
    None,
    Silent,       // read the telegram, answer nothing
    Late,         // answer after `delayMs`
    Short,        // answer with the reply cut to half its length
    Long,         // answer with 40 extra bytes
    WrongOpcode,  // answer with the opcode echo changed
    BadPrefix,    // send a length prefix of 0 then the reply
    HugePrefix,   // send a length prefix of 65535 and nothing more
    Hangup,       // close the pseudo-terminal: the brick is gone
  };

  explicit PtyServer(VirtualBrick& brick);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pseudo-terminal and starts answering. False when no pseudo-terminal is to be had.
  bool start();
  void stop();
  // The path a client opens, e.g. /dev/pts/3.
  const std::string& devicePath() const { return path; }
  // The server's own descriptor on the device (by path: no open of the terminal), held while
  // it runs: /proc/<pid>/fd/<it> leads to the device for as long as the process lives.
  int deviceFd() const { return slave; }

  // Misbehaves on the next `times` telegrams (-1: until told otherwise).
  void setFault(Fault fault, int times = 1, int delayMs = 0);
  // Called with each telegram and its reply (empty when none was sent), on the server thread.
  void setTrace(std::function<void(const Bytes&, const Bytes&)> trace);

  // The link's pace (default: none, answered at once). Each request and each reply then takes
  // its time, handed to `pass` (default: the server thread sleeps it, in wall time; a host on
  // a stepped clock steps the clock instead, so a run stays fast and repeatable). `pass` is
  // called without the lock held.
  void setLinkModel(const LinkModel& model, std::function<void(double seconds)> pass = nullptr);

  std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex); }
  // How many times the server has seen the last client go (and dropped what was owed to it).
  // A client that opens the device before the server has looked cannot be told from the one
  // before it: a test that needs a clean line waits for this to count the departure.
  std::uint64_t departures() const { return departed.load(); }
  VirtualBrick& brick() { return target; }

 private:
  // A reply on its way, and when (on the burst's time) it reaches the host.
  struct Outgoing {
    double at = 0;
    Bytes frame;
    Fault fault = Fault::None;
    int delayMs = 0;
    std::uint64_t session = 0;
  };

  void run();
  // Carries out every whole telegram (or piece of an extended WRITE) in `pending`.
  void carryOut();
  void handle(const Bytes& telegram);
  // A piece of an extended WRITE; the last one is answered.
  void stream(const TelegramStream::Piece& piece);
  // Traces a telegram and its reply and sends the reply when the link has carried it.
  // `sender` is the session the telegram came in: a reply for a client that has gone since is
  // not sent.
  void answered(const Bytes& telegram, const Bytes& reply, std::uint64_t sender);
  void deliver(const Outgoing& out);
  // The link's time up to when the brick acts on a telegram of `bytes` bytes.
  void take(std::size_t bytes);
  // Ends the burst when the host sent nothing more: the last reply reaches it.
  void settle();
  void passTo(double until);
  // The link's time from linkAt up to `at` (on the burst's time): the stepped clock steps, the
  // wall clock is waited until the burst's start plus `at`, so that a wait that overslept does
  // not push back every later one (a real brick's passes keep their own pace).
  void passUntil(double at);
  bool moreQueued();
  // Whether the host writes more within kBurstGraceMs (on a stepped clock only).
  bool moreComing();
  static constexpr int kBurstGraceMs = 1;
  // Gives up, dropping the rest, when the client the frame was for has gone meanwhile.
  void send(const Bytes& frame, std::uint64_t forSession);
  // True when no client has the device open; once the last one has gone, carries out what it
  // sent whole and drops the rest.
  bool noticeDeparture();
  // Empties the watch: its events only wake the server.
  void drainWatch();

  VirtualBrick& target;
  std::mutex mutex;
  std::thread worker;
  std::atomic<bool> running{false};
  int master = -1;
  int slave = -1;  // the device by path (O_PATH)
  int wakeup[2] = {-1, -1};
  int watch = -1;          // inotify on the device: opens, to wake the server
  bool present = false;    // a client had the device open when the server last looked
  bool departing = false;  // carrying out what a client that has gone sent: no replies
  // Counts the times the last client went; a reply computed in an earlier session is not sent.
  std::uint64_t session = 0;
  // Departures dealt with: counted once what the client left is carried out and the line
  // emptied.
  std::atomic<std::uint64_t> departed{0};
  TelegramStream pending;  // bytes of a telegram not yet whole
  std::string path;
  Fault fault = Fault::None;
  int faultTimes = 0;
  int faultDelayMs = 0;
  std::function<void(const Bytes&, const Bytes&)> tracer;
  LinkModel linkModel;
  std::function<void(double)> linkPass;
  // The server thread's own: the burst under way, its time, and the replies on their way.
  LinkModel pace;
  std::function<void(double)> linkTime;
  bool burst = false;
  double linkAt = 0;
  std::chrono::steady_clock::time_point burstStart;  // in wall time
  std::deque<Outgoing> outgoing;
  Bytes head;  // the first bytes of the extended WRITE under way, for the trace
};

}  // namespace Sim

#endif
