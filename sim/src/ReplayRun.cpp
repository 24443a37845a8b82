#include "sim/ReplayRun.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "sim/Recording.h"
#include "sim/ReplayStage.h"
#include "sim/SvgPicture.h"
#include "sim/ViewServer.h"

namespace Sim {

namespace {

bool savePicture(const std::string& document, const std::string& path) {
  std::string error;
  if (SvgPicture::save(document, path, error)) {
    std::printf("picture: %s\n", path.c_str());
    return true;
  }
  std::fprintf(stderr, "bricksim: %s\n", error.c_str());
  return false;
}

}  // namespace

int ReplayRun::play(const volatile std::sig_atomic_t& stopping) const {
  Recording recording;
  std::string error;
  if (!Recording::load(file, recording, error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }
  if (port < 0) {
    if (svg.empty()) {
      std::fprintf(stderr, "bricksim: --replay needs --view or --svg\n");
      return 2;
    }
    double end = recording.endTime();
    auto path = recording.pathUntil(end);
    Scene scene(recording.world, path, recording.events, recording.frameAt(end));
    return savePicture(scene.document(options), svg) ? 0 : 1;
  }
  ReplayStage stage(recording);
  ViewServer view(stage);
  if (!view.start(host, port, error)) {
    std::fprintf(stderr, "bricksim: %s\n", error.c_str());
    return 1;
  }
  std::printf("view: http://%s:%d/\n", host.c_str(), view.port());
  std::fflush(stdout);
  auto started = std::chrono::steady_clock::now();
  while (!stopping) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::chrono::duration<double> gone = std::chrono::steady_clock::now() - started;
    if (duration >= 0 && gone.count() >= duration) {
      break;
    }
  }
  view.stop();
  return svg.empty() || savePicture(stage.picture(options), svg) ? 0 : 1;
}

}  // namespace Sim
