// `brick dashboard`'s web site: one page (its script, the plots, nothing from the network),
// the brick's readings as JSON, its screen when it can be read, and the motors' buttons. Served
// as a Web::LocalSite on the loopback address only: its own Host and Origin, a change (a POST)
// only with the token the page was served with, bodies, headers and request time bounded.
// The handlers never touch the link: they read the BrickOwner's latest reading and hand it the
// motor commands.
#ifndef TOOLS_DASHBOARDSERVER_H
#define TOOLS_DASHBOARDSERVER_H

#include <memory>
#include <string>

#include "BrickOwner.h"

namespace Web {
class LocalSite;
}

namespace BrickTool {

class DashboardServer {
 public:
  static constexpr int kWorkers = 16;
  static constexpr std::size_t kMostBody = 1024;  // the buttons send their arguments in the URL
  static constexpr int kRequestSeconds = 5;
  // How long a button's command may wait for the brick's thread.
  static constexpr int kCommandMs = 2000;
  static constexpr const char* kTokenHeader = "X-Brick-Token";
  static constexpr const char* kTokenMark = "@TOKEN@";

  explicit DashboardServer(BrickOwner& owner);
  ~DashboardServer();
  DashboardServer(const DashboardServer&) = delete;
  DashboardServer& operator=(const DashboardServer&) = delete;

  // Listens on 127.0.0.1:port (0: any free one). False, with the reason in `error`.
  bool start(int port, std::string& error);
  int port() const;
  void stop();
  // The page, with kTokenMark where this run's token goes (DashboardPage.cpp).
  static const char* page();

 private:
  void routes();

  BrickOwner& owner;
  std::unique_ptr<Web::LocalSite> site;
};

}  // namespace BrickTool

#endif
