#include "sim/ChildCommand.h"

#include <spawn.h>
#include <sys/wait.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace Sim {

bool ChildCommand::start(const std::vector<std::string>& argv, const std::string& preload,
                         std::string& error) {
  std::vector<std::string> environment;
  // Ours goes first, but after a sanitizer's runtime, which must itself come first.
  std::string first;
  std::string rest;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0) {
      environment.emplace_back(*e);
      continue;
    }
    std::string list = *e + 11;
    for (std::size_t at = 0; at < list.size();) {
      std::size_t end = std::min(list.find_first_of(": ", at), list.size());
      std::string entry = list.substr(at, end - at);
      std::string& into = entry.find("asan") != std::string::npos ? first : rest;
      if (!entry.empty()) {
        into += (into.empty() ? "" : ":") + entry;
      }
      at = end + 1;
    }
  }
  environment.push_back("LD_PRELOAD=" + first + (first.empty() ? "" : ":") + preload +
                        (rest.empty() ? "" : ":") + rest);
  std::vector<char*> envp;
  for (std::string& e : environment) {
    envp.push_back(&e[0]);
  }
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& a : args) {
    argp.push_back(&a[0]);
  }
  argp.push_back(nullptr);
  // The command gets the signals bricksim catches as they were before bricksim caught them.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGUSR1}) {
    sigaddset(&defaults, s);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  int failed = posix_spawnp(&pid, argp[0], nullptr, &attributes, argp.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    pid = -1;
    error = "cannot run " + argv[0] + ": " + std::strerror(failed);
    exitStatus = failed == ENOENT ? 127 : 126;
    return false;
  }
  return true;
}

bool ChildCommand::ended() {
  if (pid < 0) {
    return true;
  }
  int status = 0;
  pid_t got = ::waitpid(pid, &status, WNOHANG);
  if (got == 0 || (got < 0 && errno == EINTR)) {
    return false;
  }
  pid = -1;
  if (got > 0 && WIFEXITED(status)) {
    exitStatus = WEXITSTATUS(status);
  } else if (got > 0 && WIFSIGNALED(status)) {
    exitStatus = 128 + WTERMSIG(status);
  } else {
    exitStatus = 1;
  }
  return true;
}

void ChildCommand::terminate() {
  if (pid > 0 && !told) {
    ::kill(pid, SIGTERM);
    told = true;
  }
}

}  // namespace Sim
