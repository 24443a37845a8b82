// tutorial/follow.cpp: along the walls on events, turning left at each one.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brick/Block.h"
#include "brick/EventWatcher.h"
#include "brick/Pilot.h"

using namespace Brick::Lib;
using Kind = EventWatcher::Kind;

// Ahead until a wall comes near or the bumper hits one; false when the brick is lost. The
// pilot and the watcher each look at the brick once a round, in this one thread.
static bool obstacle(Pilot& pilot, EventWatcher& watcher, EventWatcher::Event& event) {
  if (pilot.travel(500, false) != 0) {
    return false;
  }
  for (;;) {
    if (watcher.poll() != 0 || pilot.update() != 0) {
      return false;
    }
    while (watcher.next(event)) {
      if (event.kind == Kind::Near || event.kind == Kind::Pressed) {
        return pilot.stop() == 0;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: follow DEVICE [TURNS]\n");
    return 2;
  }
  int turns = argc > 2 ? std::atoi(argv[2]) : 4;
  Block brick;
  brick.connectBluetooth(argv[1]);
  Pilot pilot(brick, Pilot::Config());
  EventWatcher watcher(brick);
  if (watcher.watchDistance(3, 25) != 0 || watcher.watchTouch(0) != 0) {  // inputs 4 and 1
    std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
    return 1;
  }
  for (int turn = 0; turn < turns; ++turn) {
    EventWatcher::Event event;
    if (!obstacle(pilot, watcher, event)) {
      std::fprintf(stderr, "the brick at %s does not answer\n", argv[1]);
      return 1;
    }
    if (event.kind == Kind::Near) {
      std::printf("a wall within 25 cm, turning left\n");
      pilot.rotate(90);
    } else {
      std::printf("bumped, backing off\n");
      pilot.travel(-10);
      pilot.rotate(90);
    }
  }
  brick.disconnect();
  return 0;
}
