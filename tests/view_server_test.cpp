// The live page's web server under what a browser, a script or a hostile peer sends it: the
// page and its data, unknown paths, huge and malformed requests, and more connections and
// update streams than it serves at once. It stays bounded (threads, streams) and keeps
// answering.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/LiveStage.h"
#include "sim/PacedClock.h"
#include "sim/PtyServer.h"
#include "sim/Robot.h"
#include "sim/TraceLog.h"
#include "sim/ViewServer.h"

namespace {

int threads() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) {
      return std::stoi(line.substr(8));
    }
  }
  return -1;
}

// A connected socket to the server, or -1.
int connectTo(int port) {
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

// Sends raw bytes and returns the status line of the answer ("" when the server just closed).
std::string raw(int port, const std::string& request) {
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
  ::shutdown(fd, SHUT_WR);
  char buffer[256];
  ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
  ::close(fd);
  std::string answer(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return answer.substr(0, answer.find("\r\n"));
}

class ViewServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    robot.reset(new Sim::Robot(Sim::World::builtIn(), clock));
    robot->attach(brick);
    stage.reset(new Sim::LiveStage(pty, *robot, clock, trace));
    view.reset(new Sim::ViewServer(*stage));
    std::string error;
    ASSERT_TRUE(view->start("127.0.0.1", 0, error)) << error;
    client.reset(new httplib::Client("127.0.0.1", view->port()));
    client->set_read_timeout(10, 0);
  }

  Sim::PacedClock clock{0.01};
  Sim::VirtualBrick brick;
  Sim::PtyServer pty{brick};
  Sim::TraceLog trace;
  std::unique_ptr<Sim::Robot> robot;
  std::unique_ptr<Sim::LiveStage> stage;
  std::unique_ptr<Sim::ViewServer> view;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(ViewServerTest, ServesThePageThePictureTheStateAndTheControls) {
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("new EventSource(\"/events\""), std::string::npos);
  EXPECT_EQ(page->body.find("http"), std::string::npos);  // nothing fetched from elsewhere
  auto svg = client->Get("/picture.svg?colour=time");
  ASSERT_TRUE(svg);
  EXPECT_EQ(svg->get_header_value("Content-Type"), "image/svg+xml");
  EXPECT_NE(svg->body.find("<g id=\"robot\">"), std::string::npos);
  trace.add("> 01 0B  GETBATTERYLEVEL");
  auto state = client->Get("/state.json");
  ASSERT_TRUE(state);
  auto json = nlohmann::json::parse(state->body);
  EXPECT_EQ(json["frame"]["x"], Sim::World::builtIn().robot.x);
  EXPECT_EQ(json["trace"][0], "> 01 0B  GETBATTERYLEVEL");
  EXPECT_EQ(client->Post("/control?action=pause&value=0")->status, 200);
  EXPECT_TRUE(clock.paused());
  EXPECT_EQ(client->Post("/control?action=step&value=0.5")->status, 200);
  EXPECT_DOUBLE_EQ(clock.time(), 0.5);
  EXPECT_EQ(client->Post("/control?action=explode")->status, 400);
}

TEST_F(ViewServerTest, BadRequestsGetAnErrorAndTheServerGoesOn) {
  EXPECT_EQ(client->Get("/no/such/page")->status, 404);
  EXPECT_EQ(client->Get("/../../etc/passwd")->status, 404);
  // Each is refused: an error status, or the connection closed (the server may close before
  // the peer has read its answer, when the peer sent more than it reads).
  const std::string rows[] = {
      "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET / HTTP/1.1\r\nX: " + std::string(20000, 'b') + "\r\n\r\n",
      "POST /control HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" +
          std::string(100000, 'c'),
      "\x01\x02\x03 nonsense\r\n\r\n",
      std::string(64 * 1024, '\n'),
  };
  for (const std::string& row : rows) {
    std::string status = raw(view->port(), row);
    EXPECT_TRUE(status.empty() || status.rfind("HTTP/1.1 4", 0) == 0) << status;
    EXPECT_EQ(client->Get("/favicon.ico")->status, 204) << row.substr(0, 40);
  }
  EXPECT_EQ(client->Get("/")->status, 200);
}

TEST_F(ViewServerTest, ManyConnectionsAndStreamsStayBounded) {
  ASSERT_EQ(client->Get("/")->status, 200);  // every worker started
  int before = threads();
  // More idle connections than workers, all at once: the extra wait, none is lost.
  std::vector<int> idle;
  for (int i = 0; i < 40; ++i) {
    idle.push_back(connectTo(view->port()));
  }
  // Update streams beyond the limit are turned away, each told why.
  std::vector<std::unique_ptr<httplib::Client>> watchers;
  int refused = 0;
  int streaming = 0;
  for (int i = 0; i < Sim::ViewServer::kMostStreams + 2; ++i) {
    watchers.emplace_back(new httplib::Client("127.0.0.1", view->port()));
  }
  for (int fd : idle) {
    ::close(fd);
  }
  std::vector<std::thread> readers;
  std::mutex counted;
  for (auto& w : watchers) {
    readers.emplace_back([&, c = w.get()] {
      int updates = 0;
      auto res = c->Get("/events", [&](const char*, std::size_t) { return ++updates < 3; });
      std::lock_guard<std::mutex> guard(counted);
      if (updates >= 3) {
        ++streaming;
      } else if (res && res->status == 503) {
        ++refused;
      }
    });
  }
  for (auto& r : readers) {
    r.join();
  }
  EXPECT_EQ(streaming + refused, Sim::ViewServer::kMostStreams + 2);
  EXPECT_GE(streaming, 1);
  EXPECT_LE(streaming, Sim::ViewServer::kMostStreams + 2);
  EXPECT_EQ(client->Get("/state.json")->status, 200);
  EXPECT_EQ(threads(), before);  // no thread per connection
}

}  // namespace
