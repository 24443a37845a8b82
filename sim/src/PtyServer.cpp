#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "protocol/LengthPrefix.h"
#include "protocol/Replies.h"

namespace Sim {

namespace {

const int kStaleMs = 250;
// While no client has the device open, the watch wakes the server when one opens it; this is
// how long the server waits before looking again all the same.
const int kIdleLookMs = 1000;

bool hungUp(int master) {
  if (master < 0) {
    return false;
  }
  pollfd probe{master, POLLIN, 0};
  return ::poll(&probe, 1, 0) > 0 && (probe.revents & POLLHUP) != 0;
}

}  // namespace

PtyServer::PtyServer(VirtualBrick& brick) : target(brick) {}

PtyServer::~PtyServer() {
  stop();
}

bool PtyServer::start() {
  if (running) {
    return true;
  }
  master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    stop();
    return false;
  }
  char name[128];
  if (::ptsname_r(master, name, sizeof name) != 0) {
    stop();
    return false;
  }
  path = name;
  // The line is made raw once; it stays so between clients. The server then holds the device
  // by its path only, which is no open of the terminal: the kernel's count of those, seen as a
  // hang-up on the master, says when no client is left.
  int line = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio;
  bool raw = line >= 0 && ::tcgetattr(line, &tio) == 0;
  if (raw) {
    ::cfmakeraw(&tio);
    raw = ::tcsetattr(line, TCSANOW, &tio) == 0;
  }
  if (line >= 0) {
    ::close(line);
  }
  slave = ::open(name, O_PATH | O_CLOEXEC);
  if (!raw || slave < 0) {
    stop();
    return false;
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  if (::pipe2(wakeup, O_CLOEXEC) != 0) {
    stop();
    return false;
  }
  // Opens wake the server; the kernel, not the watch, says who is there.
  watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || ::inotify_add_watch(watch, name, IN_OPEN) < 0) {
    stop();
    return false;
  }
  present = false;
  pending.clear();
  target.setLink(VirtualBrick::Link::Bluetooth);  // the pseudo-terminal is a Bluetooth link
  running = true;
  worker = std::thread(&PtyServer::run, this);
  return true;
}

void PtyServer::stop() {
  if (running.exchange(false)) {
    if (::write(wakeup[1], "x", 1) < 0) {
      // the thread also notices `running` at its next wake-up
    }
  }
  if (worker.joinable()) {
    worker.join();
  }
  for (int* fd : {&master, &slave, &wakeup[0], &wakeup[1], &watch}) {
    if (*fd >= 0) {
      ::close(*fd);
      *fd = -1;
    }
  }
}

void PtyServer::setFault(Fault newFault, int times, int delayMs) {
  std::lock_guard<std::mutex> guard(mutex);
  fault = newFault;
  faultTimes = times;
  faultDelayMs = delayMs;
}

void PtyServer::setTrace(std::function<void(const Bytes&, const Bytes&)> trace) {
  std::lock_guard<std::mutex> guard(mutex);
  tracer = std::move(trace);
}

void PtyServer::setLinkModel(const LinkModel& model, std::function<void(double)> pass) {
  std::lock_guard<std::mutex> guard(mutex);
  linkModel = model;
  linkPass = std::move(pass);
}

void PtyServer::run() {
  while (running) {
    // With no client the master reads as hung up at once: it is left out of the poll until a
    // client has opened the device (the watch wakes the server when one does).
    if (!present && !noticeDeparture()) {
      present = true;
    }
    pollfd fds[3] = {{wakeup[0], POLLIN, 0}, {watch, POLLIN, 0}, {master, POLLIN, 0}};
    // The bytes of one telegram follow each other within milliseconds. Part of one that waits
    // longer for the rest was left by a client that has gone without the master hanging up
    // (another process still holds the device open, say): the next telegrams must not
    // complete it.
    int timeout = !present ? kIdleLookMs : pending.empty() ? -1 : kStaleMs;
    int ready = ::poll(fds, master >= 0 && present ? 3 : 2, timeout);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      drainWatch();
    }
    if (ready == 0 && present) {
      pending.clear();
      continue;
    }
    if (master < 0 || (fds[0].revents & POLLIN) != 0) {
      if (!running) {
        break;
      }
      continue;
    }
    if (!present) {
      continue;
    }
    if ((fds[2].revents & POLLHUP) != 0) {
      noticeDeparture();  // carries out what the client sent whole, drops the rest
      continue;
    }
    if ((fds[2].revents & POLLIN) == 0) {
      continue;
    }
    std::uint8_t buffer[512];
    ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got <= 0) {
      continue;
    }
    pending.add(buffer, static_cast<std::size_t>(got));
    carryOut();
  }
}

void PtyServer::carryOut() {
  TelegramStream::Piece piece;
  while (pending.next(piece)) {
    // Both clear `pending` when the client goes meanwhile.
    if (piece.extended) {
      stream(piece);
    } else {
      handle(piece.bytes);
    }
  }
}

void PtyServer::drainWatch() {
  alignas(inotify_event) char events[4096];
  while (::read(watch, events, sizeof events) > 0) {
  }
}

bool PtyServer::noticeDeparture() {
  if (!hungUp(master)) {
    return false;
  }
  int waiting = 0;
  if (::ioctl(master, FIONREAD, &waiting) != 0) {
    waiting = 0;
  }
  if (!present && waiting == 0) {
    return true;  // nobody came since the last departure, and nothing was left
  }
  present = false;
  outgoing.clear();
  ++session;
  // A brick carries out every telegram that reached it whole, whether or not its sender stays
  // for the reply: a client that stopped a motor and left must find it stopped. What the line
  // holds is taken off it first, while nobody has the device open (a client that opens it now
  // may already have written), and only then carried out; the replies, owed to nobody, are
  // dropped. A telegram cut short by the departure is dropped, and so is what a flooding
  // client still had on its way (the kernel's buffers behind the line's, which a brick's flow
  // control would never have let it send): only when something was left at all, so that a
  // client that leaves nothing behind costs the next one nothing.
  bool left = waiting > 0;
  std::uint8_t buffer[512];
  while (waiting > 0 && hungUp(master)) {
    ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    pending.add(buffer, static_cast<std::size_t>(got));
    if (::ioctl(master, FIONREAD, &waiting) != 0) {
      waiting = 0;
    }
  }
  if (left && hungUp(master)) {
    ::tcflush(master, TCIFLUSH);
  }
  departing = true;
  carryOut();
  departing = false;
  pending.clear();
  // The replies it never read are all old: nothing has been answered since it went. Those
  // still on their way are emptied from here; those that reached the line need a descriptor
  // on the line itself.
  ::tcflush(master, TCOFLUSH);
  int line = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (line >= 0) {
    ::tcflush(line, TCIFLUSH);
    ::close(line);
  }
  ++departed;
  return true;
}

bool PtyServer::moreQueued() {
  int waiting = 0;
  return pending.queued() ||
         (master >= 0 && ::ioctl(master, FIONREAD, &waiting) == 0 && waiting > 0);
}

bool PtyServer::moreComing() {
  // On a stepped clock the link's time passes at once, so a host's next telegram, written a
  // moment after the last (two motors started together), may not be there yet; it would then
  // open a burst of its own, a radio turn later. A host that writes within a millisecond is
  // taken to have sent both at once, as a real link carries them.
  if (master < 0) {
    return false;
  }
  pollfd p{master, POLLIN, 0};
  return ::poll(&p, 1, kBurstGraceMs) > 0 && (p.revents & POLLIN) != 0;
}

void PtyServer::passUntil(double at) {
  if (at <= linkAt) {
    return;
  } else if (linkTime) {
    linkTime(at - linkAt);
  } else {
    std::this_thread::sleep_until(burstStart +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(at)));
  }
  linkAt = at;
}

void PtyServer::passTo(double until) {
  // Replies due before then reach the host on the way, in order.
  while (!outgoing.empty() && outgoing.front().at <= until) {
    Outgoing next = std::move(outgoing.front());
    outgoing.pop_front();
    passUntil(next.at);
    deliver(next);
  }
  passUntil(until);
}

void PtyServer::take(std::size_t bytes) {
  if (!burst) {
    // A burst goes by the model set last; its time counts from its first telegram.
    std::lock_guard<std::mutex> guard(mutex);
    pace = linkModel;
    linkTime = linkPass;
    linkAt = 0;
    burstStart = std::chrono::steady_clock::now();
    burst = true;
  }
  pace.take(bytes);
  passTo(pace.now());
}

void PtyServer::settle() {
  if (!burst || moreQueued() || (linkTime && moreComing())) {
    return;  // the host sent more: the burst goes on
  }
  passTo(outgoing.empty() ? linkAt : outgoing.back().at);
  pace.idle();
  burst = false;
}

void PtyServer::handle(const Bytes& telegram) {
  const std::uint64_t sender = session;  // take() may find the sender gone
  take(telegram.size());
  Bytes reply;
  {
    std::lock_guard<std::mutex> guard(mutex);
    reply = telegram.empty() ? Bytes() : target.answer(telegram);
  }
  answered(telegram, reply, sender);
}

void PtyServer::stream(const TelegramStream::Piece& piece) {
  if (piece.first) {
    std::lock_guard<std::mutex> guard(mutex);
    target.beginWrite(piece.bytes.data(), piece.bytes.size(), piece.length);
    head = Bytes(
        piece.bytes.begin(),
        piece.bytes.begin() + static_cast<long>(std::min(piece.bytes.size(),
                                                         VirtualBrick::kMaxBluetoothTelegram + 1)));
  } else {
    std::lock_guard<std::mutex> guard(mutex);
    target.continueWrite(piece.bytes.data(), piece.bytes.size());
  }
  if (!piece.last) {
    return;
  }
  // The brick answers once every byte is in: the link's time is the whole telegram's.
  const std::uint64_t sender = session;
  take(piece.length);
  Bytes reply;
  {
    std::lock_guard<std::mutex> guard(mutex);
    reply = target.endWrite();
  }
  answered(head, reply, sender);
}

void PtyServer::answered(const Bytes& telegram, const Bytes& reply, std::uint64_t sender) {
  Outgoing out;
  out.session = session;
  out.frame = reply;
  {
    std::lock_guard<std::mutex> guard(mutex);
    if (faultTimes != 0 && fault != Fault::None) {
      out.fault = fault;
      out.delayMs = faultDelayMs;
      if (faultTimes > 0) {
        --faultTimes;
      }
    }
    if (tracer) {
      tracer(telegram, out.fault == Fault::Silent ? Bytes() : reply);
    }
  }
  if (departing || sender != session) {
    settle();
    return;  // its sender has gone: the brick acted, and the reply is owed to nobody
  }
  if (!reply.empty() || out.fault == Fault::Hangup) {
    out.at = pace.give(reply.size());
    outgoing.push_back(std::move(out));
  }
  settle();
}

void PtyServer::deliver(const Outgoing& out) {
  if (out.session != session || noticeDeparture()) {
    return;  // a client that left while the brick thought is owed nothing
  }
  Bytes reply = out.frame;
  switch (out.fault) {
    case Fault::None:
      break;
    case Fault::Silent:
      return;
    case Fault::Late:
      std::this_thread::sleep_for(std::chrono::milliseconds(out.delayMs));
      break;
    case Fault::Short:
      reply.resize(reply.size() / 2 > 0 ? reply.size() / 2 : 1);
      break;
    case Fault::Long:
      reply.insert(reply.end(), 40, 0xAA);
      break;
    case Fault::WrongOpcode:
      reply[Nxt::Reply::kOpcode.offset] ^= 0x55;
      break;
    case Fault::BadPrefix:
      send(Bytes{0x00, 0x00}, out.session);
      break;
    case Fault::HugePrefix:
      send(Bytes{0xFF, 0xFF}, out.session);
      return;
    case Fault::Hangup:
      ::close(master);
      ::close(slave);
      master = -1;
      slave = -1;
      return;
  }
  // A reply stretched by a fault, or an extended READ's, may exceed one telegram: it is framed
  // all the same.
  Bytes frame(Nxt::LengthPrefix::kPrefixBytes + reply.size());
  Nxt::LengthPrefix::encode(reply.data(), reply.size(), frame.data());
  send(frame, out.session);
}

void PtyServer::send(const Bytes& frame, std::uint64_t forSession) {
  std::size_t done = 0;
  // A client that never reads leaves the pseudo-terminal full; waiting for room must outlast
  // neither the server nor the client.
  while (done < frame.size() && master >= 0 && running && session == forSession) {
    ssize_t put = ::write(master, frame.data() + done, frame.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd fds[2] = {{master, POLLOUT, 0}, {wakeup[0], POLLIN, 0}};
      ::poll(fds, 2, 100);
      if ((fds[0].revents & POLLHUP) != 0) {
        noticeDeparture();
      }
    }
  }
}

}  // namespace Sim
