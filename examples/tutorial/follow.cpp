// tutorial/follow.cpp: along the walls on events, turning left at each one.
#include <brick/brick.hpp>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <thread>

using namespace std::chrono_literals;
using Kind = brick::Event::Kind;

// Ahead until a wall comes near or the bumper hits one, then stopped there. The pilot and the
// watcher each look at the brick once a round, in this one thread.
static brick::Event obstacle(brick::Pilot& pilot, brick::EventWatcher& watcher) {
  pilot.travel(500, brick::Pilot::Wait::no);
  for (;;) {
    watcher.poll();
    pilot.update();
    while (std::optional<brick::Event> event = watcher.next()) {
      if (event->kind == Kind::near || event->kind == Kind::pressed) {
        pilot.stop();
        return *event;
      }
    }
    std::this_thread::sleep_for(20ms);
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: follow DEVICE [TURNS]\n";
    return 2;
  }
  int turns = argc > 2 ? std::atoi(argv[2]) : 4;
  try {
    brick::Brick nxt(argv[1]);
    brick::Pilot pilot(nxt, brick::Pilot::Config());  // wheels on B and C
    brick::EventWatcher watcher(nxt);
    watcher.watchDistance(brick::Input::S4, 25);
    watcher.watchTouch(brick::Input::S1);
    for (int turn = 0; turn < turns; ++turn) {
      if (obstacle(pilot, watcher).kind == Kind::near) {
        std::cout << "a wall within 25 cm, turning left\n";
        pilot.rotate(90);
      } else {
        std::cout << "bumped, backing off\n";
        pilot.travel(-10);
        pilot.rotate(90);
      }
    }
  } catch (const brick::Error& e) {
    std::cerr << "follow: " << e.what() << '\n';
    return 1;
  }
}
