// `brick dashboard`: the brick's readings, plots and motor buttons in a browser, served on the
// loopback address until Ctrl-C. This thread owns the link (BrickOwner); the web server's
// threads only hand it commands.
#include <chrono>

#include "BrickOwner.h"
#include "Connection.h"
#include "DashboardServer.h"
#include "brick/Output.h"

namespace BrickTool {

namespace {

constexpr long kDefaultPort = 8081;  // beside bricksim's page on 8080
constexpr std::chrono::milliseconds kReadingEvery{100};

}  // namespace

int doDashboard(Run& run) {
  long port = kDefaultPort;
  if (!run.options.port.empty() && !integerArgument(run.options.port, 0, 65535, port)) {
    return usageError(run.err, run.options.command, "--port takes 0 to 65535 (0: any free one)");
  }
  Block block;
  int status = connect(run, block);
  if (status != kExitOk) {
    return status;
  }
  BrickOwner owner(block, screenPng);
  DashboardServer server(owner);
  std::string error;
  if (!server.start(static_cast<int>(port), error)) {
    run.err << "brick: " << error << "\n";
    return kExitFailed;
  }
  run.out << "dashboard: http://127.0.0.1:" << server.port() << "/ (Ctrl-C ends it)\n"
          << std::flush;
  owner.run(kReadingEvery, [&run] {
    return run.environment.interrupted != nullptr && run.environment.interrupted->load();
  });
  server.stop();
  if ((status = checkLink(run, block)) != kExitOk) {
    return status;
  }
  // What the buttons started ends with the dashboard: nobody is left to press stop.
  for (int motor = 0; motor < 3; ++motor) {
    Brick::Lib::Output(block, motor).stop(true);
  }
  return checkLink(run, block);
}

}  // namespace BrickTool
