#include "web/LocalSite.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <random>

#include "web/BoundedQueue.h"
#include "web/PlotScript.h"

namespace Web {

namespace {

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

bool refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(why, "text/plain");
  return false;
}

}  // namespace

LocalSite::LocalSite(const Settings& given) : settings(given), secret(randomToken()) {
  http.reset(new GuardedServer(
      settings.limits,
      [this](const httplib::Request& req, httplib::Response& res) { return admit(req, res); }));
  int workers = settings.workers;
  http->new_task_queue = [workers] { return new BoundedQueue(workers); };
  // Not to be shown inside another site's page, where its buttons could be clicked for it.
  http->set_default_headers({{"X-Frame-Options", "DENY"},
                             {"Content-Security-Policy", "frame-ancestors 'none'"},
                             {"X-Content-Type-Options", "nosniff"}});
  http->set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("500\n", "text/plain");
      });
}

LocalSite::~LocalSite() {
  stop();
}

// Host "NAME:PORT" (or "NAME" when the port is 80), NAME one of the names this server is
// reached by without another name resolving to it: the loopback ones, the address it listens
// on, and the address the connection came in on.
bool LocalSite::ours(std::string host, const std::string& local) const {
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

bool LocalSite::admit(const httplib::Request& req, httplib::Response& res) const {
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
      !sameToken(req.get_header_value(settings.tokenHeader.c_str()), secret)) {
    return refuse(res, 403,
                  "a change needs the token of the page (" + settings.tokenHeader + ")\n");
  }
  return true;
}

void LocalSite::servePage(std::string page, const std::string& tokenMark) {
  page.replace(page.find(tokenMark), tokenMark.size(), secret);
  http->Get("/", [page](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(page, "text/html; charset=utf-8");
  });
  http->Get("/plot.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(plotScript(), "text/javascript; charset=utf-8");
  });
  http->Get("/favicon.ico",
            [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
}

bool LocalSite::start(const std::string& host, int port, std::string& error) {
  address = host;
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
  serving = true;
  listener = std::thread([this] { http->listen_after_bind(); });
  return true;
}

void LocalSite::stop() {
  if (!serving.exchange(false)) {
    return;
  }
  http->stop();
  if (listener.joinable()) {
    listener.join();
  }
}

}  // namespace Web
