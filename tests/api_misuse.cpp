// Misuse the modern API's types keep from compiling, one case per MISUSE value; CTest builds
// each and expects the build to fail. MISUSE 0 is the correct use beside them, which must build,
// so that a failure means the misuse and not a broken setup.
#include <brick/brick.hpp>

#include <chrono>

int main() {
  using namespace std::chrono_literals;
  brick::Brick nxt = brick::Brick::open();
#if MISUSE == 0
  brick::Motor left = nxt.motor(brick::Port::B);
  left.wait(500ms);
  nxt.touchSensor(brick::Input::S1);
  nxt.playTone(440, 200ms);
  brick::Brick other = std::move(nxt);
#elif MISUSE == 1
  nxt.motor(0);  // an output counted from 0
#elif MISUSE == 2
  nxt.touchSensor(1);  // an input by number
#elif MISUSE == 3
  nxt.motor(brick::Input::S1);  // an input for a motor
#elif MISUSE == 4
  brick::Brick copy = nxt;  // a second owner of one connection
#elif MISUSE == 5
  brick::Motor orphan;  // a motor of no brick
#elif MISUSE == 6
  nxt.motor(brick::Port::A).wait(500);  // a time without its unit
#elif MISUSE == 7
  nxt.playTone(440, 200);  // a duration without its unit
#endif
}
