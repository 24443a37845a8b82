// Motor on the wire: every telegram byte for byte, the rotation count as the brick encodes it,
// and what a Motor does before it is attached or when the brick stays silent.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <type_traits>
#include <utility>

#include "BrickFixture.h"

using Brick::Lib::Motor;
using test::MemoryBrick;
using test::PtyBrick;
using Strings = std::vector<std::string>;

namespace {

// Reaches the setters that only Block is meant to use.
struct OpenMotor : Motor {
  using Motor::setCommunication;
  using Motor::setPort;
};

template <typename T, typename = void>
struct PublicSetPort : std::false_type {};
template <typename T>
struct PublicSetPort<T, std::void_t<decltype(std::declval<T&>().setPort(0))>> : std::true_type {};
static_assert(!PublicSetPort<Motor>::value, "setPort is for Block only");
static_assert(PublicSetPort<OpenMotor>::value, "the probe itself works");

}  // namespace

TEST_F(MemoryBrick, MotorTelegrams) {
  Motor a, b, c;
  ASSERT_EQ(block.setMotor(&a, 0), 1);
  ASSERT_EQ(block.setMotor(&b, 1), 1);
  ASSERT_EQ(block.setMotor(&c, 2), 1);
  EXPECT_TRUE(sim.received().empty());  // attaching sends nothing

  EXPECT_EQ(b.moveForward(75), 1);
  EXPECT_EQ(b.moveBackward(75), 1);
  EXPECT_EQ(b.moveBackward(-50), 1);  // a negative power runs forward
  EXPECT_EQ(b.moveForward(150), 1);   // low 8 bits, unclamped: the brick reads -106
  EXPECT_EQ(a.moveForwardDegrees(50, 360), 1);
  EXPECT_EQ(a.moveBackwardDegrees(50, 360), 1);
  EXPECT_EQ(a.moveForwardDegrees(50, 0), 1);  // tacho limit 0: no limit
  EXPECT_EQ(a.moveForwardDegrees(100, 100000), 1);
  EXPECT_EQ(c.stop(), 1);           // brake flag false by default: float
  EXPECT_EQ(c.setBrake(true), 1);   // brakes at once
  EXPECT_EQ(c.stop(), 1);           // and every later stop brakes
  EXPECT_EQ(c.setBrake(false), 1);  // floats at once
  EXPECT_EQ(c.resetRotationCount(), 1);
  c.getRotationCount();
  c.setLogLevel(5);  // accepted, nothing sent
  EXPECT_EQ(wire(), (Strings{
                        "00 04 01 4B 05 01 00 20 00 00 00 00",
                        "00 04 01 B5 05 01 00 20 00 00 00 00",
                        "00 04 01 32 05 01 00 20 00 00 00 00",
                        "00 04 01 96 05 01 00 20 00 00 00 00",
                        "00 04 00 32 05 01 00 20 68 01 00 00",
                        "00 04 00 CE 05 01 00 20 68 01 00 00",
                        "00 04 00 32 05 01 00 20 00 00 00 00",
                        "00 04 00 64 05 01 00 20 A0 86 01 00",
                        "00 04 02 00 00 00 00 00 00 00 00 00",
                        "00 04 02 00 07 01 00 20 00 00 00 00",
                        "00 04 02 00 07 01 00 20 00 00 00 00",
                        "00 04 02 00 00 00 00 00 00 00 00 00",
                        "00 0A 02 00",
                        "00 06 02",
                    }));
  // A brick takes every one of them.
  EXPECT_EQ(refused(), Strings{});
  EXPECT_EQ(sim.outputs[1].power, -106);
  EXPECT_EQ(sim.outputs[0].tachoLimit, 100000u);
}

TEST_F(MemoryBrick, RotationCountIsSignedLittleEndian) {
  Motor motor;
  block.setMotor(&motor, 1);
  // The brick sends these as 2C 01 00 00, FB FF FF FF, 40 9C 00 00, C0 63 FF FF, ...
  for (int count : {300, -5, 40000, -40000, INT_MAX, INT_MIN, 0}) {
    sim.outputs[1].rotationCount = count;
    sim.outputs[1].blockTachoCount = 12345;  // neighbouring counters are not read
    sim.outputs[1].tachoCount = -12345;
    EXPECT_EQ(motor.getRotationCount(), count);
  }
  // Port, power, mode, regulation, turn ratio, run state; tacho limit, tacho count, block tacho
  // count; rotation count.
  sim.scriptReply(0x06, test::hex("02 06 00  01 00 00 00 00 00  00 00 00 00  00 00 00 00  "
                                  "00 00 00 00  C0 63 FF FF"));
  EXPECT_EQ(motor.getRotationCount(), -40000);
}

TEST_F(MemoryBrick, ResetClearsTheCounterThatIsRead) {
  Motor motor;
  block.setMotor(&motor, 2);
  sim.outputs[2].rotationCount = 720;
  sim.outputs[2].blockTachoCount = 90;
  EXPECT_EQ(motor.getRotationCount(), 720);
  EXPECT_EQ(motor.resetRotationCount(), 1);
  EXPECT_EQ(motor.getRotationCount(), 0);
  EXPECT_EQ(sim.outputs[2].blockTachoCount, 90);  // the relative counter is left alone
}

TEST_F(MemoryBrick, SilentBrickLeavesThePrefill) {
  Motor motor;
  block.setMotor(&motor, 0);
  silent = true;
  EXPECT_EQ(motor.getRotationCount(), 16843009);  // 01 01 01 01
  EXPECT_EQ(motor.moveForward(50), 1);
  EXPECT_EQ(motor.stop(), 1);
  EXPECT_EQ(motor.resetRotationCount(), 1);
}

TEST_F(MemoryBrick, UnattachedMotorSendsNothing) {
  Motor motor;
  EXPECT_EQ(motor.moveForward(50), -1);
  EXPECT_EQ(motor.moveBackward(50), -1);
  EXPECT_EQ(motor.moveForwardDegrees(50, 90), -1);
  EXPECT_EQ(motor.moveBackwardDegrees(50, 90), -1);
  EXPECT_EQ(motor.stop(), -1);
  EXPECT_EQ(motor.setBrake(true), -1);  // the flag is still kept
  EXPECT_EQ(motor.resetRotationCount(), -1);
  EXPECT_EQ(motor.getRotationCount(), -1);
  motor.setLogLevel(3);
  EXPECT_TRUE(sim.received().empty());

  block.setMotor(&motor, 1);
  motor.stop();
  EXPECT_EQ(wire(), Strings{"00 04 01 00 07 01 00 20 00 00 00 00"});
}

TEST_F(MemoryBrick, CopiesDriveTheSamePort) {
  Motor original;
  block.setMotor(&original, 2);
  original.setBrake(true);
  Motor copy(original);
  Motor assigned;
  Motor& result = (assigned = original);
  EXPECT_EQ(&result, &assigned);
  Motor& alias = assigned;
  assigned = alias;  // self-assignment keeps everything
  Motor unattached;
  Motor overwritten;
  block.setMotor(&overwritten, 0);
  overwritten = unattached;  // the link goes too

  clearWire();
  copy.stop();
  assigned.stop();
  EXPECT_EQ(overwritten.stop(), -1);
  EXPECT_EQ(wire(), (Strings{"00 04 02 00 07 01 00 20 00 00 00 00",
                             "00 04 02 00 07 01 00 20 00 00 00 00"}));
}

TEST_F(MemoryBrick, ProtectedSettersAttachLikeBlock) {
  OpenMotor motor;
  EXPECT_EQ(motor.setPort(2), 1);
  EXPECT_EQ(motor.moveForward(10), -1);  // a port alone is no link
  EXPECT_EQ(motor.setCommunication(&block.getCommunication()), 1);
  EXPECT_EQ(motor.moveForward(10), 1);
  EXPECT_EQ(wire(), Strings{"00 04 02 0A 05 01 00 20 00 00 00 00"});
}

// The same telegrams over the serial path, as a brick on a Bluetooth serial device sees them.
TEST_F(PtyBrick, MotorOverTheSerialLine) {
  Motor motor;
  block.setMotor(&motor, 1);
  {
    auto guard = server.lock();
    sim.outputs[1].rotationCount = -40000;
  }
  clearWire();
  EXPECT_EQ(motor.moveForwardDegrees(75, 360), 1);
  EXPECT_EQ(motor.getRotationCount(), -40000);
  EXPECT_EQ(motor.resetRotationCount(), 1);
  EXPECT_EQ(motor.getRotationCount(), 0);
  EXPECT_EQ(motor.setBrake(true), 1);
  EXPECT_EQ(wire(), (Strings{"00 04 01 4B 05 01 00 20 68 01 00 00", "00 06 01", "00 0A 01 00",
                             "00 06 01", "00 04 01 00 07 01 00 20 00 00 00 00"}));
  EXPECT_TRUE(block.getStatus().isSuccess());
}
