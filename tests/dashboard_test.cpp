// `brick dashboard`'s web site against a virtual brick on a pseudo-terminal, with its owner
// thread reading the brick as the command runs it: what a web page in the same browser, a
// forged name or an oversized request sends is refused and leaves the motors still; the page
// itself (its token, its origin) and a tool that has read it drive them; the readings carry
// every port.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "BrickFixture.h"
#include "BrickOwner.h"
#include "DashboardServer.h"
#include "RawHttp.h"
#include "Tool.h"

namespace {

using BrickTool::DashboardServer;

class Dashboard : public test::PtyBrick {
 protected:
  void SetUp() override {
    test::PtyBrick::SetUp();
    owner.reset(new BrickTool::BrickOwner(block, BrickTool::screenPng));
    site.reset(new DashboardServer(*owner));
    std::string error;
    ASSERT_TRUE(site->start(0, error)) << error;
    thread = std::thread(
        [this] { owner->run(std::chrono::milliseconds(20), [this] { return done.load(); }); });
    client.reset(new httplib::Client("127.0.0.1", site->port()));
    client->set_read_timeout(10, 0);
    auto page = client->Get("/");
    ASSERT_TRUE(page);
    const std::string meta = "<meta name=\"brick-token\" content=\"";
    std::size_t at = page->body.find(meta) + meta.size();
    token = page->body.substr(at, page->body.find('"', at) - at);
    port = std::to_string(site->port());
    host = "Host: 127.0.0.1:" + port + "\r\n";
  }
  void TearDown() override {
    done = true;
    thread.join();
    site->stop();
    test::PtyBrick::TearDown();
  }
  // The motor's power once it is `expected` (a command goes without a reply, so the brick
  // may take it a moment after the answer), or as it stands after a few seconds.
  int power(int motor, int expected) {
    int now = 0;
    for (int i = 0; i < 500; ++i) {
      {
        auto guard = server.lock();
        now = sim.outputs[static_cast<std::size_t>(motor)].power;
      }
      if (now == expected) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return now;
  }
  // The latest reading, once the owner has taken one after `after`.
  nlohmann::json state(long after = 0) {
    for (int i = 0; i < 500; ++i) {
      auto got = client->Get("/state.json");
      if (got && got->status == 200) {
        auto json = nlohmann::json::parse(got->body);
        if (json["n"].get<long>() > after) {
          return json;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  std::unique_ptr<BrickTool::BrickOwner> owner;
  std::unique_ptr<DashboardServer> site;
  std::thread thread;
  std::atomic<bool> done{false};
  std::unique_ptr<httplib::Client> client;
  std::string token;
  std::string port;
  std::string host;
};

TEST_F(Dashboard, ServesThePageItsPlotsAndEveryPortsReadings) {
  EXPECT_EQ(token.size(), 64u);
  auto page = client->Get("/");
  EXPECT_EQ(page->body.find("http"), std::string::npos);  // nothing fetched from elsewhere
  EXPECT_EQ(page->get_header_value("X-Frame-Options"), "DENY");
  auto script = client->Get("/plot.js");
  ASSERT_TRUE(script);
  EXPECT_NE(script->body.find("class TimePlot"), std::string::npos);
  {
    auto guard = server.lock();
    sim.inputs[2].raw = 321;
    sim.inputs[2].scaled = 42;
    sim.outputs[1].rotationCount = 1234;
  }
  nlohmann::json now = state();
  nlohmann::json after = state(now["n"].get<long>());
  ASSERT_EQ(after["inputs"].size(), 4u);
  ASSERT_EQ(after["outputs"].size(), 3u);
  EXPECT_EQ(after["inputs"][2]["raw"], 321);
  EXPECT_EQ(after["inputs"][2]["scaled"], 42);
  EXPECT_EQ(after["outputs"][1]["count"], 1234);
  EXPECT_EQ(after["failure"], "");
  // The screen, read through the display module's IO map, as a PNG.
  EXPECT_EQ(after["screen"], true);
  auto png = client->Get("/screen.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(png->status, 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(png->body.substr(0, 8), "\x89PNG\r\n\x1a\n");
}

// Each row is sent as it stands; only the page's own requests and a tool's with the token
// start motor B.
TEST_F(Dashboard, OnlyThePageAndItsTokenDriveTheMotors) {
  const std::string ours = "Origin: http://127.0.0.1:" + port + "\r\n";
  const std::string key = std::string(DashboardServer::kTokenHeader) + ": " + token + "\r\n";
  auto run = [](const std::string& headers, const std::string& query = "port=B&power=60") {
    return "POST /motor?" + query + " HTTP/1.1\r\n" + headers + "\r\n";
  };
  std::string lines;
  for (int i = 0; i < 120; ++i) {
    lines += "X-Line-" + std::to_string(i) + ": a\r\n";
  }
  struct Row {
    const char* what;
    std::string request;
    const char* status;
    int power;
  };
  const Row rows[] = {
      {"forged Host", run("Host: attacker.example:" + port + "\r\n" + key), "HTTP/1.1 421", 0},
      {"forged Host reading", "GET /state.json HTTP/1.1\r\nHost: attacker.example\r\n\r\n",
       "HTTP/1.1 421", 0},
      {"no token", run(host + ours), "HTTP/1.1 403", 0},
      {"wrong token",
       run(host + ours + DashboardServer::kTokenHeader + ": " + std::string(64, '0') + "\r\n"),
       "HTTP/1.1 403", 0},
      {"token in the query only", run(host + ours, "port=B&power=60&token=" + token),
       "HTTP/1.1 403", 0},
      {"token, foreign Origin", run(host + key + "Origin: http://attacker.example\r\n"),
       "HTTP/1.1 403", 0},
      {"cross-site form",
       "POST /motor HTTP/1.1\r\n" + host + "Origin: http://attacker.example\r\n" +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 16\r\n\r\n"
           "port=B&power=60\n",
       "HTTP/1.1 403", 0},
      {"another site reading",
       "GET /state.json HTTP/1.1\r\n" + host + "Sec-Fetch-Site: cross-site\r\n" +
           "Sec-Fetch-Mode: cors\r\n\r\n",
       "HTTP/1.1 403", 0},
      {"body over the bound", run(host + key + ours + "Content-Length: 100000\r\n"), "HTTP/1.1 413",
       0},
      {"too many header lines", run(host + key + ours + lines), "HTTP/1.1 431", 0},
      {"a power out of range", run(host + key + ours, "port=B&power=101"), "HTTP/1.1 400", 0},
      {"no such motor", run(host + key + ours, "port=D&power=60"), "HTTP/1.1 400", 0},
      {"the page's own", run(host + key + ours), "HTTP/1.1 200", 60},
      {"the page's stop", run(host + key + ours, "port=B&power=0"), "HTTP/1.1 200", 0},
      {"a tool: token, no Origin", run(host + key, "port=b&power=-40"), "HTTP/1.1 200", -40},
  };
  for (const Row& row : rows) {
    std::string status = test::raw(site->port(), row.request);
    EXPECT_EQ(status.substr(0, 12), row.status) << row.what << ": " << status;
    EXPECT_EQ(power(1, row.power), row.power) << row.what;
    EXPECT_EQ(client->Get("/favicon.ico")->status, 204) << row.what;
  }
}

}  // namespace
