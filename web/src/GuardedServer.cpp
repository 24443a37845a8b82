#include "web/GuardedServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Web {

namespace {

using Clock = std::chrono::steady_clock;

// How long a refused request's connection is read and thrown away before it is closed: closing
// with unread bytes resets the connection, and the peer may lose the answer with it.
constexpr std::chrono::seconds kLinger{1};
constexpr std::size_t kMostLingered = 1024 * 1024;
constexpr std::chrono::seconds kWriteLimit{5};

enum class Overrun { kNone, kTime, kHead, kHeaderLines, kBody };

// Waits for `events` on `fd` until `until`; true when they came (or the peer hung up, which
// the next recv or send reports).
bool waitFor(int fd, short events, Clock::time_point until) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) {
      return false;
    }
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
    if (n > 0) {
      return true;
    }
    if (n < 0 && errno != EINTR) {
      return false;
    }
  }
}

void addressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  auto* a = reinterpret_cast<sockaddr*>(&address);
  if ((peer ? ::getpeername(fd, a, &length) : ::getsockname(fd, a, &length)) != 0) {
    return;
  }
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (::getnameinfo(a, length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

// One connection as cpp-httplib reads and writes it, within the request's limits.
class Wire : public httplib::Stream {
 public:
  Wire(int socket, const GuardedServer::Limits& limits) : fd(socket), limits(limits) {}

  void beginRequest() {
    deadline = Clock::now() + limits.request;
    body = false;
    bodyless = false;
    used = 0;
    lines = 0;
  }
  // Called once the headers have been read: from here on the body's budget counts. A request
  // with neither a length nor chunks has no body; the library would read one until the peer
  // closes (curl -X POST), so the body ends here.
  void beginBody(const httplib::Request& req) {
    body = true;
    used = 0;
    bodyless = !req.has_header("Content-Length") && !req.has_header("Transfer-Encoding");
    // One declared too long is refused at once, not read and thrown away first.
    if (req.has_header("Content-Length") &&
        std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) >
            limits.mostBody) {
      overrun = Overrun::kBody;
    }
  }
  // Whether another request starts before the connection has been idle too long.
  bool nextRequest() const {
    return start < end || waitFor(fd, POLLIN, Clock::now() + limits.idle);
  }

  bool is_readable() const override { return start < end || waitFor(fd, POLLIN, deadline); }
  bool is_writable() const override { return waitFor(fd, POLLOUT, Clock::now() + kWriteLimit); }

  ssize_t read(char* ptr, std::size_t size) override {
    if (overrun != Overrun::kNone) {
      return -1;
    }
    if (body && bodyless) {
      return 0;
    }
    if (start == end) {
      if (!waitFor(fd, POLLIN, deadline)) {
        overrun = Overrun::kTime;
        return -1;
      }
      ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (got <= 0) {
        return got;
      }
      start = 0;
      end = static_cast<std::size_t>(got);
    }
    std::size_t most = body ? 2 * limits.mostBody : limits.mostHead;
    std::size_t n = std::min({size, end - start, most - used});
    if (n == 0) {
      overrun = body ? Overrun::kBody : Overrun::kHead;
      return -1;
    }
    if (!body) {
      lines += static_cast<std::size_t>(std::count(&buffer[start], &buffer[start] + n, '\n'));
      if (lines > limits.mostHeaderLines + 2) {  // the request line and the empty line too
        overrun = Overrun::kHeaderLines;
        return -1;
      }
    }
    std::memcpy(ptr, &buffer[start], n);
    start += n;
    used += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, std::size_t size) override {
    if (!is_writable()) {
      return -1;
    }
    return ::send(fd, ptr, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    addressOf(fd, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    addressOf(fd, false, ip, port);
  }
  socket_t socket() const override { return fd; }

  // After a refusal: the answer is sent, the rest of the request read and dropped for a
  // moment, so that the peer reads the answer rather than a reset.
  void linger() {
    ::shutdown(fd, SHUT_WR);
    auto until = Clock::now() + kLinger;
    std::size_t dropped = 0;
    while (dropped < kMostLingered && waitFor(fd, POLLIN, until)) {
      ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (got <= 0) {
        return;
      }
      dropped += static_cast<std::size_t>(got);
    }
  }

  Overrun overrun = Overrun::kNone;
  bool refused = false;

 private:
  int fd;
  const GuardedServer::Limits& limits;
  std::array<char, 4096> buffer{};
  std::size_t start = 0;
  std::size_t end = 0;
  Clock::time_point deadline = Clock::now();
  bool body = false;
  bool bodyless = false;
  std::size_t used = 0;
  std::size_t lines = 0;
};

// The connection this worker thread serves, for the handlers that cpp-httplib calls without it.
thread_local Wire* serving = nullptr;

const char* whyRefused(Overrun overrun, int& status) {
  switch (overrun) {
    case Overrun::kTime:
      status = 408;
      return "the request took too long\n";
    case Overrun::kHead:
      status = 431;
      return "request line and headers too long\n";
    case Overrun::kHeaderLines:
      status = 431;
      return "too many header lines\n";
    case Overrun::kBody:
      status = 413;
      return "request body too large\n";
    case Overrun::kNone:
      break;
  }
  return nullptr;
}

}  // namespace

GuardedServer::GuardedServer(const Limits& given, Admission admission) : limits(given) {
  set_payload_max_length(limits.mostBody);
  set_pre_routing_handler([admission](const httplib::Request& req, httplib::Response& res) {
    if (admission(req, res)) {
      return HandlerResponse::Unhandled;
    }
    if (serving != nullptr) {
      serving->refused = true;
    }
    return HandlerResponse::Handled;
  });
  // Every refusal closes its connection: what follows its head may be a body never read.
  set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (serving != nullptr) {
      serving->refused = true;
      if (const char* why = whyRefused(serving->overrun, res.status)) {
        res.set_content(why, "text/plain");
      }
    }
    if (res.body.empty()) {
      res.set_content(std::to_string(res.status) + "\n", "text/plain");
    }
  });
}

bool GuardedServer::widenBacklog() {
  return ::listen(svr_sock_, limits.backlog) == 0;
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  Wire wire(sock, limits);
  serving = &wire;
  bool more = true;
  for (std::size_t served = 0; more && served < limits.requestsPerConnection; ++served) {
    if (served > 0 && !wire.nextRequest()) {
      break;
    }
    wire.beginRequest();
    bool last = served + 1 == limits.requestsPerConnection || !is_running();
    bool closed = false;
    more = process_request(wire, last, closed,
                           [&wire](httplib::Request& req) { wire.beginBody(req); });
    more = more && !closed && !last && !wire.refused && wire.overrun == Overrun::kNone;
  }
  // A peer too slow to send its request in time is not waited for any longer.
  if (wire.refused && wire.overrun != Overrun::kTime) {
    wire.linger();
  }
  serving = nullptr;
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return true;
}

}  // namespace Web
