#include "sim/ViewServer.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

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

}  // namespace

ViewServer::ViewServer(Stage& source) : stage(source), http(new httplib::Server) {}

ViewServer::~ViewServer() {
  stop();
}

void ViewServer::routes() {
  httplib::Server& s = *http;
  s.new_task_queue = [] { return new BoundedQueue(kWorkers); };
  s.set_payload_max_length(kMostBody);
  s.set_read_timeout(5, 0);
  s.set_write_timeout(5, 0);
  s.set_keep_alive_max_count(20);
  s.set_keep_alive_timeout(2);
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::to_string(res.status) + "\n", "text/plain");
  });
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("500\n", "text/plain");
  });
  s.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(page(), "text/html; charset=utf-8");
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
  routes();
  if (port == 0) {
    bound = http->bind_to_any_port(host);
  } else {
    bound = http->bind_to_port(host, port) ? port : -1;
  }
  if (bound <= 0) {
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
