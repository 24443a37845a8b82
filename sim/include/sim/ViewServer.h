// The live page's web server: one page (everything it needs comes from here, nothing from the
// network), the picture as SVG, the state as JSON, a stream of updates (server-sent events, at
// most kUpdatesPerSecond) and the clock's controls, all from a Stage.
//
// Bounded whatever comes in: a fixed set of worker threads (a connection beyond them waits in
// the kernel's backlog), at most kMostStreams update streams at once, small request bodies and
// headers, and one time limit on reading the whole of every request.
//
// Closed to other web sites as a Web::LocalSite is: its own Host and Origin only, and a change
// (a POST) carries the token the page was served with, fresh for every run.
#ifndef SIM_VIEWSERVER_H
#define SIM_VIEWSERVER_H

#include <atomic>
#include <memory>
#include <string>

#include "sim/Stage.h"

namespace Web {
class LocalSite;
}

namespace Sim {

class ViewServer {
 public:
  // Enough for a browser's connections, a few tools and a few peers that send their requests
  // slowly (each holds a worker until its request's time is up). The backlog takes hundreds
  // of connects at once without a SYN dropped (the kernel caps it at net.core.somaxconn).
  static constexpr int kWorkers = 32;
  static constexpr int kBacklog = 512;
  static constexpr int kMostStreams = 4;
  static constexpr int kUpdatesPerSecond = 20;
  static constexpr std::size_t kMostBody = 4096;
  static constexpr std::size_t kMostHead = 16 * 1024;
  static constexpr std::size_t kMostHeaderLines = 100;
  static constexpr int kRequestSeconds = 5;
  // The header a change carries the page's token in.
  static constexpr const char* kTokenHeader = "X-Bricksim-Token";

  explicit ViewServer(Stage& stage);
  ~ViewServer();
  ViewServer(const ViewServer&) = delete;
  ViewServer& operator=(const ViewServer&) = delete;

  // Listens on host:port (port 0: any free one) and serves on its own threads. False, with
  // the reason in `error`, when the address cannot be had.
  bool start(const std::string& host, int port, std::string& error);
  int port() const;
  void stop();
  // The page itself, for tests that look at it without a browser; served with `kTokenMark`
  // replaced by this run's token.
  static const char* page();
  static constexpr const char* kTokenMark = "@TOKEN@";

 private:
  void routes();

  Stage& stage;
  std::unique_ptr<Web::LocalSite> site;
  std::atomic<int> streams{0};
};

}  // namespace Sim

#endif
