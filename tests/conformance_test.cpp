// The virtual brick as another host library meets it: raw telegrams over its pseudo-terminal,
// hex on the wire, and the pace of a real link on a stepped clock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <memory>
#include <string>

#include "BrickFixture.h"
#include "WireClient.h"
#include "protocol/TelegramText.h"
#include "sim/LinkModel.h"
#include "sim/PtyServer.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace {

using test::counting;
using test::hex;
using test::nameField;
using test::PtyPeer;
using test::RawClient;
using test::zeros;

const std::string kFileName = "61 2E 72 78 65" + zeros(15);  // "a.rxe", 20 bytes

// Every published command gets an answer in its reply's layout; the ones the virtual brick
// does not carry out get the status a real brick with an empty flash and no program gives.
TEST_F(PtyPeer, EveryPublishedCommandIsAnsweredInItsLayout) {
  const struct {
    std::string telegram;
    std::string reply;
  } rows[] = {
      {"01 88", "02 88 00 7C 01 1F 01"},  // protocol 1.124, firmware 1.31
      {"00 08 02", "02 08 00"},
      {"00 08 04", "02 08 C0"},
      {"00 06 03", "02 06 C0" + zeros(22)},
      {"00 07 04", "02 07 C0" + zeros(13)},
      {"00 00 " + kFileName, "02 00 C0"},  // no such file
      {"00 01", "02 01 EC"},
      {"00 02 00 " + kFileName, "02 02 C0"},
      {"00 09 01 02 41 00", "02 09 EC"},
      {"00 09 0A 02 41 00", "02 09 EC"},  // an outbox may be written too
      {"00 09 14 02 41 00", "02 09 EE"},
      {"00 11", "02 11 EC" + zeros(20)},
      {"00 13 0A 05 01", "02 13 EC 05" + zeros(60)},
      {"01 80 " + kFileName, "02 80 87" + zeros(5)},
      // The flash takes the file and keeps it open (handle 0) for the rows below.
      {"01 81 " + kFileName + " 10 00 00 00", "02 81 00 00"},
      {"01 82 03 10 00", "02 82 93 03 10 00" + zeros(16)},  // as long as asked
      {"01 83 20 41", "02 83 93 20 00 00"},
      {"01 84 03", "02 84 88 03"},
      {"01 85 " + kFileName, "02 85 8B " + kFileName},            // busy: still open
      {"01 86 2A 2E 2A" + zeros(17), "02 86 87 01" + zeros(24)},  // not in the table yet
      {"01 87 00", "02 87 93" + zeros(25)},                       // handle 0 is no search
      {"01 89 " + kFileName + " 10 00 00 00", "02 89 8B 00"},
      {"01 8B " + kFileName + " 10 00 00 00", "02 8B 92 00"},  // no data file is a program
      {"01 8C " + kFileName, "02 8C 87" + zeros(5)},
      // The firmware's modules, Comm first; a module id no module has (0x00070001) is 0x90.
      {"01 90 2A 2E 2A" + zeros(17),
       "02 90 00 00 43 6F 6D 6D 2E 6D 6F 64" + zeros(12) + " 01 00 05 00 00 00 00 00 68 07"},
      {"01 91 00",
       "02 91 00 00 49 6E 70 75 74 2E 6D 6F 64" + zeros(11) + " 01 00 03 00 00 00 00 00 A0 01"},
      {"01 92 00", "02 92 00 00"},
      {"01 94 01 00 07 00 00 00 10 00", "02 94 90 01 00 07 00 00 00" + zeros(16)},
      {"01 95 01 00 07 00 00 00 01 00 05", "02 95 90 01 00 07 00 00 00"},
      {"01 97", "02 97 8A 00 00 00 00"},
      {"01 A0", "02 A0 00"},
      {"01 A1 00", "02 A1 00 00 00"},
      {"01 A2 01 02", "02 A2 00 01 00 00 00"},
      {"01 A4", "02 A4 8A"},
      // Not published and not answered by the firmware either: unknown, in three bytes.
      {"00 12", "02 12 BE"},
      {"00 1C", "02 1C BE"},
      {"01 99", "02 99 BE"},
      // Over Bluetooth a telegram up to 128 bytes is carried out, padded or not; one over
      // the brick's buffer is refused, not dropped.
      {"00 0B" + zeros(63), "02 0B 00 28 23"},
      {"00 0B" + zeros(98), "02 0B 00 28 23"},
      {"00 0B" + zeros(127), "02 0B BF"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(exchange(row.telegram), row.reply) << row.telegram;
  }
  // And the stream is still in step.
  EXPECT_EQ(exchange("00 0B"), "02 0B 00 28 23");
}

// The sonar's identification and settings registers, read the way a client identifies a
// digital sensor: LSWRITE a register, poll, LSREAD.
TEST_F(PtyPeer, UltrasonicRegistersIdentifyTheSensor) {
  ASSERT_EQ(exchange("00 05 03 0B 00"), "02 05 00");
  const struct {
    std::string write;
    std::string data;  // LSREAD's count and bytes
  } rows[] = {
      {"02 08 02 00", "08 56 31 2E 30 00 00 00 00"},  // "V1.0"
      {"02 08 02 08", "08 4C 45 47 4F 00 00 00 00"},  // "LEGO"
      {"02 08 02 10", "08 53 6F 6E 61 72 00 00 00"},  // "Sonar"
      {"02 08 02 14", "08 31 30 45 2D 32 6D 00 00"},  // "10E-2m"
      {"02 02 02 40", "02 01 02"},                    // interval 1, continuous
      {"02 03 02 52", "03 00 01 0E"},                 // zero, scale factor, divisor
      {"03 00 02 41 00", "00"},                       // measuring off...
      {"02 01 02 41", "01 00"},                       // ...and the command state says so
  };
  for (const auto& row : rows) {
    ASSERT_EQ(exchange("00 0F 03 " + row.write), "02 0F 00") << row.write;
    EXPECT_EQ(exchange("00 0E 03").substr(0, 8), "02 0E 00") << row.write;
    std::string reply = exchange("00 10 03");
    EXPECT_EQ(reply.substr(0, 9 + row.data.size()), "02 10 00 " + row.data) << row.write;
  }
}

// A new limit adds to the goal and leaves the tacho count counting; only the reset of opcode
// 0x21 (or a program's start) zeroes it.
TEST_F(PtyPeer, TachoCountRunsOnAcrossLimits) {
  {
    auto guard = server.lock();
    sim.outputs[0].tachoCount = 500;
  }
  const std::string tacho500 = "F4 01 00 00";
  EXPECT_EQ(exchange("00 04 00 00 02 00 00 20 00 00 00 00"), "02 04 00");  // brake
  EXPECT_EQ(exchange("00 06 00").substr(39, 11), tacho500);
  EXPECT_EQ(exchange("00 04 00 00 00 00 00 00 00 00 00 00"), "02 04 00");  // float
  EXPECT_EQ(exchange("00 04 00 4B 05 01 00 20 00 00 00 00"), "02 04 00");  // run on
  EXPECT_EQ(exchange("00 06 00").substr(39, 11), tacho500);
  EXPECT_EQ(exchange("00 04 00 4B 05 01 00 20 68 01 00 00"), "02 04 00");  // 360 deg
  EXPECT_EQ(exchange("00 06 00").substr(39, 11), tacho500);
  EXPECT_EQ(exchange("00 21 00"), "02 21 00");
  EXPECT_EQ(exchange("00 06 00").substr(39, 11), "00 00 00 00");
}

// A brick passes by a telegram of no type it knows and a reply sent to it, and carries out the
// no-reply commands without answering: the next telegram's reply is the next to come.
TEST_F(PtyPeer, NoReplyForNoReplyTelegramsUnknownTypesAndReplies) {
  const char* unanswered[] = {
      "05 0B",              // no such type
      "02 0B 00 28 23",     // a reply, sent to the brick
      "80 03 B8 01 64 00",  // PLAYTONE 440 Hz, no reply
      "81 98 42 4F 42"
      " 00",  // SET BRICK NAME "BOB", no reply
  };
  for (const char* telegram : unanswered) {
    ASSERT_TRUE(peer->send(hex(telegram)));
    EXPECT_EQ(exchange("00 0B"), "02 0B 00 28 23") << telegram;
  }
  auto guard = server.lock();
  EXPECT_EQ(sim.toneCount, 1u);
  EXPECT_EQ(sim.name, "BOB");
}

// A Bluetooth client may write a file in 118-byte chunks (121-byte telegrams) and read it back
// in ones of the same size (124-byte replies); over 122 bytes a READ still comes in one reply.
TEST_F(PtyPeer, FilesGoInTelegramsUpTo128Bytes) {
  const std::string name = nameField("chunks.txt");
  const struct {
    std::string telegram;
    std::string reply;
  } rows[] = {
      {"01 81 " + name + " 6C 01 00 00", "02 81 00 00"},  // 364 bytes
      {"01 83 00 " + counting(118), "02 83 00 00 76 00"},
      {"01 83 00 " + counting(118, 118), "02 83 00 00 76 00"},
      {"01 83 00 " + counting(125, 236), "02 83 00 00 7D 00"},  // a 128-byte telegram
      {"01 83 00 " + counting(3, 361), "02 83 00 00 03 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + name, "02 80 00 00 6C 01 00 00"},
      {"01 82 00 76 00", "02 82 00 00 76 00 " + counting(118)},
      {"01 82 00 7A 00", "02 82 00 00 7A 00 " + counting(122, 118)},
      {"01 82 00 7C 00", "02 82 00 00 7C 00 " + counting(124, 240)},
      {"01 84 00", "02 84 00 00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(exchange(row.telegram), row.reply) << row.telegram.substr(0, 8);
  }
}

// An extended WRITE: one telegram of 10 KiB of data, taken as it comes and answered once with
// the count; then one extended READ of the whole file, in one reply. One past the size declared
// writes what fits and answers 0x84, and its file is dropped at CLOSE; one sent without a reply
// wanted writes and answers nothing.
TEST_F(PtyPeer, ExtendedWriteAndReadCarryAFileInOneTelegramEach) {
  const std::size_t size = 10240;
  const std::string big = nameField("big.txt");
  const std::string data = counting(size, 7);
  const struct {
    std::string telegram;
    std::string reply;
  } rows[] = {
      {"01 81 " + big + " 00 28 00 00", "02 81 00 00"},
      {"01 83 00 " + data, "02 83 00 00 00 28"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + big, "02 80 00 00 00 28 00 00"},
      {"01 82 00 00 28", "02 82 00 00 00 28 " + data},
      {"01 84 00", "02 84 00 00"},
      {"01 81 " + nameField("over.txt") + " 00 28 00 00", "02 81 00 00"},
      {"01 83 00 " + counting(size + 1, 7), "02 83 84 00 00 28"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + nameField("over.txt"), "02 80 87" + zeros(5)},
      {"01 81 " + nameField("quiet.txt") + " C8 00 00 00", "02 81 00 00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(exchange(row.telegram), row.reply) << row.telegram.substr(0, 8);
  }
  ASSERT_TRUE(peer->send(hex("81 83 00 " + counting(200))));
  EXPECT_EQ(exchange("01 84 00"), "02 84 00 00");
  auto guard = server.lock();
  ASSERT_NE(sim.flash.find("quiet.txt"), nullptr);
  EXPECT_EQ(hex(sim.flash.find("quiet.txt")->data), counting(200));
}

// The trace names every published command and labels system replies as such.
TEST(Trace, NamesEveryCommandAndItsReply) {
  const struct {
    std::string reply;
    std::string text;
  } rows[] = {
      {"02 88 00 7C 01 1F 01", "reply GETFIRMWAREVERSION SUCCESS protocol=1.124 firmware=1.31"},
      {"02 80 87 00 00 00 00 00", "reply OPENREAD FILE_NOT_FOUND"},
      {"02 9B 00 4E 58 54", "reply GETDEVICEINFO SUCCESS"},
      {"02 13 EC", "reply MESSAGEREAD NO_PROGRAM"},
      {"02 06 00 01 4B 05 02 CE 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
       "reply GETOUTPUTSTATE SUCCESS port=1 power=75 mode=MOTORON|REGULATED "
       "regulation=MOTOR_SYNC turn=-50 run=RUNNING"},
  };
  for (const auto& row : rows) {
    Sim::Bytes r = hex(row.reply);
    EXPECT_EQ(Nxt::describeReply(r.data(), r.size()).substr(0, row.text.size()), row.text);
  }
  for (const char* telegram : {"00 00", "00 01", "00 02", "00 09", "00 11", "00 13", "01 80",
                               "01 86", "01 97", "01 A2", "01 A4", "01 95"}) {
    Sim::Bytes t = hex(telegram);
    std::string name = Nxt::describeCommand(t.data(), t.size());
    EXPECT_EQ(name.find("COMMAND"), std::string::npos) << telegram << ": " << name;
  }
}

// A virtual brick in the built-in world on a stepped clock, served with a link model whose
// time passes on that clock.
struct SteppedBrick {
  explicit SteppedBrick(Sim::LinkModel::Kind kind) {
    robot.attach(sim);
    server.setLinkModel(Sim::LinkModel(kind), [this](double s) {
      auto guard = server.lock();
      clock.step(s);
    });
  }
  Sim::SteppedClock clock;
  Sim::VirtualBrick sim;
  Sim::Robot robot{Sim::World::builtIn(), clock};
  Sim::PtyServer server{sim};
};

// The link model's time passes on a stepped clock: each exchange costs what the link would,
// and a client polling the sonar at most 30 times gets every reading.
TEST(LinkModel, ExchangesTakeTheLinksTimeOnTheWorldsClock) {
  const struct {
    Sim::LinkModel::Kind kind;
    double seconds;  // one GETBATTERYLEVEL and its reply
  } rows[] = {
      {Sim::LinkModel::Kind::None, 0.0},
      {Sim::LinkModel::Kind::Usb, 0.001 + 0.001},  // a pass, the reply held for the host
      // the radio turns, 4 bytes cross, a pass, the radio turns back, 7 bytes cross
      {Sim::LinkModel::Kind::Bluetooth,
       0.030 + 4 * 10 / 460800.0 + 0.001 + 0.030 + 7 * 10 / 460800.0},
  };
  for (const auto& row : rows) {
    SteppedBrick brick(row.kind);
    ASSERT_TRUE(brick.server.start());
    RawClient client(brick.server.devicePath());
    EXPECT_EQ(client.exchange("00 0B"), "02 0B 00 28 23");
    auto guard = brick.server.lock();
    EXPECT_NEAR(brick.clock.time(), row.seconds, 1e-9);
  }
}

TEST(LinkModel, AClientPollingAtMostThirtyTimesGetsEveryReading) {
  SteppedBrick brick(Sim::LinkModel::Kind::Usb);
  ASSERT_TRUE(brick.server.start());
  RawClient client(brick.server.devicePath());
  ASSERT_EQ(client.exchange("00 05 03 0B 00"), "02 05 00");
  int readings = 0;
  int mostPolls = 0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(client.exchange("00 0F 03 02 01 02 42"), "02 0F 00");
    int polls = 1;
    while (client.exchange("00 0E 03") != "02 0E 00 01" && polls < 30) {
      ++polls;
    }
    mostPolls = std::max(mostPolls, polls);
    std::string reply = client.exchange("00 10 03");
    readings += polls < 30 && reply.substr(0, 11) == "02 10 00 01" ? 1 : 0;
  }
  EXPECT_EQ(readings, 100);
  EXPECT_EQ(mostPolls, 2);  // 4 ms of bus at 2 ms per poll
}

// Telegrams sent back to back cost what the link makes of them together: ten GETBATTERYLEVEL
// in one write get their ten replies in order, in far less than ten round trips.
TEST(LinkModel, BackToBackTelegramsCostTheLinksFigureNotTenRoundTrips) {
  const double line4 = 4 * 10 / 460800.0;  // a 2-byte telegram with its prefix, on the radio
  const double line7 = 7 * 10 / 460800.0;  // its 5-byte reply
  const struct {
    Sim::LinkModel::Kind kind;
    double seconds;
  } rows[] = {
      {Sim::LinkModel::Kind::None, 0.0},
      // one telegram a pass; the last reply held 1 ms after the tenth pass
      {Sim::LinkModel::Kind::Usb, 10 * 0.001 + 0.001},
      // the radio turns, the first telegram crosses, ten passes (the others crossed meanwhile);
      // the radio turns back once the first reply is out, and ten replies cross one by one
      {Sim::LinkModel::Kind::Bluetooth, 0.030 + line4 + 0.001 + 0.030 + 10 * line7},
  };
  for (const auto& row : rows) {
    SteppedBrick brick(row.kind);
    ASSERT_TRUE(brick.server.start());
    RawClient client(brick.server.devicePath());
    ASSERT_TRUE(client.send(std::vector<Sim::Bytes>(10, hex("00 0B"))));
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(client.reply(), "02 0B 00 28 23") << i;
    }
    auto guard = brick.server.lock();
    EXPECT_NEAR(brick.clock.time(), row.seconds, 1e-9) << static_cast<int>(row.kind);
    EXPECT_EQ(brick.sim.count(0x0B), 10u);
  }
}

// In real time the server waits each telegram's time from the burst's start, so a wait that
// overslept does not push back the ones after it; no reply ever comes before the model's time.
TEST(LinkModel, InRealTimeNoReplyComesBeforeItsTimeFromTheBurstsStart) {
  Sim::VirtualBrick sim;
  Sim::PtyServer server(sim);
  server.setLinkModel(Sim::LinkModel(Sim::LinkModel::Kind::Usb));
  ASSERT_TRUE(server.start());
  RawClient client(server.devicePath());
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(client.send(std::vector<Sim::Bytes>(10, hex("00 0B"))));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(client.reply(), "02 0B 00 28 23") << i;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // the i-th telegram taken at pass i + 1, its reply held 1 ms
    EXPECT_GE(seconds, (i + 1) * 0.001 + 0.001) << i;
  }
  EXPECT_EQ(sim.count(0x0B), 10u);
}

// The radio's turn is our assumption, so it is a parameter: "bluetooth:MS" on the command line.
TEST(LinkModel, TheRadiosTurnIsAParameter) {
  const struct {
    const char* name;
    bool taken;
    double turn;  // seconds
  } rows[] = {
      {"bluetooth", true, 0.030}, {"bluetooth:0", true, 0.0}, {"bluetooth:12.5", true, 0.0125},
      {"bluetooth:", false, 0},   {"bluetooth:-1", false, 0}, {"bluetooth:5ms", false, 0},
      {"usb:5", false, 0},
  };
  for (const auto& row : rows) {
    Sim::LinkModel model;
    ASSERT_EQ(Sim::LinkModel::fromName(row.name, model), row.taken) << row.name;
    if (row.taken) {
      EXPECT_EQ(model.kind(), Sim::LinkModel::Kind::Bluetooth);
      EXPECT_DOUBLE_EQ(model.turn(), row.turn) << row.name;
      // A GETBATTERYLEVEL alone: two turns, its bytes and its reply's, one pass.
      model.take(2);
      EXPECT_NEAR(model.give(5), 2 * row.turn + (4 + 7) * 10 / 460800.0 + 0.001, 1e-12);
    }
  }
}

// A write that asks for nothing back (continuous measurement on) holds the bus for its three
// bytes too: a poll at once sees it pending, a later one done with nothing to read.
TEST(LinkModel, AWriteOnlyTransactionTakesTheBusForItsBytes) {
  SteppedBrick brick(Sim::LinkModel::Kind::Usb);
  ASSERT_TRUE(brick.server.start());
  RawClient client(brick.server.devicePath());
  ASSERT_EQ(client.exchange("00 05 03 0B 00"), "02 05 00");
  ASSERT_EQ(client.exchange("00 0F 03 03 00 02 41 02"), "02 0F 00");
  EXPECT_EQ(client.exchange("00 0E 03"), "02 0E 20 00");
  EXPECT_EQ(client.exchange("00 0E 03"), "02 0E 00 00");  // 3 ms later
}

// Nearer than about 7 cm a sonar reads no less.
TEST(SonarRange, AWallAtContactReadsTheMinimum) {
  Sim::World world = Sim::World::builtIn();
  world.walls = {Sim::World::Wall{{world.robot.x + 10, 0}, {world.robot.x + 10, 200}}};
  world.robot.heading = 0;
  Sim::SteppedClock clock;
  Sim::VirtualBrick sim;
  Sim::Robot robot(world, clock);
  robot.attach(sim);
  EXPECT_EQ(robot.ultrasonicDistance(3), 7);  // 3 cm from the sensor
}

}  // namespace
