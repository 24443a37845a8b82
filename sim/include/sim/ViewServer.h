// The live page's web server: one page (everything it needs comes from here, nothing from the
// network), the picture as SVG, the state as JSON, a stream of updates (server-sent events, at
// most kUpdatesPerSecond) and the clock's controls, all from a Stage.
//
// Bounded whatever comes in: a fixed set of worker threads (a connection beyond them waits in
// the kernel's backlog), at most kMostStreams update streams at once, small request bodies,
// and a time limit on reading every request.
#ifndef SIM_VIEWSERVER_H
#define SIM_VIEWSERVER_H

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/Stage.h"

namespace httplib {
class Server;
}

namespace Sim {

class ViewServer {
 public:
  static constexpr int kWorkers = 8;
  static constexpr int kMostStreams = 4;
  static constexpr int kUpdatesPerSecond = 20;
  static constexpr std::size_t kMostBody = 4096;

  explicit ViewServer(Stage& stage);
  ~ViewServer();
  ViewServer(const ViewServer&) = delete;
  ViewServer& operator=(const ViewServer&) = delete;

  // Listens on host:port (port 0: any free one) and serves on its own threads. False, with
  // the reason in `error`, when the address cannot be had.
  bool start(const std::string& host, int port, std::string& error);
  int port() const { return bound; }
  void stop();
  // The page itself, for tests that look at it without a browser.
  static const char* page();

 private:
  void routes();

  Stage& stage;
  std::unique_ptr<httplib::Server> http;
  std::thread listener;
  std::atomic<bool> running{false};
  std::atomic<int> streams{0};
  int bound = 0;
};

}  // namespace Sim

#endif
