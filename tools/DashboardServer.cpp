#include "DashboardServer.h"

#include <httplib.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "brick/BrickCode.h"
#include "brick/Output.h"
#include "web/LocalSite.h"

namespace BrickTool {

namespace {

nlohmann::json stateOf(const BrickOwner::Reading& r) {
  nlohmann::json inputs = nlohmann::json::array();
  for (const auto& in : r.inputs) {
    inputs.push_back({{"type", in.type},
                      {"mode", in.mode},
                      {"valid", in.valid},
                      {"raw", in.raw},
                      {"normalized", in.normalized},
                      {"scaled", in.scaled}});
  }
  nlohmann::json outputs = nlohmann::json::array();
  for (const auto& out : r.outputs) {
    outputs.push_back({{"power", out.power},
                       {"count", out.rotationCount},
                       {"tacho", out.tachoCount},
                       {"running", out.runState != 0}});
  }
  return {{"t", r.seconds},     {"n", r.number},        {"name", r.name},   {"battery", r.battery},
          {"screen", r.screen}, {"failure", r.failure}, {"inputs", inputs}, {"outputs", outputs}};
}

// "A" to "C" (either case) as 0 to 2, else -1.
int motorPort(const std::string& text) {
  if (text.size() != 1) {
    return -1;
  }
  char c = text[0];
  int port = (c >= 'a' ? c - 'a' : c - 'A');
  return port >= 0 && port < 3 ? port : -1;
}

void answer(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain");
}

}  // namespace

DashboardServer::DashboardServer(BrickOwner& o) : owner(o) {
  Web::LocalSite::Settings settings;
  settings.limits.mostBody = kMostBody;
  settings.limits.request = std::chrono::seconds(kRequestSeconds);
  settings.workers = kWorkers;
  settings.tokenHeader = kTokenHeader;
  site.reset(new Web::LocalSite(settings));
}

DashboardServer::~DashboardServer() {
  stop();
}

void DashboardServer::routes() {
  httplib::Server& s = site->server();
  s.Get("/state.json", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(
        stateOf(owner.latest()).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
        "application/json");
  });
  s.Get("/screen.png", [this](const httplib::Request&, httplib::Response& res) {
    std::string png = owner.screen();
    if (png.empty()) {
      return answer(res, 404, "the brick's screen cannot be read");
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(png, "image/png");
  });
  // Runs at POWER (-100 to 100) with speed regulation until stopped; POWER 0 brakes.
  s.Post("/motor", [this](const httplib::Request& req, httplib::Response& res) {
    int port = motorPort(req.get_param_value("port"));
    char* end = nullptr;
    std::string text = req.get_param_value("power");
    long power = std::strtol(text.c_str(), &end, 10);
    if (port < 0 || text.empty() || *end != '\0' || power < -100 || power > 100) {
      return answer(res, 400, "port is A, B or C; power -100 to 100");
    }
    long code = owner.submit(
        [port, power](Brick::Lib::Block& block) {
          Brick::Lib::Output output(block, port);
          return power == 0 ? output.stop(true) : output.runRegulated(static_cast<int>(power));
        },
        std::chrono::milliseconds(kCommandMs));
    if (code != Brick::Lib::kBrickOk) {
      return answer(res, 503, Brick::Lib::brickCodeText(code));
    }
    answer(res, 200, "ok");
  });
}

bool DashboardServer::start(int port, std::string& error) {
  site->servePage(page(), kTokenMark);
  routes();
  return site->start("127.0.0.1", port, error);
}

int DashboardServer::port() const {
  return site->port();
}

void DashboardServer::stop() {
  site->stop();
}

}  // namespace BrickTool
