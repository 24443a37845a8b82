#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "protocol/LengthPrefix.h"
#include "protocol/Replies.h"

namespace Sim {

namespace {

const int kStaleMs = 250;

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
  // Holding the slave open keeps the line raw and the master free of hang-ups between clients.
  slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio;
  if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
    stop();
    return false;
  }
  ::cfmakeraw(&tio);
  ::tcsetattr(slave, TCSANOW, &tio);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  if (::pipe2(wakeup, O_CLOEXEC) != 0) {
    stop();
    return false;
  }
  // Set after our own hold on the slave, so that only clients are counted.
  watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || ::inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE) < 0) {
    stop();
    return false;
  }
  clients = 0;
  pending.clear();
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
  linkTime = std::move(pass);
}

void PtyServer::run() {
  while (running) {
    pollfd fds[3] = {{wakeup[0], POLLIN, 0}, {watch, POLLIN, 0}, {master, POLLIN, 0}};
    // The bytes of one telegram follow each other within milliseconds. Part of one that waits
    // longer for the rest was left by a client that has gone without the watch seeing it
    // close (one that still holds the device open, say): the next telegrams must not complete
    // it.
    int ready = ::poll(fds, master >= 0 ? 3 : 2, pending.empty() ? -1 : kStaleMs);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    if (ready == 0) {
      pending.clear();
      continue;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      noticeClients();  // before reading: what a departed client left is not answered
    }
    if (master < 0 || (fds[0].revents & POLLIN) != 0) {
      if (!running) {
        break;
      }
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
    Bytes telegram;
    while (pending.next(telegram)) {
      handle(telegram);  // clears `pending` when the client goes meanwhile
    }
  }
}

bool PtyServer::readClientEvents() {
  alignas(inotify_event) char events[4096];
  bool gone = false;
  ssize_t got;
  while ((got = ::read(watch, events, sizeof events)) > 0) {
    for (char* at = events; at < events + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      if ((event->mask & IN_OPEN) != 0) {
        ++clients;
      }
      if ((event->mask & IN_CLOSE) != 0 && clients > 0 && --clients == 0) {
        gone = true;
      }
      if ((event->mask & IN_Q_OVERFLOW) != 0) {
        clients = 0;  // the count is lost: start afresh, as after a departure
        gone = true;
      }
      at += sizeof(inotify_event) + event->len;
    }
  }
  return gone;
}

void PtyServer::noticeClients() {
  if (!readClientEvents()) {
    return;
  }
  pending.clear();
  ++session;
  // Both ends are ours, so both directions can be emptied. The replies the client never read
  // are all old: nothing has been answered since it went.
  if (slave >= 0 && master >= 0) {
    ::tcflush(slave, TCIFLUSH);
    ::tcflush(master, TCOFLUSH);
  }
  // The telegrams not yet read are old too, unless the next client has already opened the
  // device (and may have written): it opens after the last one closed, so a fresh look at the
  // watch tells. Such a client flushes the line itself when it opens, as ours does.
  readClientEvents();
  if (clients == 0 && slave >= 0 && master >= 0) {
    ::tcflush(master, TCIFLUSH);
    ::tcflush(slave, TCOFLUSH);
  }
}

void PtyServer::handle(const Bytes& telegram) {
  const std::uint64_t asked = session;
  Bytes reply;
  Fault now = Fault::None;
  int delay = 0;
  LinkModel model;
  std::function<void(double)> pass;
  {
    std::lock_guard<std::mutex> guard(mutex);
    model = linkModel;
    pass = linkTime;
  }
  auto wait = [&](double seconds) {
    if (seconds <= 0) {
      return;
    } else if (pass) {
      pass(seconds);
    } else {
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
  };
  wait(model.requestSeconds(telegram.size()));
  {
    std::lock_guard<std::mutex> guard(mutex);
    reply = telegram.empty() ? Bytes() : target.answer(telegram);
    if (faultTimes != 0 && fault != Fault::None) {
      now = fault;
      delay = faultDelayMs;
      if (faultTimes > 0) {
        --faultTimes;
      }
    }
    if (tracer) {
      tracer(telegram, now == Fault::Silent ? Bytes() : reply);
    }
  }
  if (reply.empty() && now != Fault::Hangup) {
    return;
  }
  wait(model.replySeconds(reply.size()));
  if (watch >= 0) {
    noticeClients();  // a client that left while the brick thought is owed nothing
  }
  switch (now) {
    case Fault::None:
      break;
    case Fault::Silent:
      return;
    case Fault::Late:
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
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
      send(Bytes{0x00, 0x00}, asked);
      break;
    case Fault::HugePrefix:
      send(Bytes{0xFF, 0xFF}, asked);
      return;
    case Fault::Hangup:
      ::close(master);
      ::close(slave);
      master = -1;
      slave = -1;
      return;
  }
  // A reply stretched by a fault may exceed one telegram: it is framed all the same.
  Bytes frame(Nxt::LengthPrefix::kPrefixBytes + reply.size());
  Nxt::LengthPrefix::encode(reply.data(), reply.size(), frame.data());
  send(frame, asked);
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
      pollfd fds[3] = {{master, POLLOUT, 0}, {watch, POLLIN, 0}, {wakeup[0], POLLIN, 0}};
      ::poll(fds, 3, 100);
      if ((fds[1].revents & POLLIN) != 0) {
        noticeClients();
      }
    }
  }
}

}  // namespace Sim
