#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
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
  for (int* fd : {&master, &slave, &wakeup[0], &wakeup[1]}) {
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
  Bytes pending;
  while (running) {
    pollfd fds[2] = {{wakeup[0], POLLIN, 0}, {master, POLLIN, 0}};
    // The bytes of one telegram follow each other within milliseconds. Part of one that waits
    // longer for the rest was left by a client that has gone (a pseudo-terminal does not say
    // when a client closes it): the next client's telegrams must not complete it.
    int ready = ::poll(fds, master >= 0 ? 2 : 1, pending.empty() ? -1 : kStaleMs);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    if (ready == 0) {
      pending.clear();
      continue;
    }
    if (master < 0 || (fds[0].revents & POLLIN) != 0) {
      if (!running) {
        break;
      }
      continue;
    }
    std::uint8_t buffer[512];
    ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got <= 0) {
      continue;
    }
    pending.insert(pending.end(), buffer, buffer + got);
    for (;;) {
      if (pending.size() >= 2 && pending[0] == 0 && pending[1] == 0) {
        // An empty telegram: nothing to answer, but a trace shows that it came.
        pending.erase(pending.begin(), pending.begin() + 2);
        handle(Bytes());
        continue;
      }
      // A telegram over 64 bytes is taken in whole all the same (up to what the prefix can
      // say), so that the stream stays in step and the brick can refuse it.
      std::size_t n = 0;
      Nxt::LengthPrefix::Scan found =
          Nxt::LengthPrefix::scan(pending.data(), pending.size(), n, 0xFFFF);
      if (found == Nxt::LengthPrefix::Scan::kOutOfStep) {
        pending.clear();  // a brick out of step drops what it has
        break;
      }
      if (found == Nxt::LengthPrefix::Scan::kNeedMore) {
        break;
      }
      auto start = pending.begin() + static_cast<long>(Nxt::LengthPrefix::kPrefixBytes);
      Bytes telegram(start, start + static_cast<long>(n));
      pending.erase(pending.begin(), start + static_cast<long>(n));
      handle(telegram);
    }
  }
}

void PtyServer::handle(const Bytes& telegram) {
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
      send(Bytes{0x00, 0x00});
      break;
    case Fault::HugePrefix:
      send(Bytes{0xFF, 0xFF});
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
  send(frame);
}

void PtyServer::send(const Bytes& frame) {
  std::size_t done = 0;
  // A client that never reads leaves the pseudo-terminal full; waiting for room must not
  // outlast the server.
  while (done < frame.size() && master >= 0 && running) {
    ssize_t put = ::write(master, frame.data() + done, frame.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd p{master, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

}  // namespace Sim
