#include "brick/EventWatcher.h"

#include "brick/Block.h"
#include "brick/BrickCode.h"
#include "brick/Input.h"
#include "brick/Output.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

EventWatcher::EventWatcher(Block& block) : EventWatcher(block.getCommunication()) {}

EventWatcher::EventWatcher(Comm::SerialCommunication& l)
    : link(&l), born(std::chrono::steady_clock::now()) {}

long EventWatcher::watchTouch(int port) {
  watches.push_back(Watch{What::Touch, port, 0, 0, -1, 0, {}, false});
  return Input(*link, port).setMode(Nxt::kSwitch, Nxt::kBooleanMode);
}

long EventWatcher::watchDistance(int port, int thresholdCm, int hysteresisCm) {
  watches.push_back(Watch{What::Distance, port, thresholdCm, hysteresisCm, -1, 0, {}, false});
  return Input(*link, port).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode);
}

long EventWatcher::watchLight(int port, int threshold, int hysteresis) {
  watches.push_back(Watch{What::Light, port, threshold, hysteresis, -1, 0, {}, false});
  return Input(*link, port).setMode(Nxt::kLightActive, Nxt::kPctFullScaleMode);
}

void EventWatcher::watchMotor(int port) {
  watches.push_back(Watch{What::Motor, port, 0, 0, -1, 0, {}, false});
}

void EventWatcher::emit(Kind kind, int port, int value) {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - born).count();
  Event e{kind, port, value, seconds};
  queue.push_back(e);
  if (onEvent) {
    onEvent(e);
  }
}

long EventWatcher::poll() {
  if (gone) {
    return kBrickOk;  // said once; a lost brick is not asked again
  }
  // Every watch's reading in one batch: requests back to back, as the link allows.
  Batch batch(*link);
  for (const Watch& w : watches) {
    if (w.what == What::Motor) {
      batch.output(w.port);
    } else if (w.what == What::Distance) {
      batch.ultrasonic(w.port);
    } else {
      batch.input(w.port);
    }
  }
  if (!watches.empty()) {
    batch.run();
  }
  for (std::size_t i = 0; i < watches.size(); ++i) {
    long code = judge(watches[i], batch.result(i));
    // A brick that refuses one reading still answers: only a failed link loses it.
    if (code != kBrickOk && !isBrickStatus(code)) {
      gone = true;
      emit(Kind::BrickLost, -1, static_cast<int>(code));
      return code;
    }
  }
  return kBrickOk;
}

long EventWatcher::judge(Watch& w, const Batch::Result& r) {
  if (r.code != kBrickOk) {
    return r.code;
  }
  if (w.what == What::Motor) {
    const Output::State& s = r.output;
    int moving = Output::finished(s) ? 0 : 1;
    auto now = std::chrono::steady_clock::now();
    if (w.state == 1 && moving == 0) {
      emit(Kind::MotorDone, w.port, s.rotationCount);
    }
    if (moving == 0 || s.rotationCount != w.count || w.state != 1) {
      w.still = now;  // turning (or not asked to): the stall clock starts again
      w.stalled = false;
    } else if (!w.stalled && now - w.still >= std::chrono::milliseconds(stallMs)) {
      w.stalled = true;
      emit(Kind::MotorStalled, w.port, s.rotationCount);
    }
    w.state = moving;
    w.count = s.rotationCount;
    return kBrickOk;
  }
  int value = 0;
  if (w.what == What::Distance) {
    value = r.centimetres;
  } else {
    if (!r.input.valid) {
      return kBrickOk;  // just configured: no reading yet
    }
    value = r.input.scaled;
  }
  if (w.what == What::Touch) {
    int pressed = value != 0 ? 1 : 0;
    if (w.state != -1 && pressed != w.state) {
      emit(pressed ? Kind::Pressed : Kind::Released, w.port, pressed);
    }
    w.state = pressed;
    return kBrickOk;
  }
  // A crossing: below the threshold, or back at threshold + hysteresis. The first reading
  // only says which side it starts on.
  int below = w.state;
  if (value < w.threshold) {
    below = 1;
  } else if (value >= w.threshold + w.hysteresis) {
    below = 0;
  } else if (below == -1) {
    below = 0;
  }
  if (w.state != -1 && below != w.state) {
    bool distance = w.what == What::Distance;
    Kind kind =
        below ? (distance ? Kind::Near : Kind::Dark) : (distance ? Kind::Far : Kind::Bright);
    emit(kind, w.port, value);
  }
  w.state = below;
  return kBrickOk;
}

bool EventWatcher::next(Event& out) {
  if (queue.empty()) {
    return false;
  }
  out = queue.front();
  queue.pop_front();
  return true;
}

}  // namespace Lib
}  // namespace Brick
