#include "sim/ViewServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "sim/Frame.h"
#include "web/LocalSite.h"

namespace Sim {

namespace {

Scene::Options optionsOf(const httplib::Request& request) {
  Scene::Options options;
  options.colourByTime = request.get_param_value("colour") == "time";
  return options;
}

struct Stream {
  std::uint64_t traceSeen = 0;
  long sent = 0;
};

}  // namespace

ViewServer::ViewServer(Stage& source) : stage(source) {
  Web::LocalSite::Settings settings;
  settings.limits.backlog = kBacklog;
  settings.limits.mostHead = kMostHead;
  settings.limits.mostHeaderLines = kMostHeaderLines;
  settings.limits.mostBody = kMostBody;
  settings.limits.request = std::chrono::seconds(kRequestSeconds);
  settings.workers = kWorkers;
  settings.tokenHeader = kTokenHeader;
  site.reset(new Web::LocalSite(settings));
}

ViewServer::~ViewServer() {
  stop();
}

void ViewServer::routes() {
  httplib::Server& s = site->server();
  s.Get("/picture.svg", [this](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(stage.picture(optionsOf(req)), "image/svg+xml");
  });
  s.Get("/state.json", [this](const httplib::Request& req, httplib::Response& res) {
    std::uint64_t seen = 0;
    res.set_header("Cache-Control", "no-store");
    res.set_content(Frame::dump(stage.update(seen, false, optionsOf(req))), "application/json");
  });
  s.Post("/control", [this](const httplib::Request& req, httplib::Response& res) {
    std::string action = req.get_param_value("action");
    double value = std::strtod(req.get_param_value("value").c_str(), nullptr);
    bool done = stage.control(action, value);
    res.status = done ? 200 : 400;
    res.set_content(done ? "ok\n" : "unknown control\n", "text/plain");
  });
  s.Get("/events", [this](const httplib::Request& req, httplib::Response& res) {
    if (streams.fetch_add(1) >= kMostStreams) {
      streams.fetch_sub(1);
      res.status = 503;
      res.set_content("too many pages watching; close one\n", "text/plain");
      return;
    }
    auto state = std::make_shared<Stream>();
    Scene::Options options = optionsOf(req);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, state, options](std::size_t, httplib::DataSink& sink) {
          if (!site->running()) {
            return false;
          }
          // The path and the events go every half second, the robot every time.
          bool withRun = state->sent++ % (kUpdatesPerSecond / 2) == 0;
          std::string message =
              "data: " + Frame::dump(stage.update(state->traceSeen, withRun, options)) + "\n\n";
          if (!sink.write(message.data(), message.size())) {
            return false;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(1000 / kUpdatesPerSecond));
          return site->running();
        },
        [this](bool) { streams.fetch_sub(1); });
  });
}

bool ViewServer::start(const std::string& host, int port, std::string& error) {
  site->servePage(page(), kTokenMark);
  routes();
  return site->start(host, port, error);
}

int ViewServer::port() const {
  return site->port();
}

void ViewServer::stop() {
  site->stop();
}

}  // namespace Sim
