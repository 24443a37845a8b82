// Turns what a program watches on a brick into events: a touch sensor pressed or released, a
// distance or a light level crossing a threshold, a motor reaching the end of its move or
// stalling, the brick lost. The program names what to watch, then calls poll() from its own
// loop (the library starts no thread, docs/threads.md); each poll reads every watched port
// once and queues an event for each change, which next() hands out in order, or the callback
// receives as it happens.
//
// A change is seen when it lasts from one poll to the next: a press shorter than a poll period
// can pass unseen, a longer one is never lost. Crossings have a hysteresis (a distance must
// come back past threshold + hysteresis), so a reading that wavers at the threshold does not
// chatter.
#ifndef BRICK_EVENTWATCHER_H
#define BRICK_EVENTWATCHER_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "brick/Batch.h"
#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API EventWatcher {
 public:
  enum class Kind {
    Pressed,       // a touch sensor closed
    Released,      // ... and opened again
    Near,          // a distance fell below its threshold
    Far,           // ... and rose to threshold + hysteresis
    Dark,          // a light level fell below its threshold
    Bright,        // ... and rose to threshold + hysteresis
    MotorDone,     // a motor's move ended (idle, at its limit, held)
    MotorStalled,  // a motor under power has not turned for stallMs
    BrickLost,     // the link failed; nothing more is polled
  };
  struct Event {
    Kind kind;
    int port;        // input 0-3 or output 0-2; -1 for BrickLost
    int value;       // the reading that made it (touch 0/1, cm, light level, tacho count)
    double seconds;  // since the watcher was made
  };

  explicit EventWatcher(Block& block);
  explicit EventWatcher(Comm::SerialCommunication& link);

  // Each sets its port up for the sensor (one SETINPUTMODE) and returns the code.
  long watchTouch(int port);
  long watchDistance(int port, int thresholdCm, int hysteresisCm = 3);
  long watchLight(int port, int threshold, int hysteresis = 4);
  // A motor: its move ending, and its stalling.
  void watchMotor(int port);

  // Reads every watched port once, in one batch (requests back to back as the link allows): 0,
  // or the code of the failure that lost the brick.
  long poll();
  // The oldest event not handed out yet; false when none is.
  bool next(Event& out);
  std::size_t pending() const { return queue.size(); }
  // Called for each event as poll() finds it, besides queueing it.
  std::function<void(const Event&)> onEvent;
  bool lost() const { return gone; }

  int stallMs = 300;

 private:
  enum class What { Touch, Distance, Light, Motor };
  struct Watch {
    What what;
    int port;
    int threshold;
    int hysteresis;
    int state;  // -1 unknown; touch 0/1; crossing 0 above, 1 below; motor 0 idle, 1 moving
    std::int32_t count;
    std::chrono::steady_clock::time_point still;
    bool stalled;
  };

  void emit(Kind kind, int port, int value);
  // Turns one watch's reading into events.
  long judge(Watch& w, const Batch::Result& r);

  Comm::SerialCommunication* link;
  std::vector<Watch> watches;
  std::deque<Event> queue;
  std::chrono::steady_clock::time_point born;
  bool gone = false;
};

}  // namespace Lib
}  // namespace Brick

#endif
