// The modern API (brick/brick.hpp) on the wire: what each call sends, what it refuses before
// sending, its throwing and error_code forms, each call's own outcome, two threads on one
// Brick, and the misuse its types keep from compiling.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "BrickFixture.h"
#include "brick/brick.hpp"
#include "sim/PtyServer.h"

using namespace std::chrono_literals;
using test::MemoryBrick;
using Strings = std::vector<std::string>;

namespace {

// What the types keep from compiling: ports and inputs counted from 0, an int for either,
// copying a Brick, and making a handle without a Brick.
template <typename T, typename = void>
struct TakesForMotor : std::false_type {};
template <typename T>
struct TakesForMotor<T,
                     std::void_t<decltype(std::declval<brick::Brick&>().motor(std::declval<T>()))>>
    : std::true_type {};
template <typename T, typename = void>
struct TakesForTouch : std::false_type {};
template <typename T>
struct TakesForTouch<
    T, std::void_t<decltype(std::declval<brick::Brick&>().touchSensor(std::declval<T>()))>>
    : std::true_type {};

static_assert(TakesForMotor<brick::Port>::value);
static_assert(!TakesForMotor<int>::value, "a port number does not name an output");
static_assert(!TakesForMotor<brick::Input>::value, "an input is not an output");
static_assert(TakesForTouch<brick::Input>::value);
static_assert(!TakesForTouch<int>::value, "an input number does not name an input");
static_assert(!TakesForTouch<brick::Port>::value, "an output is not an input");
static_assert(!std::is_convertible_v<int, brick::Port>);
static_assert(!std::is_convertible_v<int, brick::Input>);
static_assert(!std::is_copy_constructible_v<brick::Brick>, "one Brick owns its connection");
static_assert(!std::is_copy_assignable_v<brick::Brick>);
static_assert(std::is_nothrow_move_constructible_v<brick::Brick>);
static_assert(!std::is_default_constructible_v<brick::Motor>, "a motor comes from a Brick");
static_assert(!std::is_default_constructible_v<brick::UltrasonicSensor>);
static_assert(!std::is_constructible_v<brick::Brick, const char*, int>);
static_assert(std::is_base_of_v<std::system_error, brick::Error>);

class Api : public MemoryBrick {
 protected:
  // A fresh connection to the virtual brick: a Brick closes the one it was given as it goes.
  brick::Brick open() {
    attach(block);
    return brick::Brick::adopt(block.getCommunication());
  }
};

}  // namespace

TEST_F(Api, EachCallSendsItsTelegrams) {
  struct Case {
    const char* call;
    std::function<void(brick::Brick&, std::error_code&)> run;
    Strings wire;
  };
  using brick::Input;
  using brick::Port;
  const Case cases[] = {
      {"motor B run 75",
       [](auto& b, auto& ec) { b.motor(Port::B).run(75, ec); },
       {"80 04 01 4B 07 01 00 20 00 00 00 00"}},
      {"motor A turn -30 by 360",
       [](auto& b, auto& ec) { b.motor(Port::A).turn(-30, 360, ec); },
       {"80 04 00 E2 07 01 00 20 68 01 00 00"}},
      {"motor C coasts",
       [](auto& b, auto& ec) { b.motor(Port::C).stop(false, ec); },
       {"80 04 02 00 00 00 00 00 00 00 00 00"}},
      {"motor C brakes",
       [](auto& b, auto& ec) { b.motor(Port::C).stop(true, ec); },
       {"80 04 02 00 07 01 00 20 00 00 00 00"}},
      {"motor A position", [](auto& b, auto& ec) { b.motor(Port::A).position(ec); }, {"00 06 00"}},
      {"motor A reset",
       [](auto& b, auto& ec) { b.motor(Port::A).resetPosition(ec); },
       {"80 0A 00 00"}},
      {"pair B C run 50",
       [](auto& b, auto& ec) { b.pair(Port::B, Port::C, ec).run(50, 0, ec); },
       {"80 04 01 32 07 02 00 20 00 00 00 00", "80 04 02 32 07 02 00 20 00 00 00 00"}},
      {"pair B C spin 180",
       [](auto& b, auto& ec) { b.pair(Port::B, Port::C, ec).turn(40, 180, 100, ec); },
       {"80 04 01 28 07 02 64 20 B4 00 00 00", "80 04 02 28 07 02 64 20 B4 00 00 00"}},
      {"touch on 1, read",
       [](auto& b, auto& ec) { b.touchSensor(Input::S1, ec).pressed(ec); },
       {"80 05 00 01 20", "00 07 00"}},
      {"light on 3",
       [](auto& b, auto& ec) { b.lightSensor(Input::S3, true, ec); },
       {"80 05 02 05 80"}},
      {"ambient light on 3",
       [](auto& b, auto& ec) { b.lightSensor(Input::S3, false, ec); },
       {"80 05 02 06 80"}},
      {"sound on 2", [](auto& b, auto& ec) { b.soundSensor(Input::S2, ec); }, {"80 05 01 07 80"}},
      {"colour on 2", [](auto& b, auto& ec) { b.colourSensor(Input::S2, ec); }, {"80 05 01 0D 00"}},
      {"ultrasonic on 4",
       [](auto& b, auto& ec) { b.ultrasonicSensor(Input::S4, ec); },
       {"80 05 03 0B 00"}},
      {"tone 440 Hz 200 ms",
       [](auto& b, auto& ec) { b.playTone(440, 200ms, ec); },
       {"80 03 B8 01 C8 00"}},
      {"tone 1 kHz 0.5 s",
       [](auto& b, auto& ec) { b.playTone(1000, 500ms, ec); },
       {"80 03 E8 03 F4 01"}},
      {"stop sound", [](auto& b, auto& ec) { b.stopSound(ec); }, {"80 0C"}},
      {"battery", [](auto& b, auto& ec) { b.batteryMillivolts(ec); }, {"00 0B"}},
      {"name", [](auto& b, auto& ec) { b.name(ec); }, {"01 9B"}},
      {"rename robot",
       [](auto& b, auto& ec) { b.rename("robot", ec); },
       {"01 98 72 6F 62 6F 74 00 00 00 00 00 00 00 00 00 00 00"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    clearWire();
    brick::Brick b = open();
    b.keepRunning();  // the wire holds the call's telegrams only
    std::error_code ec;
    c.run(b, ec);
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_EQ(wire(), c.wire);
  }
}

TEST_F(Api, ValuesOutOfRangeAreRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* call;
    std::function<void(brick::Brick&, std::error_code&)> run;
    brick::Errc expected;
  };
  using brick::Errc;
  using brick::Input;
  using brick::Port;
  const Case cases[] = {
      {"power 101", [](auto& b, auto& ec) { b.motor(Port::A).run(101, ec); }, Errc::bad_value},
      {"power -101", [](auto& b, auto& ec) { b.motor(Port::A).run(-101, ec); }, Errc::bad_value},
      {"turn 0 degrees", [](auto& b, auto& ec) { b.motor(Port::A).turn(50, 0, ec); },
       Errc::bad_value},
      {"turn ratio 101", [](auto& b, auto& ec) { b.pair(Port::B, Port::C, ec).run(50, 101, ec); },
       Errc::bad_value},
      {"a pair of one motor", [](auto& b, auto& ec) { b.pair(Port::B, Port::B, ec); },
       Errc::bad_port},
      {"tone 100 Hz", [](auto& b, auto& ec) { b.playTone(100, 200ms, ec); }, Errc::bad_value},
      {"tone 70 s", [](auto& b, auto& ec) { b.playTone(440, 70s, ec); }, Errc::bad_value},
      {"an empty name", [](auto& b, auto& ec) { b.rename("", ec); }, Errc::bad_value},
      {"a name of 16", [](auto& b, auto& ec) { b.rename("sixteen-letters!", ec); },
       Errc::bad_value},
      {"mailbox 10", [](auto& b, auto& ec) { b.mailboxes().send(10, "hi", ec); },
       Errc::bad_mailbox},
      {"mailbox -1", [](auto& b, auto& ec) { b.mailboxes().receive(-1, ec); }, Errc::bad_mailbox},
      {"I2C read of 17",
       [](auto& b, auto& ec) {
         brick::I2cSensor sensor = b.i2cSensor(Input::S4, 0x02, ec);
         b.connection()->clearStatus();
         ec.clear();
         sensor.read(0x42, 17, ec);
       },
       Errc::bad_value},
      {"a file name of 16.3",
       [](auto& b, auto& ec) { b.files().remove("sixteen-letters!.rxe", ec); },
       Errc::bad_file_name},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    brick::Brick b = open();
    b.keepRunning();
    clearWire();
    std::error_code ec;
    c.run(b, ec);
    EXPECT_EQ(ec, c.expected) << ec.message();
    EXPECT_TRUE(ec == std::errc::invalid_argument);
    if (std::string(c.call) != "I2C read of 17") {
      EXPECT_EQ(wire(), Strings{});
    } else {
      EXPECT_EQ(wire(), Strings{"80 05 03 0B 00"});  // setting the input up, then nothing
    }
  }
}

TEST_F(Api, ThrowingAndErrorCodeFormsReportTheSameFailure) {
  brick::Brick b = open();
  b.keepRunning();
  // The brick's refusal: its status byte, named from the status table.
  std::error_code ec;
  b.files().remove("nothere.rxe", ec);
  EXPECT_EQ(ec, brick::Errc::file_not_found);
  EXPECT_EQ(brick::brickStatus(ec), 0x87);
  EXPECT_EQ(ec.message(), "file not found");
  EXPECT_STREQ(ec.category().name(), "brick");
  try {
    b.files().remove("nothere.rxe");
    ADD_FAILURE() << "no exception";
  } catch (const brick::Error& e) {
    EXPECT_EQ(e.code(), brick::Errc::file_not_found);
    EXPECT_NE(std::string(e.what()).find("brick::FileStore::remove"), std::string::npos);
  }
  // A reply that never comes: the link's failure, which std::errc names too.
  silentOpcode = Nxt::kGetBatteryLevel;
  EXPECT_THROW(b.batteryMillivolts(), brick::Error);
  b.batteryMillivolts(ec);
  EXPECT_EQ(ec, brick::Errc::timeout);
  EXPECT_TRUE(ec == std::errc::timed_out);
  EXPECT_EQ(brick::brickStatus(ec), -1);
  // What failed before is not this call's outcome, though the shared status record holds it.
  silentOpcode = -1;
  EXPECT_FALSE(b.connection()->getStatus().isSuccess());
  EXPECT_EQ(b.batteryMillivolts(ec), 9000);
  EXPECT_FALSE(ec);
  EXPECT_NO_THROW(b.playTone(440, 100ms));
}

TEST_F(Api, AClosedBrickSendsNothing) {
  brick::Brick b = open();
  brick::Motor motor = b.motor(brick::Port::A);
  b.keepRunning();
  b.close();
  EXPECT_FALSE(b.isOpen());
  clearWire();
  std::error_code ec;
  motor.run(50, ec);
  EXPECT_EQ(ec, brick::Errc::not_open);
  EXPECT_THROW(b.batteryMillivolts(), brick::Error);
  brick::Brick moved = std::move(b);
  EXPECT_EQ(b.connection(), nullptr);  // NOLINT(bugprone-use-after-move): what a move leaves
  b.playTone(440, 100ms, ec);
  EXPECT_EQ(ec, brick::Errc::not_open);
  EXPECT_EQ(wire(), Strings{});
}

TEST_F(Api, ClosingStopsMotorsAndSoundUnlessToldNotTo) {
  struct Case {
    bool keep;
    Strings afterRun;
  };
  const Case cases[] = {
      // The stop on closing asks for replies: the brick confirms it before the link goes.
      {false, {"00 04 FF 00 00 00 00 00 00 00 00 00", "00 0C"}},
      // Left running: the link's close sends one KEEP ALIVE with a reply, so that the motor
      // command sent without one is known to have arrived.
      {true, {"00 0D"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep ? "kept running" : "stopped");
    {
      brick::Brick b = open();
      b.keepRunning(c.keep);
      b.motor(brick::Port::B).run(60);
      clearWire();
    }
    EXPECT_EQ(wire(), c.afterRun);
    EXPECT_EQ(sim.outputs[1].power, c.keep ? 60 : 0);
  }
}

TEST_F(Api, ReadingsComeBackTyped) {
  brick::Brick b = open();
  b.keepRunning();
  sim.outputs[0].rotationCount = -725;
  EXPECT_EQ(b.motor(brick::Port::A).position(), -725);
  EXPECT_EQ(b.batteryMillivolts(), 9000);
  EXPECT_EQ(b.name(), "NXT");
  b.rename("robot");
  EXPECT_EQ(b.name(), "robot");
  EXPECT_EQ(b.programs().running(), std::nullopt);
  EXPECT_STREQ(brick::name(brick::Colour::Red), "red");
}

TEST_F(Api, FilesMoveAsStreams) {
  brick::Brick b = open();
  b.keepRunning();
  std::string content(300, 'x');
  std::istringstream in(content);
  std::vector<std::size_t> steps;
  b.files().upload("log.txt", in, [&steps](std::size_t done, std::size_t total) {
    EXPECT_EQ(total, 300u);
    steps.push_back(done);
  });
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back(), 300u);
  std::vector<brick::FileInfo> files = b.files().list("*.txt");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "log.txt");
  EXPECT_EQ(files[0].size, 300u);
  std::ostringstream out;
  b.files().download("log.txt", out);
  EXPECT_EQ(out.str(), content);
  std::error_code ec;
  std::istringstream again(content);
  b.files().upload("log.txt", again, {}, ec);
  EXPECT_EQ(ec, brick::Errc::file_exists);
  b.files().remove("log.txt");
  EXPECT_TRUE(b.files().list("*.txt").empty());
}

TEST_F(Api, TwoThreadsOnOneBrickEachGetTheirOwnReplies) {
  brick::Brick b = open();
  b.keepRunning();
  sim.outputs[2].rotationCount = 1234;
  const int kCalls = 300;
  std::atomic<int> wrong{0};
  auto positions = [&] {
    brick::Motor motor = b.motor(brick::Port::C);
    for (int i = 0; i < kCalls; ++i) {
      std::error_code ec;
      if (motor.position(ec) != 1234 || ec) {
        ++wrong;
      }
    }
  };
  auto batteries = [&] {
    for (int i = 0; i < kCalls; ++i) {
      std::error_code ec;
      if (b.batteryMillivolts(ec) != 9000 || ec) {
        ++wrong;
      }
    }
  };
  std::thread first(positions);
  std::thread second(batteries);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(sim.count(Nxt::kGetOutputState), static_cast<std::size_t>(kCalls));
  EXPECT_EQ(sim.count(Nxt::kGetBatteryLevel), static_cast<std::size_t>(kCalls));
}

// Opened from a device text, and from BRICK_DEVICE when given none, over a pseudo-terminal as
// a Bluetooth brick is.
TEST(ApiOpen, FromADeviceTextAndTheDefault) {
  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
  ASSERT_TRUE(server.start());
  {
    brick::Brick b(server.devicePath());
    EXPECT_EQ(b.name(), "NXT");
  }
  ::setenv("BRICK_DEVICE", server.devicePath().c_str(), 1);
  {
    brick::Brick b = brick::Brick::open();
    EXPECT_EQ(b.batteryMillivolts(), 9000);
  }
  ::unsetenv("BRICK_DEVICE");
  // Else the config file's last device line, as `brick` reads it; a line naming no device is a
  // setting that cannot be used.
  char dir[] = "/tmp/api_test.XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  std::string config = std::string(dir) + "/brick";
  ::mkdir(config.c_str(), 0700);
  const char* home = std::getenv("XDG_CONFIG_HOME");
  std::string saved = home != nullptr ? home : "";
  ::setenv("XDG_CONFIG_HOME", dir, 1);
  struct Case {
    std::string text;
    bool opens;
  };
  const Case cases[] = {
      {"# mine\nunknown = 1\ndevice = usb\ndevice = " + server.devicePath() + "\n", true},
      {"device =\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::ofstream(config + "/config") << c.text;
    std::error_code ec;
    brick::Brick b = brick::Brick::open(ec);
    EXPECT_EQ(b.isOpen(), c.opens);
    EXPECT_EQ(ec, c.opens ? std::error_code() : make_error_code(brick::Errc::bad_argument));
  }
  std::remove((config + "/config").c_str());
  ::rmdir(config.c_str());
  ::rmdir(dir);
  if (home != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  std::error_code ec;
  brick::Brick none = brick::Brick::open("/nonexistent/rfcomm9", ec);
  EXPECT_TRUE(ec);
  EXPECT_FALSE(none.isOpen());
  EXPECT_THROW(brick::Brick(std::string(300, 'x')), brick::Error);
  server.stop();
}

TEST_F(Api, ProgramsAndMailboxes) {
  brick::Brick b = open();
  b.keepRunning();
  std::istringstream program(std::string(64, '\x01'));
  b.files().upload("echo.rxe", program);
  EXPECT_EQ(b.programs().running(), std::nullopt);
  b.programs().start("echo.rxe");
  EXPECT_EQ(b.programs().running(), std::optional<std::string>("echo.rxe"));
  clearWire();
  b.mailboxes().send(1, "hello");
  EXPECT_EQ(wire(), Strings{"00 09 01 06 68 65 6C 6C 6F 00"});
  ASSERT_EQ(sim.program.mailbox(1).size(), 1u);
  // The host's side of mailbox 3 is the protocol's 13.
  sim.program.post(13, std::string("pong"));
  clearWire();
  EXPECT_EQ(b.mailboxes().receive(3), std::optional<std::string>("pong"));
  EXPECT_EQ(b.mailboxes().receive(3), std::nullopt);
  EXPECT_EQ(wire(), (Strings{"00 13 0D 00 01", "00 13 0D 00 01"}));
  b.programs().stop();
  EXPECT_EQ(b.programs().running(), std::nullopt);
  std::error_code ec;
  b.programs().stop(ec);
  EXPECT_EQ(ec, brick::Errc::no_program);
  b.mailboxes().send(1, "hello", ec);
  EXPECT_EQ(ec, brick::Errc::no_program);
}

TEST_F(Api, KeepAliveSendsOnlyWhenDue) {
  brick::Brick b = open();
  b.keepRunning();
  brick::KeepAlive awake(b);
  clearWire();
  awake.tick();  // the first asks the brick for its sleep time
  awake.tick();  // the next is not due for a third of it
  EXPECT_EQ(wire(), Strings{"00 0D"});
  EXPECT_EQ(awake.sleepTime(), std::chrono::milliseconds(600000));
  EXPECT_GT(awake.dueIn(), std::chrono::milliseconds(190000));
  b.close();
  std::error_code ec;
  brick::KeepAlive closed(b);
  closed.tick(ec);
  EXPECT_EQ(ec, brick::Errc::not_open);
}
