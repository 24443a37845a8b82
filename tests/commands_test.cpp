// The rest of the brick's protocol through the virtual brick: files, mailboxes, programs,
// keep-alive, brick information, full output and input state, synchronised motors and I2C
// registers. Telegrams and replies in hex, as the protocol writes them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "BrickFixture.h"
#include "brick/BrickCode.h"
#include "brick/BrickInfo.h"
#include "brick/Files.h"
#include "brick/I2cDevice.h"
#include "brick/Input.h"
#include "brick/KeepAlive.h"
#include "brick/Mailbox.h"
#include "brick/Output.h"
#include "brick/Program.h"
#include "brick/SyncDrive.h"
#include "brick/Ultrasonic.h"
#include "comm/LinkCode.h"
#include "comm/Nxt.h"
#include "sim/MotorDrive.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"

using namespace Brick::Lib;
using test::hex;

namespace {

Sim::Bytes pattern(std::size_t n) {
  Sim::Bytes data(n);
  for (std::size_t i = 0; i < n; ++i) {
    data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  }
  return data;
}

// " 00" repeated: the padding of a name field or message after its text.
std::string zeros(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += " 00";
  }
  return out;
}

}  // namespace

class Protocol : public test::MemoryBrick {};

TEST_F(Protocol, UploadListDownloadDeleteRoundTrip) {
  // Each WRITE answered, as a host that asked for replies gets them (WRITEs without: below).
  block.getCommunication().setConfirmCommands(true);
  Files files(block);
  Sim::Bytes data = pattern(150);  // three WRITEs: 61, 61, 28; three READs: 58, 58, 34
  std::vector<std::size_t> progress;
  ASSERT_EQ(files.upload("data.txt", data,
                         [&](std::size_t done, std::size_t total) {
                           EXPECT_EQ(total, 150u);
                           progress.push_back(done);
                         }),
            0);
  EXPECT_EQ(progress, (std::vector<std::size_t>{61, 122, 150}));
  EXPECT_EQ(wire().front(), "01 81 64 61 74 61 2E 74 78 74" + zeros(12) + " 96 00 00 00");
  EXPECT_EQ(wire()[1].substr(0, 8), "01 83 00");
  EXPECT_EQ(wire()[3], "01 83 00 " + hex(Sim::Bytes(data.begin() + 122, data.end())));
  EXPECT_EQ(wire().back(), "01 84 00");
  // 150 bytes and the file's 36-byte header fill one sector; the next file needs a header too.
  EXPECT_EQ(sim.flash.freeBytes(), Sim::FlashStore::kCapacity - 256 - 36);

  ASSERT_EQ(files.upload("b.rxe", pattern(3)), 0);
  std::vector<Files::Entry> listed;
  ASSERT_EQ(files.list("*.*", listed), 0);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, "data.txt");
  EXPECT_EQ(listed[0].size, 150u);
  clearWire();
  ASSERT_EQ(files.list("*.rxe", listed), 0);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "b.rxe");
  // The brick keeps a search open after FIND NEXT's 0x87: it is closed.
  EXPECT_EQ(wire(),
            (std::vector<std::string>{"01 86 2A 2E 72 78 65" + zeros(15), "01 87 00", "01 84 00"}));

  clearWire();
  Sim::Bytes back;
  ASSERT_EQ(files.download("data.txt", back), 0);
  EXPECT_EQ(back, data);
  EXPECT_EQ(wire(),
            (std::vector<std::string>{"01 80 64 61 74 61 2E 74 78 74" + zeros(12), "01 82 00 3A 00",
                                      "01 82 00 3A 00", "01 82 00 22 00", "01 84 00"}));
  ASSERT_EQ(files.remove("data.txt"), 0);
  ASSERT_EQ(files.list("data.*", listed), 0);
  EXPECT_TRUE(listed.empty());
  EXPECT_EQ(sim.flash.openHandles(), 0u);
  EXPECT_TRUE(block.getStatus().isSuccess());
}

TEST_F(Protocol, FileFailuresAreTheBricksCodesAndLeaveNoHandleOpen) {
  // Each WRITE answered, as a host that asked for replies gets them (WRITEs without: below).
  block.getCommunication().setConfirmCommands(true);
  Files files(block);
  ASSERT_EQ(files.upload("x.txt", pattern(10)), 0);
  struct Case {
    const char* what;
    std::function<long()> call;
    long code;
  };
  std::vector<std::uint8_t> sink;
  const Case cases[] = {
      {"exists", [&] { return files.upload("x.txt", pattern(5)); }, kBrickStatus + 0x8F},
      {"missing", [&] { return files.download("none.txt", sink); }, kBrickStatus + 0x87},
      {"delete missing", [&] { return files.remove("none.txt"); }, kBrickStatus + 0x87},
      {"no space", [&] { return files.upload("big.bin", pattern(120000)); }, kBrickStatus + 0x82},
  };
  for (const Case& c : cases) {
    block.getCommunication().clearStatus();
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(block.getStatus().getCode(), c.code) << c.what;
    EXPECT_EQ(sim.flash.openHandles(), 0u) << c.what;
  }
  // A WRITE the brick refuses halfway: the handle is closed and the half file deleted.
  sim.scriptReply(0x83, hex("02 83 8E 00 00 00"));
  clearWire();
  EXPECT_EQ(files.upload("y.txt", pattern(100)), kBrickStatus + 0x8E);
  EXPECT_EQ(wire()[2], "01 84 00");
  EXPECT_EQ(wire()[3], "01 85 79 2E 74 78 74" + zeros(15));
  EXPECT_EQ(sim.flash.find("y.txt"), nullptr);
  EXPECT_EQ(sim.flash.openHandles(), 0u);
  // A READ that gets no reply: the link's time-out, then the handle closed all the same.
  sim.scriptReply(0x82, Sim::Bytes());
  EXPECT_EQ(files.download("x.txt", sink), Comm::kLinkTimeout);
  EXPECT_EQ(sim.flash.openHandles(), 0u);
  EXPECT_TRUE(sink.empty());
}

// Any name of at most 19 characters goes to the brick, which compares names in any case.
TEST_F(Protocol, NamesTheBrickTakesAreSentAndCompareInAnyCase) {
  Files files(block);
  const struct {
    std::string name;
    std::string other;  // the same name in another case
  } rows[] = {
      {"noext", "NOEXT"},           {"abcdefghijklmnop.tx", "ABCDEFGHIJKLMNOP.TX"},
      {"w3.rxe.txt", "W3.Rxe.Txt"}, {" a.text", " A.TEXT"},
      {"*.rxe", "*.RXE"},
  };
  for (const auto& row : rows) {
    Sim::Bytes data = pattern(row.name.size());
    Sim::Bytes back;
    std::vector<Files::Entry> listed;
    ASSERT_EQ(files.upload(row.name, data), 0) << row.name;
    EXPECT_EQ(files.upload(row.other, data), kBrickStatus + 0x8F) << row.name;
    ASSERT_EQ(files.download(row.other, back), 0) << row.name;
    EXPECT_EQ(back, data) << row.name;
    ASSERT_EQ(files.list(row.other, listed), 0) << row.name;
    ASSERT_EQ(listed.size(), 1u) << row.name;
    EXPECT_EQ(listed[0].name, row.name);
    ASSERT_EQ(files.remove(row.other), 0) << row.name;
  }
  EXPECT_TRUE(sim.flash.files().empty());
  EXPECT_EQ(sim.flash.openHandles(), 0u);
}

TEST_F(Protocol, BadArgumentsAreRefusedBeforeAnythingIsSent) {
  Files files(block);
  Mailbox mail(block);
  Program program(block);
  std::vector<Files::Entry> listed;
  std::string text;
  struct Case {
    const char* what;
    std::function<long()> call;
    long code;
  };
  const Case cases[] = {
      {"name over 19", [&] { return files.upload("abcdefghijklmnop.txt", {}); }, kBrickBadFileName},
      {"pattern over 19", [&] { return files.list("*.abcdefghijklmnopqr", listed); },
       kBrickBadFileName},
      {"program over 19", [&] { return program.start("robot_abcdefghij.rxe"); }, kBrickBadFileName},
      {"a NUL inside", [&] { return files.remove(std::string("a\0b.rxe", 7)); }, kBrickBadFileName},
      {"sound over 19", [&] { return BrickInfo(block).playSoundFile("Good Job, once more.rso"); },
       kBrickBadFileName},
      {"inbox 10", [&] { return mail.send(10, "hi"); }, kBrickBadInbox},
      {"inbox -1", [&] { return mail.send(-1, "hi"); }, kBrickBadInbox},
      {"outbox 9", [&] { return mail.receive(9, text); }, kBrickBadInbox},
      {"59 bytes", [&] { return mail.send(0, std::string(59, 'x')); }, kBrickTextTooLong},
      {"port 3", [&] { return Output(block, 3).resetPosition(true); }, kBrickBadPort},
      {"power 101", [&] { return Output(block, 0).runRegulated(101); }, kBrickBadValue},
      {"same port twice", [&] { return SyncDrive(block, 1, 1).drive(50); }, kBrickBadPort},
  };
  for (const Case& c : cases) {
    block.getCommunication().clearStatus();
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(block.getStatus().getCode(), c.code) << c.what;
  }
  EXPECT_TRUE(wire().empty());
  EXPECT_EQ(mail.send(0, std::string(58, 'x')), kBrickStatus + 0xEC);  // fits; no program runs
}

TEST_F(Protocol, MailboxesTalkToAScriptedProgram) {
  Mailbox mail(block);
  Program program(block);
  std::string text;
  EXPECT_EQ(program.currentName(text), kBrickStatus + 0xEC);
  EXPECT_EQ(program.start("echo.rxe"), kBrickStatus + 0xC0);  // not in flash
  ASSERT_TRUE(sim.flash.store("echo.rxe", pattern(40)));
  sim.program.rules.push_back(Sim::BrickProgram::Rule{1, 10, "re: "});
  sim.program.hook = [](int inbox, const Sim::Bytes& message, Sim::BrickProgram& p) {
    if (inbox == 2 && message.size() == 4) {
      p.post(11, Sim::Bytes{static_cast<std::uint8_t>(message[0] + 1), message[1], message[2],
                            message[3]});
    }
  };
  clearWire();
  ASSERT_EQ(program.start("echo.rxe"), 0);
  ASSERT_EQ(program.currentName(text), 0);
  EXPECT_EQ(text, "echo.rxe");
  EXPECT_EQ(mail.receive(10, text), kBrickStatus + 0x40);
  ASSERT_EQ(mail.send(1, "hello"), 0);
  ASSERT_EQ(mail.receive(10, text, false), 0);
  EXPECT_EQ(text, "re: hello");
  ASSERT_EQ(mail.receive(10, text), 0);  // still there: the first read left it
  EXPECT_EQ(mail.receive(10, text), kBrickStatus + 0x40);
  ASSERT_EQ(mail.sendNumber(2, 41), 0);
  std::int32_t number = 0;
  ASSERT_EQ(mail.receiveNumber(11, number), 0);
  EXPECT_EQ(number, 42);
  EXPECT_EQ(wire(), (std::vector<std::string>{"00 00 65 63 68 6F 2E 72 78 65" + zeros(12), "00 11",
                                              "00 13 0A 00 01", "00 09 01 06 68 65 6C 6C 6F 00",
                                              "00 13 0A 00 00", "00 13 0A 00 01", "00 13 0A 00 01",
                                              "00 09 02 05 29 00 00 00 00", "00 13 0B 00 01"}));
  ASSERT_EQ(program.stop(), 0);
  EXPECT_EQ(program.stop(), kBrickStatus + 0xEC);
  EXPECT_EQ(mail.receive(10, text), kBrickStatus + 0xEC);
}

TEST_F(Protocol, BrickInformationAndSoundFiles) {
  BrickInfo info(block);
  BrickInfo::Device device;
  ASSERT_EQ(info.deviceInfo(device), 0);
  EXPECT_EQ(device.name, "NXT");
  EXPECT_EQ(device.addressText(), "00:16:53:00:00:01");
  EXPECT_EQ(device.freeFlash, Sim::FlashStore::kCapacity - Sim::FlashStore::kHeader);
  BrickInfo::Firmware firmware;
  ASSERT_EQ(info.firmwareVersion(firmware), 0);
  EXPECT_EQ(firmware.protocolMajor * 1000 + firmware.protocolMinor, 1124);
  EXPECT_EQ(firmware.firmwareMajor * 100 + firmware.firmwareMinor, 131);
  std::uint32_t sleep = 0;
  ASSERT_EQ(info.keepAlive(sleep), 0);
  EXPECT_EQ(sleep, 600000u);
  // The brick's refusal is heard only when the link asks for replies.
  block.getCommunication().setConfirmCommands(true);
  EXPECT_EQ(info.playSoundFile("Woops.rso"), kBrickStatus + 0xC0);  // not in flash
  ASSERT_TRUE(sim.flash.store("Woops.rso", pattern(100)));
  ASSERT_EQ(info.playSoundFile("Woops.rso", true), 0);
  EXPECT_EQ(sim.soundFile, "Woops.rso");
  ASSERT_EQ(info.stopSoundPlayback(), 0);
  EXPECT_EQ(sim.soundFile, "");
  EXPECT_EQ(wire(),
            (std::vector<std::string>{"01 9B", "01 88", "00 0D",
                                      "00 02 00 57 6F 6F 70 73 2E 72 73 6F" + zeros(11),
                                      "00 02 01 57 6F 6F 70 73 2E 72 73 6F" + zeros(11), "00 0C"}));
  // The brick's own sounds have spaces in their names. Without replies, the default:
  block.getCommunication().setConfirmCommands(false);
  ASSERT_TRUE(sim.flash.store("Good Job.rso", pattern(10)));
  EXPECT_EQ(info.playSoundFile("Good Job.rso"), 0);
  EXPECT_EQ(sim.soundFile, "Good Job.rso");
  EXPECT_EQ(wire().back(), "80 02 00 47 6F 6F 64 20 4A 6F 62 2E 72 73 6F" + zeros(8));
}

TEST_F(Protocol, FailureKindsAreToldApart) {
  BrickInfo info(block);
  std::uint32_t sleep = 0;
  silent = true;
  EXPECT_EQ(info.keepAlive(sleep), Comm::kLinkTimeout);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
  silent = false;
  sim.scriptReply(0x0D, hex("02 0D BE 00 00 00 00"));
  block.getCommunication().clearStatus();
  EXPECT_EQ(info.keepAlive(sleep), kBrickStatus + 0xBE);
  EXPECT_TRUE(block.getStatus().isWarning());
  EXPECT_STREQ(brickCodeText(kBrickStatus + 0xBE), "unknown command");
  EXPECT_STREQ(brickCodeText(kBrickStatus + 0x8B), "file is busy");
  block.disconnect();
  EXPECT_EQ(info.keepAlive(sleep), Comm::kLinkNotOpen);
  // The earlier warning gives way to the link's failure.
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkNotOpen);
}

// Each call of the newer classes returns its own outcome: another thread's time-out on the same
// link shows in the shared status record, never in this thread's results.
TEST_F(Protocol, AnotherThreadsFailureIsNotThisCallsOutcome) {
  silentOpcode = Nxt::kGetBatteryLevel;
  std::atomic<bool> done{false};
  std::thread other([&] {
    for (int i = 0; i < 2000; ++i) {
      block.getBatteryLevel();
    }
    done = true;
  });
  Input input(block, 0);
  int calls = 0;
  while (!done || calls < 2000) {
    Input::Values values;
    long code = input.getValues(values);
    if (code != kBrickOk) {
      ADD_FAILURE() << "call " << calls << " returned " << code;
      break;
    }
    ++calls;
  }
  other.join();
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
}

// A brick that does not know a command refuses it in three bytes: a refusal, not a short reply.
TEST_F(Protocol, ARefusalInAShortReplyIsARefusal) {
  sim.scriptReply(Nxt::kGetFirmwareVersion, hex("02 88 BE"));
  BrickInfo info(block);
  BrickInfo::Firmware firmware;
  EXPECT_EQ(info.firmwareVersion(firmware), kBrickStatus + 0xBE);
  EXPECT_FALSE(block.getStatus().isFatal());
  EXPECT_STREQ(Comm::linkCodeText(kBrickStatus + 0xBE), "unknown command");
  EXPECT_STREQ(Comm::linkCodeText(kBrickBadFileName),
               "not a file name the brick takes (at most 19 characters)");
}

// Every code a status record can hold is named, whichever layer recorded it.
TEST(CodeText, NamesEveryCodeTheLibrariesReturn) {
  for (long code = Comm::kLinkShortReply; code <= Comm::kLinkNotOpen; ++code) {
    EXPECT_STRNE(Comm::linkCodeText(code), "unknown error") << code;
  }
  for (long code = Comm::kRecordedWrongDevice; code <= Comm::kRecordedNotAttached; ++code) {
    EXPECT_STRNE(Comm::linkCodeText(code), "unknown error") << code;
    EXPECT_STREQ(brickCodeText(code), Comm::linkCodeText(code));
  }
}

TEST_F(Protocol, KeepAliveKeepsASleepyBrickAwake) {
  double now = 0;
  sim.sleep.sleepMs = 1000;
  sim.sleep.clock = [&] { return now; };
  KeepAlive keeper(block);
  auto start = KeepAlive::Clock::now();
  auto at = [&](double seconds) {
    return start + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  };
  for (; now < 5.0; now += 0.1) {
    ASSERT_EQ(keeper.tick(at(now)), 0) << now;
  }
  EXPECT_EQ(keeper.sleepTimeMs(), 1000u);
  EXPECT_EQ(keeper.periodMs(), 333);
  EXPECT_EQ(sim.count(Nxt::kKeepAlive), 13u);  // ticks 0.1 s apart: one every 0.4 s
  EXPECT_EQ(block.getBatteryLevel(), 9000);
  EXPECT_TRUE(block.getStatus().isSuccess());
  now += 1.0;  // left alone for its sleep time, it switches off
  EXPECT_EQ(keeper.sendNow(), Comm::kLinkTimeout);
}

TEST_F(Protocol, FullOutputAndInputStateAndTheirResets) {
  Output out(block, 1);
  sim.outputs[1].tachoCount = 300;
  sim.outputs[1].blockTachoCount = -20;
  sim.outputs[1].rotationCount = 1000;
  ASSERT_EQ(out.runRegulated(-60, 720, true), 0);
  Output::State state;
  ASSERT_EQ(out.getState(state), 0);
  EXPECT_EQ(state.power, -60);
  EXPECT_EQ(state.mode, 0x07);
  EXPECT_EQ(state.regulation, 1);
  EXPECT_EQ(state.runState, 0x20);
  EXPECT_EQ(state.tachoLimit, 720u);
  EXPECT_EQ(state.tachoCount, 300);  // a limit adds to the goal; the count runs on
  EXPECT_EQ(state.blockTachoCount, -20);
  ASSERT_EQ(out.resetPosition(true), 0);
  ASSERT_EQ(out.getState(state), 0);
  EXPECT_EQ(state.blockTachoCount, 0);
  EXPECT_EQ(state.rotationCount, 1000);
  ASSERT_EQ(out.resetPosition(false), 0);
  ASSERT_EQ(out.getState(state), 0);
  EXPECT_EQ(state.rotationCount, 0);

  Input in(block, 2);
  ASSERT_EQ(in.setMode(Nxt::kSwitch, Nxt::kBooleanMode), 0);
  sim.inputs[2].raw = 183;
  sim.inputs[2].scaled = 7;
  Input::Values values;
  ASSERT_EQ(in.getValues(values), 0);
  EXPECT_EQ(values.type, Nxt::kSwitch);
  EXPECT_EQ(values.mode, Nxt::kBooleanMode);
  EXPECT_EQ(values.raw, 183);
  EXPECT_EQ(values.scaled, 7);
  ASSERT_EQ(in.resetScaledValue(), 0);
  ASSERT_EQ(in.getValues(values), 0);
  EXPECT_EQ(values.scaled, 0);
  EXPECT_EQ(wire(),
            (std::vector<std::string>{"80 04 01 C4 07 01 00 20 D0 02 00 00", "00 06 01",
                                      "80 0A 01 01", "00 06 01", "80 0A 01 00", "00 06 01",
                                      "80 05 02 01 20", "00 07 02", "00 08 02", "00 07 02"}));
}

TEST_F(Protocol, UltrasonicIdentificationThroughGenericRegisterReads) {
  ASSERT_EQ(Input(block, 3).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode), 0);
  sim.ultrasonicLatencyPolls = 2;
  I2cDevice sonar(block, 3);
  sonar.pollMs = 0;
  I2cDevice::Identity id;
  ASSERT_EQ(sonar.identify(id), 0);
  EXPECT_EQ(id.version, "V1.0");
  EXPECT_EQ(id.maker, "LEGO");
  EXPECT_EQ(id.type, "Sonar");
  EXPECT_EQ(id.units, "10E-2m");
  // LSREAD polled while "pending", then LSGETSTATUS, as the brick counts this transaction in
  // status polls.
  const int before = Ultrasonic::kReadPollsBeforeStatus;
  EXPECT_EQ(wire()[0], "80 05 03 0B 00");
  EXPECT_EQ(wire()[1], "00 0F 03 02 08 02 00");
  EXPECT_EQ(wire()[1 + before], "00 10 03");
  EXPECT_EQ(wire()[2 + before], "00 0E 03");
  EXPECT_EQ(wire()[5 + before], "00 10 03");
  // LSREAD answered "pending" is asked again, not taken for a refusal.
  sim.ultrasonicLatencyPolls = 0;
  // (Both replies scripted: the virtual brick's own LSREAD would have handed the bytes over.)
  sim.scriptReply(Nxt::kLsRead,
                  test::hex("02 10 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
  sim.scriptReply(Nxt::kLsRead, test::hex("02 10 00 08 31 30 45 2D 32 6D 00 00 00 00 00 00 00 00 "
                                          "00 00"));
  sim.clearRecord();
  std::string units;
  ASSERT_EQ(sonar.readText(0x14, units), 0);
  EXPECT_EQ(units, "10E-2m");
  EXPECT_EQ(wire(), (std::vector<std::string>{"00 0F 03 02 08 02 14", "00 10 03", "00 10 03"}));
  ASSERT_EQ(sonar.write(0x41, {0x02}), 0);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(I2cDevice(block, 3, 0x04).read(0x00, 8, bytes), kBrickStatus + 0xDD);
  EXPECT_EQ(I2cDevice(block, 0).read(0x00, 8, bytes), kBrickStatus + 0xE0);
}

// Synchronised motors in the simulated robot, on a stepped clock: 10 ms of world time per
// telegram.
class SyncRobot : public test::MemoryBrick {
 protected:
  void SetUp() override {
    robot.reset(new Sim::Robot(Sim::World::builtIn(), clock));
    robot->attach(sim);
    test::MemoryBrick::SetUp();
  }
  Sim::SteppedClock clock{0.01};
  std::unique_ptr<Sim::Robot> robot;
};

TEST_F(SyncRobot, DrivesAMetreStraightAndWaitsForTheMoveToEnd) {
  SyncDrive drive(block, 1, 2);
  Sim::Robot::Pose start = robot->pose();
  // 100 cm on wheels of 5.6 cm: 2046 degrees.
  ASSERT_EQ(drive.drive(75, 0, 2046), 0);
  ASSERT_EQ(drive.waitUntilFinished(20000, 0), 0);
  // The goal is reached and both coast on, in step, as far as their speed carries them.
  double coast = Sim::MotorDrive::coastingDistance(750);
  clock.step(1.0);
  robot->advance();
  Sim::Robot::Pose end = robot->pose();
  EXPECT_NEAR(std::hypot(end.x - start.x, end.y - start.y), 100.0 + coast / 360 * 5.6 * M_PI, 1.0);
  EXPECT_LT(std::fabs(std::remainder(end.heading - start.heading, 360.0)), 1.0);
  Output::State state;
  ASSERT_EQ(drive.second().getState(state), 0);
  EXPECT_EQ(state.runState, Nxt::kRunStateIdle);
  EXPECT_EQ(state.regulation, Nxt::kRegulationMotorSync);
  // Each wheel passes the goal by its coasting, the one whose telegram came second too.
  EXPECT_NEAR(state.tachoCount, 2046 + coast, 5);
  ASSERT_EQ(drive.first().getState(state), 0);
  EXPECT_NEAR(state.tachoCount, 2046 + coast, 5);
  EXPECT_EQ(wire()[0], "80 04 01 4B 07 02 00 20 FE 07 00 00");
}

TEST_F(SyncRobot, TurnRatioCurvesAndSpins) {
  SyncDrive drive(block, 1, 2);
  // A full spin on the spot: each wheel 360 * track / diameter degrees, opposite ways.
  double degrees = 360.0 * 12.0 / 5.6;
  ASSERT_EQ(drive.drive(50, 100, static_cast<std::uint32_t>(std::lround(degrees))), 0);
  ASSERT_EQ(drive.waitUntilFinished(20000, 0), 0);
  clock.step(1.0);  // both coast past the goal
  robot->advance();
  double coast = Sim::MotorDrive::coastingDistance(500);
  EXPECT_NEAR(std::remainder(robot->pose().heading - Sim::World::builtIn().robot.heading, 360.0),
              -coast * 2 * 2.8 / 12, 2.0);
  EXPECT_NEAR(robot->motorAngle(1), degrees + coast, 3.0);
  EXPECT_NEAR(robot->motorAngle(2), -degrees - coast, 3.0);
  // Ratio 50: the second wheel stands, the first turns.
  double before = robot->motorAngle(2);
  ASSERT_EQ(drive.drive(50, 50, 360), 0);
  ASSERT_EQ(drive.waitUntilFinished(20000, 0), 0);
  EXPECT_NEAR(robot->motorAngle(2), before, 0.5);
  EXPECT_GT(robot->motorAngle(1), degrees + 350);
}

// The streamed upload: the free flash first, then the file as the source hands it over; a
// source that stops or runs dry, a brick that stalls mid-file, or a file over the free flash,
// and what went on the wire. However it ends early, no handle stays open and no half file.
TEST_F(Protocol, StreamedUploadAsksFreeFlashAndCleansUpWhenStopped) {
  // Each WRITE answered, as a host that asked for replies gets them (WRITEs without: below).
  block.getCommunication().setConfirmCommands(true);
  const std::string name = " 61 2E 62 69 6E" + zeros(15);  // "a.bin"
  struct Case {
    const char* what;
    std::uint32_t size;
    long stopAt;  // the source gives -1 (or, when negative, runs dry) once this many are given
    long code;
    std::vector<std::string> wire;  // each telegram's first bytes
    int silentOpcode = -1;          // the brick stalls on these: the link times out
  };
  const long kRunsDry = -61;
  const Case cases[] = {
      {"whole file",
       70,
       1000,
       0,
       {"01 9B", "01 81" + name + " 46 00 00 00", "01 83 00", "01 83 00", "01 84 00"}},
      {"stopped after one WRITE",
       70,
       61,
       kBrickStopped,
       {"01 9B", "01 81" + name + " 46 00 00 00", "01 83 00", "01 84 00", "01 85" + name}},
      {"source ran dry",
       70,
       kRunsDry,
       kBrickStopped,
       {"01 9B", "01 81" + name + " 46 00 00 00", "01 83 00", "01 84 00", "01 85" + name}},
      {"the brick stalled on a WRITE",
       70,
       1000,
       Comm::kLinkTimeout,
       {"01 9B", "01 81" + name + " 46 00 00 00", "01 83 00", "01 84 00", "01 85" + name},
       0x83},
      {"over the free flash",
       static_cast<std::uint32_t>(Sim::FlashStore::kCapacity + 1),
       1000,
       kBrickNoRoom,
       {"01 9B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clearWire();
    silentOpcode = c.silentOpcode;
    long given = 0;
    auto source = [&](std::uint8_t* buffer, std::size_t most) -> long {
      long limit = c.stopAt < 0 ? -c.stopAt : c.stopAt;
      if (given >= limit) {
        return c.stopAt < 0 ? 0 : -1;
      }
      long n = static_cast<long>(most) < limit - given ? static_cast<long>(most) : limit - given;
      std::memset(buffer, 0x5A, static_cast<std::size_t>(n));
      given += n;
      return n;
    };
    EXPECT_EQ(Files(block).upload("a.bin", c.size, source), c.code);
    silentOpcode = -1;
    std::vector<std::string> sent = wire();
    ASSERT_EQ(sent.size(), c.wire.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].substr(0, c.wire[i].size()), c.wire[i]);
    }
    std::vector<Files::Entry> listed;
    Files(block).list("*.*", listed);
    if (c.code == 0) {
      ASSERT_EQ(listed.size(), 1u);
      Files(block).remove("a.bin");
    } else {
      EXPECT_TRUE(listed.empty());
    }
  }
}

// CLOSE of every handle, 0 to 15: free ones answer 0x88, which is no failure.
TEST_F(Protocol, CloseAllHandlesSendsSixteenCloses) {
  int closed = -1;
  EXPECT_EQ(Files(block).closeAllHandles(closed), 0);
  EXPECT_EQ(closed, 0);
  ASSERT_EQ(wire().size(), 16u);
  EXPECT_EQ(wire().front(), "01 84 00");
  EXPECT_EQ(wire().back(), "01 84 0F");
}

// Files over a Bluetooth brick (a pseudo-terminal): one telegram up to 128 bytes, an extended
// WRITE and READ beyond, and a brick whose link holds only 64-byte telegrams (as over USB): it
// refuses the long WRITE (0xBF) and carries 58 bytes of a long READ, and the link remembers it.
class BluetoothFiles : public test::PtyBrick {};

TEST_F(BluetoothFiles, LongTelegramsOrShortOnesForABrickThatRefuses) {
  const std::string name = " 66 2E 62 69 6E" + zeros(15);  // "f.bin"
  struct Case {
    const char* what;
    bool refuses;
    std::size_t size;
    std::vector<std::string> up;  // each telegram's first bytes, and its length
    std::vector<std::size_t> upLengths;
    std::vector<std::string> down;
    std::vector<std::size_t> upProgress, downProgress;
  };
  const Case cases[] = {
      {"one 128-byte WRITE",
       false,
       125,
       {"01 81" + name + " 7D 00 00 00", "01 83 00 00 01 02", "01 84 00"},
       {26, 128, 3},
       {"01 80" + name, "01 82 00 7D 00", "01 84 00"},
       {125},
       {125}},
      {"extended WRITEs and READs of 16 KiB",
       false,
       40000,
       {"01 81" + name + " 40 9C 00 00", "01 83 00 00 01", "01 83 00 00 01", "01 83 00 00 01",
        "01 84 00"},
       {26, 129, 129, 129, 3},  // the brick's record keeps 129 bytes of a longer telegram
       {"01 80" + name, "01 82 00 00 40", "01 82 00 00 40", "01 82 00 40 1C", "01 84 00"},
       {16384, 32768, 40000},
       {16384, 32768, 40000}},
      {"a brick that refuses",
       true,
       150,
       {"01 81" + name + " 96 00 00 00", "01 83 00 00 01", "01 83 00 00 01", "01 83 00 3D 3E",
        "01 83 00 7A 7B", "01 84 00"},
       {26, 65, 64, 64, 31, 3},
       // The first READ asks for all and gets 58: the brick keeps to short replies.
       {"01 80" + name, "01 82 00", "01 82 00 3A 00", "01 82 00 22 00", "01 84 00"},
       {61, 122, 150},
       {58, 116, 150}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(block.connectBluetooth(const_cast<char*>(server.devicePath().c_str())));
    {
      auto guard = server.lock();
      sim.setLink(c.refuses ? Sim::VirtualBrick::Link::Usb : Sim::VirtualBrick::Link::Bluetooth);
    }
    Sim::Bytes data(c.size);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<std::uint8_t>(i);
    }
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round == 0 ? "first transfer" : "again on the same link");
      clearWire();
      std::vector<std::size_t> up, down;
      Files files(block);
      ASSERT_EQ(files.upload("f.bin", data, [&](std::size_t d, std::size_t) { up.push_back(d); }),
                0);
      std::vector<std::string> sent = wire();
      // Once refused, the link goes on in short telegrams: the refused one is not sent again.
      std::size_t skip = c.refuses && round == 1 ? 1 : 0;
      ASSERT_EQ(sent.size() + skip, c.up.size());
      for (std::size_t i = 0; i < sent.size(); ++i) {
        std::size_t j = i == 0 ? 0 : i + skip;
        EXPECT_EQ(sent[i].substr(0, c.up[j].size()), c.up[j]) << i;
        EXPECT_EQ((sent[i].size() + 1) / 3, c.upLengths[j]) << i;
      }
      EXPECT_EQ(up, c.upProgress);
      clearWire();
      Sim::Bytes back;
      ASSERT_EQ(
          files.download("f.bin", back, [&](std::size_t d, std::size_t) { down.push_back(d); }), 0);
      EXPECT_EQ(back, data);
      sent = wire();
      ASSERT_EQ(sent.size(), c.down.size());
      for (std::size_t i = 0; i < sent.size(); ++i) {
        const std::string& want = round == 1 && i == 1 && c.refuses ? c.down[2] : c.down[i];
        EXPECT_EQ(sent[i].substr(0, want.size()), want) << i;
      }
      EXPECT_EQ(down, c.downProgress);
      ASSERT_EQ(files.remove("f.bin"), 0);
    }
    block.disconnect();
  }
}

// Over USB a WRITE goes without a reply (81 83); CLOSE, then OPEN READ's size, say whether the
// brick took them all. A WRITE lost on the way leaves the brick no file to enter at CLOSE.
TEST_F(Protocol, UsbWritesGoWithoutReplyAndTheSizeIsCheckedAfterClose) {
  const std::string name = " 75 2E 62 69 6E" + zeros(15);  // "u.bin"
  struct Case {
    const char* what;
    int lose;  // the WRITE (counted from 1) that never reaches the brick, 0: none
    long code;
    std::vector<std::string> wire;
  };
  const Case cases[] = {
      {"all taken",
       0,
       0,
       {"01 81" + name + " 96 00 00 00", "81 83 00", "81 83 00", "81 83 00", "01 84 00",
        "01 80" + name, "01 84 00"}},
      {"one lost",
       2,
       kBrickStatus + 0x84,
       {"01 81" + name + " 96 00 00 00", "81 83 00", "81 83 00", "01 84 00", "01 80" + name}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int writes = 0;
    test::answerInMemory(block, sim, [&](const std::uint8_t* p, std::size_t n) {
      return !(n > 1 && p[1] == 0x83 && ++writes == c.lose);
    });
    std::vector<std::size_t> progress;
    clearWire();
    writes = 0;
    EXPECT_EQ(Files(block).upload("u.bin", pattern(150),
                                  [&](std::size_t d, std::size_t) { progress.push_back(d); }),
              c.code);
    EXPECT_EQ(progress, (std::vector<std::size_t>{61, 122, 150}));
    std::vector<std::string> sent = wire();
    ASSERT_EQ(sent.size(), c.wire.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].substr(0, c.wire[i].size()), c.wire[i]) << i;
    }
    EXPECT_EQ(sim.flash.openHandles(), 0u);
    Files(block).remove("u.bin");
  }
}

// Over USB a download's READs go in runs of 256, back to back, progress told after each run: a
// file of 300 READs' worth and 10 bytes is OPEN READ, 301 READs (the last for the 10) and
// CLOSE, and two reports.
TEST_F(Protocol, UsbDownloadGoesInRunsOfReadsAndTellsProgressAfterEach) {
  sim.setLink(Sim::VirtualBrick::Link::Usb);
  Sim::Bytes data(300 * 58 + 10);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i * 13);
  }
  Files files(block);
  ASSERT_EQ(files.upload("r.bin", data), 0);
  clearWire();
  std::vector<std::size_t> progress;
  Sim::Bytes back;
  ASSERT_EQ(
      files.download("r.bin", back, [&](std::size_t d, std::size_t) { progress.push_back(d); }), 0);
  EXPECT_EQ(back, data);
  EXPECT_EQ(progress, (std::vector<std::size_t>{256 * 58, data.size()}));
  std::vector<std::string> sent = wire();
  ASSERT_EQ(sent.size(), 1u + 301u + 1u);
  EXPECT_EQ(sent.front().substr(0, 5), "01 80");
  for (std::size_t i = 1; i <= 300; ++i) {
    EXPECT_EQ(sent[i], "01 82 00 3A 00") << i;
  }
  EXPECT_EQ(sent[301], "01 82 00 0A 00");
  EXPECT_EQ(sent.back(), "01 84 00");
  EXPECT_TRUE(block.getStatus().isSuccess());
}
