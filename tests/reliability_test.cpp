// What the link promises when the brick is late, short or refusing, and when several threads
// share one brick: a call gets its own reply or a recorded failure, never another call's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "BrickFixture.h"
#include "brick/Motor.h"
#include "comm/LinkCode.h"

using test::hex;
using test::MemoryBrick;
using test::PtyBrick;
using Fault = Sim::PtyServer::Fault;

namespace {

const int kPrefill = 257;  // what getBatteryLevel returns when no reply filled its buffer

}  // namespace

// Every timing of a late brick: each call returns the value the brick held when that call was
// made, or fails with the failure recorded; no call returns an earlier call's value.
TEST_F(PtyBrick, LateRepliesNeverAnswerALaterCall) {
  const int late = Comm::kReplyTimeoutMs + 100;
  const struct {
    const char* pattern;
    int lateTimes;    // replies that come late, from the first (-1: all)
    int otherOpcode;  // a call between the late one and the rest, of another opcode (0: none)
    int mustSucceed;  // calls, counted from the last, that must succeed
  } cases[] = {
      {"just late", 1, 0, 3},
      {"always late", -1, 0, 0},
      {"late twice, then on time", 2, 0, 2},
      {"late, then a call of another opcode", 1, 0x9B, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    server.setFault(Fault::Late, c.lateTimes, late);
    int failures = 0;
    for (int i = 0; i < 4; ++i) {
      if (i == 1 && c.otherOpcode != 0) {
        char name[256];
        block.getName(name);
      }
      const int value = 7001 + i;
      {
        auto guard = server.lock();
        sim.batteryMillivolts = value;
      }
      block.getCommunication().clearStatus();
      int got = block.getBatteryLevel();
      if (got == kPrefill) {
        EXPECT_TRUE(block.getStatus().isFatal()) << "call " << i;
        EXPECT_GT(block.getStatus().getLineNumber(), 0u);
        ++failures;
        EXPECT_LT(i, 4 - c.mustSucceed) << "call " << i << " should have recovered";
      } else {
        EXPECT_EQ(got, value) << "call " << i;
        EXPECT_TRUE(block.getStatus().isSuccess());
      }
    }
    if (c.lateTimes < 0) {
      EXPECT_EQ(failures, 4);
    }
    server.setFault(Fault::None, 0);
    // Whatever is still on its way is passed over: the link is in step afterwards.
    std::this_thread::sleep_for(std::chrono::milliseconds(late + 100));
    block.getCommunication().clearStatus();
    for (int value : {8001, 8002}) {
      {
        auto guard = server.lock();
        sim.batteryMillivolts = value;
      }
      EXPECT_EQ(block.getBatteryLevel(), value);
    }
  }
}

// Replies the brick cut short are failures: the bytes they lack would read as values.
TEST_F(PtyBrick, ShortReplyIsAFailureAndLeavesTheBuffer) {
  server.setFault(Fault::Short, 1);  // 02 0B 00 28 23 -> 02 0B
  unsigned char reply[4] = {0x01, 0x01, 0x01, 0x01};
  unsigned char command[] = {0x0B};
  block.getCommunication().sendDirectCommand(1, command, 1, reply, 4);
  EXPECT_EQ(hex(Sim::Bytes(reply, reply + 4)), "01 01 01 01");
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkShortReply);
  EXPECT_GT(block.getStatus().getLineNumber(), 0u);
  block.getCommunication().clearStatus();
  auto guard = server.lock();
  sim.scriptReply(0x0B, hex("02 0B 00 28"));  // one byte short of the battery reading
  guard.unlock();
  EXPECT_EQ(block.getBatteryLevel(), kPrefill);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkShortReply);
  block.getCommunication().clearStatus();
  EXPECT_EQ(block.getBatteryLevel(), 9000);  // and the link is still in step
  EXPECT_TRUE(block.getStatus().isSuccess());
}

// Where the link reads the brick's status byte itself, a refusal is a recorded failure.
TEST_F(PtyBrick, RefusedNameRequestsAreRecorded) {
  Sim::Bytes refusedInfo = hex("02 9B C0");
  refusedInfo.resize(33, 0x00);
  {
    auto guard = server.lock();
    sim.scriptReply(0x9B, refusedInfo);
    sim.scriptReply(0x98, hex("02 98 EC"));
  }
  char name[256];
  std::strcpy(name, "unchanged");
  block.getName(name);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkBadReply);
  EXPECT_NE(std::string(block.getStatus().getFileName()), "");
  EXPECT_GT(block.getStatus().getLineNumber(), 0u);
  block.getCommunication().clearStatus();
  EXPECT_FALSE(block.getCommunication().setName(const_cast<char*>("Robby")));
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkBadReply);
  block.getCommunication().clearStatus();
  block.getName(name);
  auto guard = server.lock();
  EXPECT_EQ(name, sim.name);  // answered as usual again
  EXPECT_TRUE(block.getStatus().isSuccess());
}

// Two threads on one Block, as a GUI thread and a control thread would be: every value is the
// brick's answer to that very call.
// One program per device: a second one is told at once that the brick is in use, rather than
// having the two take each other's replies; once the first has gone, the device is free.
TEST_F(PtyBrick, ASecondProgramOnTheDeviceIsToldItIsInUse) {
  int toChild[2];
  int fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  block.disconnect();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Brick::Lib::Block holder;
    char opened = holder.connectBluetooth(const_cast<char*>(server.devicePath().c_str())) &&
                          holder.getBatteryLevel() == 9000
                      ? 'y'
                      : 'n';
    (void)!::write(fromChild[1], &opened, 1);
    char go;
    (void)!::read(toChild[0], &go, 1);
    ::_exit(0);
  }
  char opened = 0;
  ASSERT_EQ(::read(fromChild[0], &opened, 1), 1);
  EXPECT_EQ(opened, 'y');
  Brick::Lib::Block second;
  EXPECT_FALSE(second.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  EXPECT_EQ(second.getStatus().getCode(), Comm::kLinkBusy);
  ASSERT_EQ(::write(toChild[1], "x", 1), 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(second.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
  EXPECT_EQ(second.getBatteryLevel(), 9000);
  for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
    ::close(fd);
  }
}

TEST_F(MemoryBrick, TwoThreadsOnOneBlockEachGetTheirOwnReplies) {
  Brick::Lib::Motor motor;
  ASSERT_EQ(block.setMotor(&motor, 1), 1);
  sim.batteryMillivolts = 7001;
  sim.outputs[1].rotationCount = 4242;
  sim.name = "Shared";
  const int kCalls = 10000;
  int wrongBattery = 0;
  int wrongName = 0;
  int wrongRotation = 0;
  std::thread power([&] {
    char name[256];
    for (int i = 0; i < kCalls; ++i) {
      if (i % 2 == 0) {
        wrongBattery += block.getBatteryLevel() != 7001;
      } else {
        block.getName(name);
        wrongName += std::strcmp(name, "Shared") != 0;
      }
    }
  });
  std::thread control([&] {
    for (int i = 0; i < kCalls; ++i) {
      if (i % 2 == 0) {
        wrongRotation += motor.getRotationCount() != 4242;
      } else {
        block.playTone(440, 10);
      }
    }
  });
  power.join();
  control.join();
  EXPECT_EQ(wrongBattery, 0);
  EXPECT_EQ(wrongName, 0);
  EXPECT_EQ(wrongRotation, 0);
  EXPECT_TRUE(block.getStatus().isSuccess());
  EXPECT_EQ(sim.receivedCount(), 2u * kCalls);
}

// Closing the link gives a terminal back as it was: `brick --device` on a real terminal must
// not leave it raw.
TEST(Terminal, SettingsAreRestoredOnClose) {
  std::string path;
  int master = test::openPtyMaster(path);
  ASSERT_GE(master, 0);
  int watcher = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(watcher, &before), 0);
  before.c_lflag |= ICANON | ECHO;
  ::cfsetispeed(&before, B9600);
  ::cfsetospeed(&before, B9600);
  ASSERT_EQ(::tcsetattr(watcher, TCSANOW, &before), 0);
  ASSERT_EQ(::tcgetattr(watcher, &before), 0);
  Comm::SerialCommunication link;
  ASSERT_TRUE(link.openBT(const_cast<char*>(path.c_str())));
  termios during{};
  ASSERT_EQ(::tcgetattr(watcher, &during), 0);
  EXPECT_EQ(during.c_lflag & ICANON, 0u);  // raw while open
  link.close();
  termios after{};
  ASSERT_EQ(::tcgetattr(watcher, &after), 0);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
  ::close(watcher);
  ::close(master);
}

// libusb starts a thread with its context: once the link has closed its device (or found
// none), the program is left with no thread and no memory of ours (the leak checker sees the
// rest).
TEST(LibusbContext, GoesWithTheLastDevice) {
  auto threads = [] {
    std::size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
      (void)entry;
      ++n;
    }
    return n;
  };
  // A joined thread can still be listed for a moment: the kernel wakes its joiner before it
  // takes the thread off /proc. So the count is given a second to come down.
  auto settled = [&threads](std::size_t count) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (threads() != count && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return threads();
  };
  std::size_t before = threads();
  for (int round = 0; round < 2; ++round) {
    Comm::SerialCommunication link;
    if (link.open()) {  // a brick plugged into this machine
      link.close();
    }
    EXPECT_EQ(settled(before), before) << "round " << round;
  }
}
