// A brick's sleep timer: a brick that has not been kept alive (KEEPALIVE) for its sleep time
// switches itself off and answers nothing from then on.
//
// Off unless a host gives it a time source: a virtual brick that answers tests at once has no
// sense of time passing, and one serving a world runs on the world's clock.
#ifndef SIM_SLEEPTIMER_H
#define SIM_SLEEPTIMER_H

#include <cstdint>
#include <functional>

namespace Sim {

class SleepTimer {
 public:
  // The sleep time a KEEPALIVE reports, in milliseconds (0: never sleeps). The brick's own
  // default is 10 minutes.
  std::uint32_t sleepMs = 600000;
  // Seconds on some clock; with none set the brick never switches off.
  std::function<double()> clock;

  // True once the brick has switched itself off; it stays off.
  bool off() {
    if (switchedOff || !clock || sleepMs == 0) {
      return switchedOff;
    }
    double now = clock();
    if (!started) {
      started = true;
      last = now;
    }
    switchedOff = (now - last) * 1000.0 >= sleepMs;
    return switchedOff;
  }
  // Switched off on purpose (the UI's power-off, a reboot into firmware download): off at once.
  void switchOff() { switchedOff = true; }
  // A KEEPALIVE: the time starts again.
  void keepAlive() {
    if (clock) {
      started = true;
      last = clock();
    }
  }

 private:
  bool started = false;
  bool switchedOff = false;
  double last = 0;
};

}  // namespace Sim

#endif
