// bricksim: serves a virtual brick on a pseudo-terminal until interrupted.
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/PtyServer.h"
#include "sim/VirtualBrick.h"

namespace {

volatile std::sig_atomic_t stopping = 0;

void onSignal(int) {
  stopping = 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string link;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--link") == 0 && i + 1 < argc) {
      link = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bricksim [--link PATH]\n");
      return 2;
    }
  }
  Sim::VirtualBrick brick;
  Sim::PtyServer server(brick);
  if (!server.start()) {
    std::perror("bricksim: no pseudo-terminal");
    return 1;
  }
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(server.devicePath().c_str(), link.c_str()) != 0) {
      std::perror("bricksim: symlink");
      return 1;
    }
  }
  std::printf("%s\n", server.devicePath().c_str());
  std::fflush(stdout);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  while (!stopping) {
    ::pause();
  }
  server.stop();
  if (!link.empty()) {
    ::unlink(link.c_str());
  }
  return 0;
}
