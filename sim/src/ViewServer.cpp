#include "sim/ViewServer.h"

#include <httplib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "GuardedServer.h"
#include "sim/Frame.h"

namespace Sim {

namespace {

// Worker threads with a queue no longer than they are many: when all are busy the accepting
// thread waits, and further connections wait in the kernel's listen backlog instead of in
// memory here.
class BoundedQueue : public httplib::TaskQueue {
 public:
  explicit BoundedQueue(int workers) {
    for (int i = 0; i < workers; ++i) {
      threads.emplace_back([this] { work(); });
    }
    most = static_cast<std::size_t>(workers);
  }
  void enqueue(std::function<void()> fn) override {
    std::unique_lock<std::mutex> guard(mutex);
    room.wait(guard, [&] { return jobs.size() < most || closing; });
    jobs.push_back(std::move(fn));
    ready.notify_one();
  }
  void shutdown() override {
    {
      std::lock_guard<std::mutex> guard(mutex);
      closing = true;
    }
    ready.notify_all();
    room.notify_all();
    for (std::thread& t : threads) {
      t.join();
    }
  }

 private:
  void work() {
    for (;;) {
      std::function<void()> fn;
      {
        std::unique_lock<std::mutex> guard(mutex);
        ready.wait(guard, [&] { return !jobs.empty() || closing; });
        if (jobs.empty()) {
          return;  // closing, and every accepted connection served
        }
        fn = std::move(jobs.front());
        jobs.pop_front();
        room.notify_one();
      }
      fn();
    }
  }

  std::mutex mutex;
  std::condition_variable ready;
  std::condition_variable room;
  std::deque<std::function<void()>> jobs;
  std::vector<std::thread> threads;
  std::size_t most = 1;
  bool closing = false;
};

Scene::Options optionsOf(const httplib::Request& request) {
  Scene::Options options;
  options.colourByTime = request.get_param_value("colour") == "time";
  return options;
}

struct Stream {
  std::uint64_t traceSeen = 0;
  long sent = 0;
};

// 32 random bytes in hex, new for every run: what only the page's own script can know.
std::string randomToken() {
  std::array<unsigned char, 32> bytes{};
  std::ifstream urandom("/dev/urandom", std::ios::binary);
  if (!urandom.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) {
    std::random_device device;
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(device());
    }
  }
  std::string text;
  for (unsigned char b : bytes) {
    text += "0123456789abcdef"[b >> 4];
    text += "0123456789abcdef"[b & 15];
  }
  return text;
}

// Compares in a time that does not tell how much of a guess was right.
bool sameToken(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) {
    return false;
  }
  unsigned char differ = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    differ |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return differ == 0;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// An address as a Host header writes it: IPv6 in brackets, IPv4 seen through IPv6 as itself.
std::string asHost(std::string address) {
  if (address.rfind("::ffff:", 0) == 0 && address.find('.') != std::string::npos) {
    address.erase(0, 7);
  }
  if (address.find(':') != std::string::npos && address.front() != '[') {
    address = "[" + address + "]";
  }
  return lower(address);
}

bool refuse(httplib::Response& res, int status, const char* why) {
  res.status = status;
  res.set_content(why, "text/plain");
  return false;
}

}  // namespace

ViewServer::ViewServer(Stage& source) : stage(source), token(randomToken()) {
  GuardedServer::Limits limits;
  limits.backlog = kBacklog;
  limits.mostHead = kMostHead;
  limits.mostHeaderLines = kMostHeaderLines;
  limits.mostBody = kMostBody;
  limits.request = std::chrono::seconds(kRequestSeconds);
  http.reset(new GuardedServer(limits, [this](const httplib::Request& req, httplib::Response& res) {
    return admit(req, res);
  }));
}

// Host "NAME:PORT" (or "NAME" when the port is 80), NAME one of the names this server is
// reached by without another name resolving to it: the loopback ones, what --bind named, and
// the address the connection came in on.
bool ViewServer::ours(std::string host, const std::string& local) const {
  host = lower(host);
  const std::string port = ":" + std::to_string(bound);
  if (host.size() > port.size() &&
      host.compare(host.size() - port.size(), port.size(), port) == 0) {
    host.resize(host.size() - port.size());
  } else if (bound != 80) {
    return false;
  }
  for (const std::string& name : {std::string("127.0.0.1"), std::string("localhost"),
                                  std::string("[::1]"), asHost(address), asHost(local)}) {
    if (!name.empty() && host == name) {
      return true;
    }
  }
  return false;
}

bool ViewServer::admit(const httplib::Request& req, httplib::Response& res) const {
  if (req.get_header_value_count("Host") != 1 ||
      !ours(req.get_header_value("Host"), req.local_addr)) {
    return refuse(res, 421, "this server answers to its own address only (Host)\n");
  }
  const char* foreign = "requests from other web sites are refused (Origin)\n";
  if (req.has_header("Origin")) {
    std::string origin = req.get_header_value("Origin");
    if (req.get_header_value_count("Origin") != 1 || origin.rfind("http://", 0) != 0 ||
        !ours(origin.substr(7), req.local_addr)) {
      return refuse(res, 403, foreign);
    }
  }
  // A browser that names the site a request comes from: another site may link to the page,
  // not fetch from it (an update stream would take one of the few there are).
  std::string site = req.get_header_value("Sec-Fetch-Site");
  if ((site == "cross-site" || site == "same-site") &&
      req.get_header_value("Sec-Fetch-Mode") != "navigate") {
    return refuse(res, 403, foreign);
  }
  // Without an Origin (curl, scripts) the token alone admits a change: only who has read the
  // page knows it, and no other web site can read the page.
  if (req.method != "GET" && req.method != "HEAD" &&
      !sameToken(req.get_header_value(kTokenHeader), token)) {
    return refuse(res, 403, "a change needs the token of the page (X-Bricksim-Token)\n");
  }
  return true;
}

ViewServer::~ViewServer() {
  stop();
}

void ViewServer::routes() {
  httplib::Server& s = *http;
  s.new_task_queue = [] { return new BoundedQueue(kWorkers); };
  // Not to be shown inside another site's page, where its buttons could be clicked for it.
  s.set_default_headers({{"X-Frame-Options", "DENY"},
                         {"Content-Security-Policy", "frame-ancestors 'none'"},
                         {"X-Content-Type-Options", "nosniff"}});
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("500\n", "text/plain");
  });
  s.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(served, "text/html; charset=utf-8");
  });
  s.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
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
          if (!running) {
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
          return static_cast<bool>(running);
        },
        [this](bool) { streams.fetch_sub(1); });
  });
}

bool ViewServer::start(const std::string& host, int port, std::string& error) {
  address = host;
  served = page();
  served.replace(served.find(kTokenMark), std::string(kTokenMark).size(), token);
  routes();
  if (port == 0) {
    bound = http->bind_to_any_port(host);
  } else {
    bound = http->bind_to_port(host, port) ? port : -1;
  }
  if (bound <= 0 || !http->widenBacklog()) {
    error = "cannot listen on " + host + " port " + std::to_string(port) +
            " (in use, or not an address of this machine)";
    return false;
  }
  running = true;
  listener = std::thread([this] { http->listen_after_bind(); });
  return true;
}

void ViewServer::stop() {
  if (!running.exchange(false)) {
    return;
  }
  http->stop();
  if (listener.joinable()) {
    listener.join();
  }
}

}  // namespace Sim
