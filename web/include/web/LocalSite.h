// A web site for one person's browser on this machine, closed to every other web site (which a
// browser lets reach 127.0.0.1 too): the guarded server (GuardedServer's bounds, a fixed set of
// workers) with the admission both bricksim's live page and `brick dashboard` need.
//
// - A request must name this server in its Host: 127.0.0.1, localhost or [::1] with its port,
//   the address it listens on, or the one the connection came in on (a page on another name
//   that resolves here, after DNS rebinding, is refused with 421).
// - A request with an Origin must come from this server's own (403 otherwise); one a browser
//   marks as from another site may only open the page (a link), not fetch from it.
// - A change (anything but GET and HEAD) must carry the site's token in `tokenHeader`: 64 hex
//   digits, new for every run, which only a page served by this site can know.
//
// Routes are added to server() before start(); the site serves on threads of its own.
#ifndef WEB_LOCALSITE_H
#define WEB_LOCALSITE_H

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "web/GuardedServer.h"

namespace Web {

class LocalSite {
 public:
  struct Settings {
    GuardedServer::Limits limits;
    int workers = 32;
    std::string tokenHeader;
  };

  explicit LocalSite(const Settings& settings);
  ~LocalSite();
  LocalSite(const LocalSite&) = delete;
  LocalSite& operator=(const LocalSite&) = delete;

  httplib::Server& server() { return *http; }
  // Serves `page` at / with `tokenMark` replaced by this run's token, the plots' script at
  // /plot.js and no /favicon.ico. Before start().
  void servePage(std::string page, const std::string& tokenMark);
  // This run's token, for the page to carry.
  const std::string& token() const { return secret; }
  // Listens on host:port (port 0: any free one). False, with the reason in `error`, when the
  // address cannot be had.
  bool start(const std::string& host, int port, std::string& error);
  int port() const { return bound; }
  bool running() const { return serving; }
  void stop();

 private:
  bool admit(const httplib::Request& req, httplib::Response& res) const;
  bool ours(std::string host, const std::string& local) const;

  const Settings settings;
  const std::string secret;
  std::unique_ptr<GuardedServer> http;
  std::string address;
  std::thread listener;
  std::atomic<bool> serving{false};
  int bound = 0;
};

}  // namespace Web

#endif
