// Raw HTTP on a socket, for the tests of the local web sites (bricksim's live page, `brick
// dashboard`): requests no well-behaved client would send, and only the answer's status line.
#ifndef TESTS_RAWHTTP_H
#define TESTS_RAWHTTP_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace test {

// A connected socket to the server, or -1.
inline int connectTo(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

// Sends raw bytes, keeping its side open as a browser does (an answer must not wait for the
// peer to close), and returns the status line of the answer ("" when the server just closed).
inline std::string raw(int port, const std::string& request) {
  int fd = connectTo(port);
  if (fd < 0) {
    return "no connection";
  }
  std::size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      break;
    }
    sent += static_cast<std::size_t>(n);
  }
  char buffer[256];
  ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
  ::close(fd);
  std::string answer(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return answer.substr(0, answer.find("\r\n"));
}

}  // namespace test

#endif
