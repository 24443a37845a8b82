// The live page's HTTP server: Debian's cpp-httplib (0.11) with the bounds that version leaves
// out, kept on the bytes it reads from each connection. Its own limits are compiled into the
// shared library (a listen backlog of 5, no bound on the header count, on a chunked body or on
// the length of a line until it ends), so each connection is read through a stream of ours:
// one deadline for the whole request (not one per read, so a header every few seconds does not
// keep a worker), a byte budget for the request line and headers, a count of header lines and
// a byte budget for the body, chunked or not. A request over a limit is answered 408, 413 or
// 431 and its connection closed.
#ifndef WEB_GUARDEDSERVER_H
#define WEB_GUARDEDSERVER_H

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>

namespace Web {

class GuardedServer : public httplib::Server {
 public:
  struct Limits {
    int backlog = 512;
    std::size_t mostHead = 16 * 1024;  // request line and headers, bytes
    std::size_t mostHeaderLines = 100;
    std::size_t mostBody = 4096;      // the body itself; chunk framing has as much again
    std::chrono::seconds request{5};  // from a request's first byte (or the accept) to its end
    std::chrono::seconds idle{2};     // between two requests on one connection
    std::size_t requestsPerConnection = 20;
  };
  // Decides whether a request whose head has arrived is answered at all: false, with the
  // answer already in `res`, refuses it (and closes the connection, its body unread).
  using Admission = std::function<bool(const httplib::Request& req, httplib::Response& res)>;

  GuardedServer(const Limits& limits, Admission admission);

  // After bind_to_port or bind_to_any_port: the backlog the library listens with is too short
  // for a browser and a few tools connecting at once.
  bool widenBacklog();

 private:
  bool process_and_close_socket(socket_t sock) override;

  Limits limits;
};

}  // namespace Web

#endif
