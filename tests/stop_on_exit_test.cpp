// StopOnExit on the wire: however its scope ends, by a return or by an exception unwinding
// through it, all three motors go off (one SETOUTPUTSTATE for port 0xFF) and the sound stops;
// released, it sends nothing.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "brick/Motor.h"
#include "brick/StopOnExit.h"

using test::MemoryBrick;
using Strings = std::vector<std::string>;
namespace L = Brick::Lib;

namespace {

const char* kAllMotorsOff = "00 04 FF 00 00 00 00 00 00 00 00 00";
const char* kStopSound = "00 0C";
const char* kRunB = "00 04 01 4B 05 01 00 20 00 00 00 00";
const char* kTone = "00 03 B8 01 F4 01";

}  // namespace

TEST_F(MemoryBrick, StopOnExitStopsMotorsAndSoundAsItsScopeEnds) {
  struct Case {
    const char* how;
    bool release;
    bool raise;
    Strings wire;
  };
  const Case cases[] = {
      {"returns", false, false, {kRunB, kTone, kAllMotorsOff, kStopSound}},
      {"raises", false, true, {kRunB, kTone, kAllMotorsOff, kStopSound}},
      {"released, returns", true, false, {kRunB, kTone}},
      {"released, raises", true, true, {kRunB, kTone}},
  };
  L::Motor motor;
  block.setMotor(&motor, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    clearWire();
    try {
      L::StopOnExit guard(block);
      motor.moveForward(75);
      block.playTone(440, 500);
      if (c.release) {
        guard.release();
      }
      if (c.raise) {
        throw std::runtime_error("the program went wrong");
      }
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(wire(), c.wire);
    EXPECT_EQ(refused(), Strings{});
    EXPECT_EQ(sim.outputs[1].power, c.release ? 75 : 0);
    EXPECT_EQ(sim.outputs[1].mode, c.release ? 0x05 : 0x00);
  }
}

TEST_F(MemoryBrick, StopOnExitStopNowAndOnAClosedLink) {
  L::StopOnExit guard(block);
  EXPECT_EQ(guard.stop(), L::kBrickOk);
  EXPECT_TRUE(guard.isArmed());
  EXPECT_EQ(wire(), (Strings{kAllMotorsOff, kStopSound}));
  guard.release();
  EXPECT_FALSE(guard.isArmed());

  // A link that is not open fails at once, and the sound's telegram is not tried after it.
  L::Block closed;
  L::StopOnExit idle(closed);
  EXPECT_LT(idle.stop(), 0);
  idle.release();
}
