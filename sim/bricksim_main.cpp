// bricksim: serves a virtual brick on a pseudo-terminal until interrupted.
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "comm/TelegramText.h"
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
  std::string trace;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--link") == 0 && i + 1 < argc) {
      link = argv[++i];
    } else if (std::strcmp(argv[i], "--trace") == 0 && i + 1 < argc) {
      trace = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bricksim [--link PATH] [--trace FILE]\n");
      return 2;
    }
  }
  Sim::VirtualBrick brick;
  Sim::PtyServer server(brick);
  std::FILE* traceFile = nullptr;
  if (!trace.empty()) {
    traceFile = std::fopen(trace.c_str(), "a");
    if (traceFile == nullptr) {
      std::perror("bricksim: trace file");
      return 1;
    }
    // One line per telegram, flushed at once, so that a test reading the file sees every
    // telegram whose reply its client has received.
    server.setTrace([traceFile](const Sim::Bytes& telegram, const Sim::Bytes& reply) {
      std::fprintf(traceFile, "> %s  %s\n", Nxt::hexText(telegram.data(), telegram.size()).c_str(),
                   Nxt::describeCommand(telegram.data(), telegram.size()).c_str());
      if (!reply.empty()) {
        std::fprintf(traceFile, "< %s  %s\n", Nxt::hexText(reply.data(), reply.size()).c_str(),
                     Nxt::describeReply(reply.data(), reply.size()).c_str());
      }
      std::fflush(traceFile);
    });
  }
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
  if (traceFile != nullptr) {
    std::fclose(traceFile);
  }
  if (!link.empty()) {
    ::unlink(link.c_str());
  }
  return 0;
}
