// The `brick` tool run as a user runs it: its output, its exit status and the telegrams each
// command puts on the wire, against the virtual brick on a pseudo-terminal or behind a stand-in
// for libusb; `doctor` and `list` on a machine laid out in a temporary directory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "BrickFixture.h"
#include "BrickTool.h"
#include "FakeUsb.h"
#include "SystemHost.h"
#include "ToolRun.h"
#include "UdevRule.h"
#include "brick/Version.h"
#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

using test::FakeUsb;
using test::has;
using test::hex;
using test::Outcome;
using test::runTool;
using test::secondsSince;
using Fault = Sim::PtyServer::Fault;

namespace {

// A virtual brick on a pseudo-terminal, reached with --device.
class ToolOnPty : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.start()); }
  void TearDown() override { server.stop(); }

  Outcome brick(std::vector<std::string> args,
                const BrickTool::Environment& environment = BrickTool::Environment()) {
    args.insert(args.begin(), {"--device", server.devicePath()});
    return runTool(args, environment);
  }
  std::vector<std::string> wire() {
    auto guard = server.lock();
    return test::wireOf(sim);
  }

  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
};

const char* const kOurRule =
    "# comment 0694\n"
    "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0694\", ATTRS{idProduct}==\"0002\", MODE=\"0660\", "
    "GROUP=\"plugdev\", TAG+=\"uaccess\"\n";

// A machine laid out in a temporary directory; who may open what, and the user's groups, are
// set by the test (the suite may run as root, for whom access(2) always succeeds).
class FakeMachine : public BrickTool::SystemHost {
 public:
  explicit FakeMachine(const std::string& root) : SystemHost(root), root(root) {}

  void file(const std::string& path, const std::string& text) {
    makeParents(path);
    std::ofstream(root + path) << text;
  }
  void link(const std::string& path, const std::string& target) {
    makeParents(path);
    ASSERT_EQ(::symlink(target.c_str(), (root + path).c_str()), 0);
  }

  bool accessible(const std::string& path) const override { return denied.count(path) == 0; }
  std::string userName() const override { return "ann"; }
  bool isRoot() const override { return false; }
  std::vector<std::string> sessionGroups() const override { return session; }
  std::vector<std::string> accountGroups() const override { return account; }
  std::string ownerGroup(const std::string& path) const override {
    auto found = groups.find(path);
    return found != groups.end() ? found->second : "root";
  }
  std::string variable(const std::string& name) const override {
    auto found = variables.find(name);
    return found != variables.end() ? found->second : "";
  }

  std::set<std::string> denied;
  std::vector<std::string> session{"ann"};
  std::vector<std::string> account{"ann"};
  std::map<std::string, std::string> groups;  // a node's group; root when not named
  std::map<std::string, std::string> variables;

 private:
  void makeParents(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
      ::mkdir((root + path.substr(0, at)).c_str(), 0755);
    }
  }
  std::string root;
};

class ToolOnMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brick_tool_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    machine.reset(new FakeMachine(root));
    environment.host = machine.get();
  }
  void TearDown() override {
    std::string command = "rm -rf '" + root + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  Outcome brick(const std::vector<std::string>& args) { return runTool(args, environment); }

  std::string root;
  std::unique_ptr<FakeMachine> machine;
  BrickTool::Environment environment;
  FakeUsb usb;
};

}  // namespace

// --- Commands on the virtual brick -------------------------------------------------------------

TEST_F(ToolOnPty, InfoPrintsNameBatteryFirmwareAddressFlashSleepAndLinkWithOneTelegramEach) {
  auto guard = server.lock();
  sim.name = "Rover";
  sim.batteryMillivolts = 7654;
  guard.unlock();
  Outcome r = brick({"info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "name:    Rover\nbattery: 7654 mV\nfirmware: 1.31 (protocol 1.124)\n"
            "bt addr: 00:16:53:00:00:01\nflash:   112604 bytes free\nsleep:   10 min\n"
            "link:    " +
                server.devicePath() + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(wire(), (std::vector<std::string>{"01 9B", "00 0B", "01 88", "00 0D"}));
}

// A brick that does not know GET FIRMWARE VERSION refuses it in three bytes: the rest is still
// printed, and the refusal named.
TEST_F(ToolOnPty, InfoPrintsWhatTheBrickAnsweredAndNamesWhatItRefused) {
  auto guard = server.lock();
  sim.scriptReply(0x88, test::hex("02 88 BE"));
  guard.unlock();
  Outcome r = brick({"info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("name:    NXT\nbattery: 9000 mV\nfirmware: refused (unknown command)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("sleep:   10 min\n"), std::string::npos) << r.out;
}

TEST_F(ToolOnPty, FilesProgramsMailboxesAndKeepAlive) {
  std::string dir = ::testing::TempDir();
  std::string local = dir + "/hello.txt";
  std::string content(200, 'h');
  content.append("\0\1 end", 6);
  {
    std::ofstream file(local, std::ios::binary);
    file << content;
  }
  Outcome r = brick({"upload", local});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "uploaded hello.txt (206 bytes)\n");
  EXPECT_EQ(brick({"upload", local}).status, BrickTool::kExitFailed);  // exists
  r = brick({"ls"});
  EXPECT_EQ(r.out, "hello.txt                206\n");
  r = brick({"download", "hello.txt", dir + "/back.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::ifstream back(dir + "/back.txt", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>()),
            content);
  EXPECT_EQ(brick({"rm", "hello.txt"}).status, 0);
  r = brick({"rm", "hello.txt"});
  EXPECT_EQ(r.status, BrickTool::kExitFailed);
  EXPECT_EQ(r.err, "brick: hello.txt: file not found\n");
  EXPECT_EQ(brick({"ls"}).out, "");

  auto guard = server.lock();
  sim.flash.store("echo.rxe", Sim::Bytes(10, 1));
  sim.program.rules.push_back(Sim::BrickProgram::Rule{1, 10, "got "});
  guard.unlock();
  r = brick({"send", "1", "hi"});
  EXPECT_EQ(r.err, "brick: inbox 1: no program running\n");
  EXPECT_EQ(brick({"run", "echo.rxe"}).status, 0);
  EXPECT_EQ(brick({"send", "1", "hi"}).status, 0);
  r = brick({"receive", "10"});
  EXPECT_EQ(r.out, "got hi\n");
  r = brick({"receive", "10"});
  EXPECT_EQ(r.err, "brick: outbox 10: the mailbox is empty\n");
  EXPECT_EQ(brick({"stop-program"}).status, 0);
  EXPECT_EQ(brick({"keepalive"}).out, "sleep time: 10 min\n");
  // Refused before connecting: the brick never hears of them.
  for (std::vector<std::string> bad : {std::vector<std::string>{"send", "10", "x"},
                                       {"receive", "9"},
                                       {"rm", "much-too-long-name.txt"},
                                       {"send", "0", std::string(59, 'x')}}) {
    EXPECT_EQ(brick(bad).status, BrickTool::kExitUsage) << bad[0];
  }
}

TEST_F(ToolOnPty, InfoCannotBeMadeToWriteControlCharacters) {
  // A name set by another program may hold anything; an escape sequence must not reach the
  // terminal as one.
  auto guard = server.lock();
  sim.name = "a\x1b[2Jb\nc";
  guard.unlock();
  Outcome r = brick({"info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n', 10) + 1), "name:    a\\x1B[2Jb\\nc\n");
}

TEST_F(ToolOnPty, BatteryToneAndRename) {
  auto guard = server.lock();
  sim.batteryMillivolts = 8100;
  guard.unlock();
  Outcome r = brick({"battery"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "8100 mV\n");

  r = brick({"tone", "440", "500"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tone: 440 Hz for 500 ms\n");

  r = brick({"rename", "Robo 2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "name: Robo 2\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{
                        "00 0B", "00 03 B8 01 F4 01",
                        "01 98 52 6F 62 6F 20 32 00 00 00 00 00 00 00 00 00 00", "01 9B"}));
  guard.lock();
  EXPECT_EQ(sim.name, "Robo 2");
}

TEST_F(ToolOnPty, MotorRunsAndStopsByThePortLetter) {
  EXPECT_EQ(brick({"motor", "A", "50", "360"}).out, "motor A: power 50 for 360 degrees\n");
  EXPECT_EQ(brick({"motor", "c", "-75"}).out, "motor C: power -75\n");
  EXPECT_EQ(brick({"stop", "B", "--brake"}).out, "motor B: braked\n");
  EXPECT_EQ(brick({"stop", "--brake", "A"}).status, 0);
  EXPECT_EQ(brick({"stop", "C"}).out, "motor C: floating\n");
  EXPECT_EQ(wire(),
            (std::vector<std::string>{"00 04 00 32 05 01 00 20 68 01 00 00",  // 50, 360 degrees
                                      "00 04 02 B5 05 01 00 20 00 00 00 00",  // backwards at 75
                                      "00 04 01 00 07 01 00 20 00 00 00 00",  // brake
                                      "00 04 00 00 07 01 00 20 00 00 00 00",
                                      "00 04 02 00 00 00 00 00 00 00 00 00"}));  // float
}

TEST_F(ToolOnPty, ReadConfiguresThePortAndNamesTheReading) {
  auto guard = server.lock();
  sim.scriptScaled(0, {1});
  sim.scriptScaled(2, {42});
  sim.ultrasonic[3].distance = 17;
  guard.unlock();
  Outcome r = brick({"read", "1", "touch"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "port 1 touch: pressed\n");
  EXPECT_EQ(brick({"read", "3", "light"}).out, "port 3 light: 42 %\n");
  EXPECT_EQ(brick({"read", "4", "ultrasonic"}).out, "port 4 ultrasonic: 17 cm\n");
  std::vector<std::string> sent = wire();
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ(sent[0], "00 05 00 01 20");  // SETINPUTMODE port 0: switch, boolean
  EXPECT_EQ(sent[1], "00 07 00");        // GETINPUTVALUES port 0
  EXPECT_EQ(sent[2], "00 05 02 05 80");  // light, lamp on, percent
  EXPECT_EQ(sent[3], "00 07 02");
}

TEST_F(ToolOnPty, WatchRewritesOneLineUntilInterrupted) {
  auto guard = server.lock();
  sim.scriptScaled(1, {100, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
  guard.unlock();
  std::atomic<bool> stop{false};
  BrickTool::Environment environment;
  environment.interrupted = &stop;
  environment.watchIntervalMs = 20;
  std::thread ctrlC([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    stop = true;
  });
  Outcome r = brick({"read", "2", "sound", "--watch"}, environment);
  ctrlC.join();
  EXPECT_EQ(r.status, 0) << r.err;
  // The shorter reading pads over the longer one; the line ends when the watch does.
  EXPECT_EQ(r.out.substr(0, 41), "\rport 2 sound: 100 %\rport 2 sound: 5 %  \r");
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

TEST_F(ToolOnPty, TraceShowsEveryTelegramAndReplyDecoded) {
  Outcome r = brick({"--trace", "battery"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "trace > 00 0B  (GETBATTERYLEVEL)\n"
            "trace < 02 0B 00 28 23  (reply GETBATTERYLEVEL SUCCESS millivolts=9000)\n");
  EXPECT_EQ(r.out, "9000 mV\n");
}

TEST_F(ToolOnPty, SilentBrickTimesOutOnceWithAClearMessage) {
  server.setFault(Fault::Silent, -1);
  auto start = std::chrono::steady_clock::now();
  Outcome r = brick({"info"});
  EXPECT_LT(secondsSince(start), Comm::kReplyTimeoutMs / 1000.0 + 0.8);
  EXPECT_EQ(r.status, BrickTool::kExitTimeout);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(has(r.err, "no reply from the brick on " + server.devicePath() + " within 1 s"))
      << r.err;
  EXPECT_EQ(wire(), std::vector<std::string>{"01 9B"});  // gave up after the first
}

TEST_F(ToolOnPty, EveryCommandGivesUpAfterTheFirstUnansweredTelegram) {
  // What the troubleshooting guide promises: a brick that does not answer costs one time limit,
  // so nothing more goes on the wire after a telegram that got no reply.
  server.setFault(Fault::Silent, -1);
  struct Case {
    std::vector<std::string> args;
    std::string firstTelegram;
  };
  std::vector<Case> cases{
      {{"rename", "Rover"}, "01 98 52 6F 76 65 72 00 00 00 00 00 00 00 00 00 00 00"},
      {{"motor", "B", "75"}, "00 04 01 4B 05 01 00 20 00 00 00 00"},
      {{"read", "1", "touch"}, "00 05 00 01 20"},
  };
  for (const Case& c : cases) {
    {
      auto guard = server.lock();
      sim.clearRecord();
    }
    Outcome r = brick(c.args);
    EXPECT_EQ(r.status, BrickTool::kExitTimeout) << c.args[0] << ": " << r.err;
    EXPECT_EQ(wire(), std::vector<std::string>{c.firstTelegram}) << c.args[0];
  }
}

TEST_F(ToolOnPty, DevicePathTooLongForTheLinkIsRefusedNotCut) {
  // The link takes at most 255 characters of a device text. A longer path whose first 255
  // characters happen to name the brick's device must not reach it: the path given names
  // nothing.
  std::string device = server.devicePath();
  std::string path = std::string(255 - device.size(), '/') + device + "/nothing/here";
  ASSERT_GT(path.size(), 255u);
  Outcome r = runTool({"--device", path, "info"});
  EXPECT_EQ(r.status, BrickTool::kExitUsage) << r.out << r.err;
  EXPECT_TRUE(has(r.err, "at most 255 characters")) << r.err;
  EXPECT_EQ(wire(), std::vector<std::string>{});
}

TEST_F(ToolOnPty, BadArgumentsAreRefusedWithUsageBeforeAnythingIsSent) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Case> cases{
      {{"fly"}, "unknown command 'fly'"},
      {{"\x1B[2J\xC2\x9B"
        "fly"},
       "unknown command '\\x1B[2J\\u009Bfly'"},  // shown, not obeyed
      {{"tone", "440"}, "missing arguments"},
      {{"battery", "now"}, "too many arguments"},
      {{"tone", "0", "100"}, "FREQ must be"},
      {{"tone", "440", "1e3"}, "MS must be"},
      {{"rename", "a-name-of-16-chr"}, "1 to 15 characters"},
      {{"rename", "tab\there"}, "printable"},
      {{"motor", "D", "50"}, "PORT must be A, B or C"},
      {{"motor", "A", "101"}, "POWER must be"},
      {{"motor", "A", "50", "0"}, "DEGREES must be"},
      {{"stop", "A", "--watch"}, "unknown option '--watch'"},
      {{"read", "1", "touch", "--brake"}, "unknown option '--brake'"},
      {{"--brake", "stop", "A"}, "unknown option '--brake'"},
      {{"read", "5", "touch"}, "PORT must be 1, 2, 3 or 4"},
      {{"read", "1", "smell"}, "unknown KIND 'smell'"},
      {{"info", "--usb"}, "give one of --usb"},
      {{"iomap", "ui", "28"}, "give OFFSET and LEN, or neither"},
      {{"iomap", "ui", "--write", "28"}, "--write takes MODULE OFFSET HEX"},
      {{"iomap", "ui", "-1", "2"}, "OFFSET must be"},
      {{"iomap", "ui", "70000", "1"}, "OFFSET must be"},
      {{"iomap", "ui", "--write", "28", "0g"}, "HEX must be"},
      {{"button", "middle"}, "BUTTON is ENTER, LEFT, RIGHT or EXIT"},
  };
  for (const Case& c : cases) {
    Outcome r = brick(c.args);
    EXPECT_EQ(r.status, BrickTool::kExitUsage) << c.message;
    EXPECT_EQ(r.err.substr(0, 7), "brick: ");
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    EXPECT_TRUE(has(r.err, "usage: brick ")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(wire().empty());
  EXPECT_EQ(runTool({}).status, BrickTool::kExitUsage);
  EXPECT_EQ(runTool({"--device"}).status, BrickTool::kExitUsage);
  Outcome r = runTool({"--bt", "00:16:53", "info"});
  EXPECT_EQ(r.status, BrickTool::kExitUsage);
  EXPECT_TRUE(has(r.err, "'00:16:53' is not a Bluetooth address")) << r.err;
  EXPECT_EQ(runTool({"--frobnicate", "info"}).status, BrickTool::kExitUsage);
  r = runTool({"--" + std::string(100000, 'x'), "info"});  // quoted, but cut short
  EXPECT_TRUE(has(r.err, "unknown option '--xxx")) << r.err.substr(0, 200);
  EXPECT_LT(r.err.find('\n'), 200u);
}

// What the user gives (a device path, a local file's name, a name on the brick) is shown
// escaped in every message, never obeyed by the terminal.
TEST_F(ToolOnPty, UserTextInMessagesIsShownEscaped) {
  const std::string given = "x\x1B[2J\xC2\x9By";
  const std::string shown = "x\\x1B[2J\\u009By";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Case> cases{
      {{"--device", "/nonexistent/" + given, "info"}, "no brick at /nonexistent/" + shown + "."},
      {{"--trace", "--device", "/nonexistent/" + given, "info"},
       "trace:   /nonexistent/" + shown + " does not exist"},
      {{"--device", server.devicePath(), "upload", "/nonexistent/" + given + "/a.txt"},
       "cannot read /nonexistent/" + shown + "/a.txt"},
      {{"--device", server.devicePath(), "rm", given + ".txt"}, shown + ".txt: file not found"},
      {{"--device", server.devicePath(), "rm", given + "0123456789.txt"},
       "\"" + shown + "0123456789.txt\" is too long for a brick file name"},
  };
  for (const Case& c : cases) {
    Outcome r = runTool(c.args);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
    EXPECT_EQ((r.out + r.err).find_first_of("\x1B\x9B"), std::string::npos) << r.err;
  }
}

TEST(Tool, HelpAndVersion) {
  Outcome r = runTool({"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* command : {"list", "doctor", "info", "battery", "tone FREQ MS", "rename NAME",
                              "motor PORT POWER [DEGREES]", "stop PORT [--brake]",
                              "read PORT KIND [--watch]", "--device PATH", "--trace"}) {
    EXPECT_TRUE(has(r.out, command)) << command;
  }
  r = runTool({"read", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.out, "usage: brick read PORT KIND [--watch]")) << r.out;
  EXPECT_TRUE(has(r.out, "ultrasonic, color, red, green, blue, color-off")) << r.out;
  r = runTool({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "brick 0.1.0\n");
}

TEST(Tool, NoDeviceAtThePathGiven) {
  Outcome r = runTool({"--device", "/nonexistent/rfcomm7", "info"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_TRUE(has(r.err, "no brick at /nonexistent/rfcomm7")) << r.err;
}

// --- USB through the stand-in for libusb -------------------------------------------------------

TEST(ToolOnUsb, InfoOverUsbAndTheFailuresOfOpening) {
  FakeUsb usb;
  Outcome r = runTool({"info"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_TRUE(has(r.err, "no brick found on USB")) << r.err;
  EXPECT_TRUE(has(r.err, "brick doctor")) << r.err;

  usb.add(0x0694, 0x0002, 1, 5);
  r = runTool({"--usb", "info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 31), "name:    NXT\nbattery: 9000 mV\nf");
  EXPECT_TRUE(has(r.out, "\nlink:    USB\n")) << r.out;
  EXPECT_EQ(test::wireOf(usb.sim), (std::vector<std::string>{"01 9B", "00 0B", "01 88", "00 0D"}));

  usb.openCode = Comm::kLinkAccessDenied;
  r = runTool({"battery"});
  EXPECT_EQ(r.status, BrickTool::kExitPermission);
  EXPECT_TRUE(has(r.err, "permission denied on USB")) << r.err;
  // The fix writes the rule itself: an installed tool has no source tree to copy it from.
  EXPECT_EQ(
      std::string(BrickTool::kRuleText).rfind("SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0694\"", 0),
      0u);
  EXPECT_TRUE(has(r.err, "echo '" + std::string(BrickTool::kRuleText) +
                             "' | sudo tee /etc/udev/rules.d/70-nxt-brick.rules >/dev/null"))
      << r.err;
  EXPECT_TRUE(has(r.err, "sudo usermod -aG plugdev")) << r.err;
  EXPECT_TRUE(has(r.err, "unplug the brick and plug it in again")) << r.err;

  usb.openCode = Comm::kLinkBusy;
  EXPECT_EQ(runTool({"battery"}).status, BrickTool::kExitBusy);
}

// --- doctor and list on a laid-out machine -----------------------------------------------------

TEST_F(ToolOnMachine, DoctorOnAMachineWithNoBrickListsTheFixes) {
  Outcome r = brick({"doctor"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_EQ(r.out,
            "OK    libusb lists 0 USB devices\n"
            "--    no brick on USB: plug it in with its cable and switch it on\n"
            "FAIL  no udev rule for the brick (0694:0002) in /etc/udev/rules.d or "
            "/lib/udev/rules.d\n"
            "      fix: echo '" +
                std::string(BrickTool::kRuleText) +
                "' | sudo tee /etc/udev/rules.d/70-nxt-brick.rules >/dev/null\n"
                "           then sudo udevadm control --reload-rules && sudo udevadm trigger\n"
                "           then unplug and replug the brick\n"
                "FAIL  user ann is not in group plugdev\n"
                "      fix: sudo usermod -aG plugdev ann, then log out and in again\n"
                "--    no bound RFCOMM device (/dev/rfcomm0 to 9): for Bluetooth, pair the brick, "
                "then `sudo rfcomm bind 0 ADDRESS`, or use --bt ADDRESS\n"
                "No brick found: plug one in by USB and switch it on, or bind one over Bluetooth;\n"
                "apply the fixes above, then run `brick doctor` again.\n");

  usb.enumerates = false;
  r = brick({"doctor"});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(has(r.out, "FAIL  libusb cannot list the USB devices\n")) << r.out;
}

TEST_F(ToolOnMachine, DoctorPassesWithAnAccessibleBrickTheRuleAndTheGroup) {
  usb.add(0x1D6B, 0x0002, 1, 1);  // a hub
  usb.add(0x0694, 0x0002, 1, 5);
  machine->file("/etc/udev/rules.d/70-nxt-brick.rules", kOurRule);
  machine->session = {"ann", "plugdev"};
  Outcome r = brick({"doctor"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(has(r.out, "OK    libusb lists 2 USB devices\n")) << r.out;
  EXPECT_TRUE(
      has(r.out, "OK    brick at bus 001 device 005 (/dev/bus/usb/001/005) answers as \"NXT\"\n"))
      << r.out;
  EXPECT_TRUE(has(r.out,
                  "OK    udev rule /etc/udev/rules.d/70-nxt-brick.rules gives the brick "
                  "to group plugdev and the seat's user\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "OK    user ann is in group plugdev\n")) << r.out;
  EXPECT_FALSE(has(r.out, "FAIL")) << r.out;
  EXPECT_TRUE(has(r.out, "A brick can be used")) << r.out;
}

TEST_F(ToolOnMachine, DoctorExplainsADeniedBrickAndAGroupNotYetInTheSession) {
  usb.add(0x0694, 0x0002, 3, 12);
  machine->denied = {"/dev/bus/usb/003/012"};
  // An equivalent rule of the user's own: vendor only, another group.
  machine->file("/lib/udev/rules.d/99-robots.rules",
                "ATTRS{idVendor}==\"0694\", MODE=\"0660\", GROUP=\"robots\"\n");
  machine->account = {"ann", "robots"};
  Outcome r = brick({"doctor"});
  EXPECT_EQ(r.status, BrickTool::kExitPermission);
  EXPECT_TRUE(has(r.out,
                  "FAIL  brick at bus 003 device 012 (/dev/bus/usb/003/012): user ann may "
                  "not open it\n"))
      << r.out;
  EXPECT_TRUE(has(
      r.out, "OK    udev rule /lib/udev/rules.d/99-robots.rules gives the brick to group robots\n"))
      << r.out;
  EXPECT_TRUE(has(r.out,
                  "FAIL  user ann was added to group robots, but this login session "
                  "predates it\n      fix: log out and in again (or run `newgrp robots`)\n"))
      << r.out;
  EXPECT_TRUE(usb.sim.received().empty());  // a node it may not open is not tried
}

TEST_F(ToolOnMachine, DoctorNamesABrickInFirmwareUpdateMode) {
  usb.add(0x03EB, 0x6124, 2, 7);
  Outcome r = brick({"doctor"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_TRUE(has(r.out,
                  "FAIL  brick in firmware-update mode at bus 002 device 007 "
                  "(/dev/bus/usb/002/007): it cannot be talked to\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "--    no brick on USB")) << r.out;
}

TEST_F(ToolOnMachine, DoctorAndListProbeTheBoundRfcommDevices) {
  Sim::VirtualBrick sim;
  sim.name = "BlueBrick";
  Sim::PtyServer server(sim);
  ASSERT_TRUE(server.start());
  machine->link("/dev/rfcomm0", server.devicePath());
  machine->file("/dev/rfcomm3", "");
  machine->denied = {"/dev/rfcomm3"};
  machine->groups["/dev/rfcomm3"] = "bluetooth";
  Outcome r = brick({"doctor"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(has(r.out, "OK    /dev/rfcomm0: a brick answers as \"BlueBrick\"\n")) << r.out;
  EXPECT_TRUE(has(r.out,
                  "FAIL  /dev/rfcomm3: user ann may not open it\n      fix: sudo usermod "
                  "-aG bluetooth ann"))
      << r.out;

  r = brick({"list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "/dev/rfcomm0  brick \"BlueBrick\"\n"
            "/dev/rfcomm3  permission denied (group bluetooth): see `brick doctor`\n");
  server.stop();
}

TEST_F(ToolOnMachine, DoctorFailsOnABindingWhoseBrickIsSilentAndFallsBackToDialout) {
  Sim::VirtualBrick sim;
  Sim::PtyServer server(sim);
  ASSERT_TRUE(server.start());
  server.setFault(Fault::Silent, -1);
  machine->link("/dev/rfcomm1", server.devicePath());
  machine->file("/dev/rfcomm5", "");
  machine->denied = {"/dev/rfcomm5"};  // owned by root: the usual group is dialout
  auto start = std::chrono::steady_clock::now();
  Outcome r = brick({"doctor"});
  EXPECT_LT(secondsSince(start), Comm::kReplyTimeoutMs / 1000.0 + 0.8);
  EXPECT_EQ(r.status, BrickTool::kExitPermission) << r.out;
  EXPECT_TRUE(has(r.out, "FAIL  /dev/rfcomm1: no brick answers (no reply within the time limit)\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "fix: sudo usermod -aG dialout ann")) << r.out;
  EXPECT_TRUE(has(r.out, "A brick is there but cannot be opened")) << r.out;
  server.stop();
}

TEST_F(ToolOnMachine, ListShowsEveryUsbBrickOrSaysThereIsNone) {
  Outcome r = brick({"list"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_EQ(r.out,
            "No brick found: none on USB, no bound /dev/rfcomm device.\n"
            "`brick doctor` says what to check.\n");

  usb.add(0x0694, 0x0002, 1, 4);
  usb.add(0x0694, 0x0002, 1, 5);
  usb.add(0x03EB, 0x6124, 1, 6);
  machine->denied = {"/dev/bus/usb/001/004"};
  usb.openCodes["/dev/bus/usb/001/004"] = Comm::kLinkAccessDenied;
  usb.sim.name = "Lander";
  r = brick({"list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "USB bus 001 device 004  brick, permission denied on /dev/bus/usb/001/004: see "
            "`brick doctor`\n"
            "USB bus 001 device 005  brick \"Lander\"\n"
            "USB bus 001 device 006  brick in firmware-update mode: cannot be talked to\n");
}

// --- Which brick: the default and what overrides it --------------------------------------------

// A machine with a brick on USB ("Usb") and a brick bound at /dev/rfcomm1 ("Blue").
class ToolChoosing : public ToolOnMachine {
 protected:
  void SetUp() override {
    ToolOnMachine::SetUp();
    ASSERT_TRUE(server.start());
    sim.name = "Blue";
    usb.sim.name = "Usb";
    machine->variables["HOME"] = "/home/ann";
  }
  void TearDown() override {
    server.stop();
    ToolOnMachine::TearDown();
  }
  // Where `brick info` went: the name it printed and its link line.
  std::string infoGoesTo(const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = options;
    args.push_back("info");
    Outcome r = brick(args);
    if (r.status != 0) {
      return "status " + std::to_string(r.status) + ": " + r.err;
    }
    return r.out.substr(9, r.out.find('\n') - 9) + " on " + r.out.substr(r.out.rfind(' ') + 1);
  }

  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
};

TEST_F(ToolChoosing, DefaultIsUsbThenABoundDeviceAndEachSettingOverridesTheNext) {
  struct Case {
    const char* what;
    bool usbBrick;
    std::map<std::string, std::string> variables;
    std::string config;  // the text of ~/.config/brick/config, or of $XDG_CONFIG_HOME/brick/config
    std::vector<std::string> options;
    std::string expected;
  };
  const std::string usbTarget = "Usb on USB\n";
  const std::string blueTarget = "Blue on /dev/rfcomm1\n";
  std::vector<Case> cases{
      {"a brick on USB comes first", true, {}, "", {}, usbTarget},
      {"without one, the bound device", false, {}, "", {}, blueTarget},
      {"the config file names the device",
       true,
       {},
       "# mine\n  device = /dev/rfcomm1  \n",
       {},
       blueTarget},
      {"the last setting in the file counts",
       false,
       {},
       "device=/dev/rfcomm1\ndevice = usb\n",
       {},
       "status 3: "},
      {"XDG_CONFIG_HOME moves the file",
       true,
       {{"XDG_CONFIG_HOME", "/xdg"}},
       "device = /dev/rfcomm1\n",
       {},
       blueTarget},
      {"BRICK_DEVICE overrides the file",
       false,
       {{"BRICK_DEVICE", "usb"}},
       "device = /dev/rfcomm1\n",
       {},
       "status 3: "},
      {"BRICK_DEVICE names a path", true, {{"BRICK_DEVICE", "/dev/rfcomm1"}}, "", {}, blueTarget},
      {"--usb overrides BRICK_DEVICE",
       true,
       {{"BRICK_DEVICE", "/dev/rfcomm1"}},
       "",
       {"--usb"},
       usbTarget},
      {"--device overrides the file",
       true,
       {},
       "device = usb\n",
       {"--device", "/dev/rfcomm1"},
       blueTarget},
  };
  machine->link("/dev/rfcomm1", server.devicePath());
  for (const Case& c : cases) {
    usb.devices.clear();
    if (c.usbBrick) {
      usb.add(0x0694, 0x0002, 1, 5);
    }
    machine->variables = c.variables;
    machine->variables["HOME"] = "/home/ann";
    bool xdg = c.variables.count("XDG_CONFIG_HOME") != 0;
    machine->file("/home/ann/.config/brick/config", xdg ? "device = usb\n" : c.config);
    machine->file("/xdg/brick/config", xdg ? c.config : "");
    std::string got = infoGoesTo(c.options);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected) << c.what << ": " << got;
  }
}

TEST_F(ToolChoosing, OfSeveralBoundDevicesTheFirstThatAnswersAndTraceSaysWhy) {
  machine->file("/dev/rfcomm0", "");  // opens, but is no serial device: no brick answers
  machine->link("/dev/rfcomm1", server.devicePath());
  Outcome r = brick({"--trace", "info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "link:    /dev/rfcomm1\n")) << r.out;
  EXPECT_TRUE(has(r.err,
                  "trace: no device named: using /dev/rfcomm1 (no brick on USB may be opened; the "
                  "first bound RFCOMM device that answers)\n"))
      << r.err;
}

TEST_F(ToolChoosing, BadSettingsAreNamedWithWhereTheyCameFrom) {
  struct Case {
    std::string variable;  // BRICK_DEVICE
    std::string config;
    int status;
    std::string message;
  };
  std::vector<Case> cases{
      {std::string(300, 'x'), "", BrickTool::kExitUsage,
       "BRICK_DEVICE: the device path must have at most 255 characters"},
      {"", "device =\n", BrickTool::kExitUsage,
       "/home/ann/.config/brick/config:1: no device given"},
      {"", "col\x1B[2Jour = red\n", BrickTool::kExitNoBrick,
       "warning: /home/ann/.config/brick/config:1: unknown setting 'col\\x1B[2Jour', ignored\n"},
      {"", "colour = red\nnonsense\n", BrickTool::kExitNoBrick,
       "warning: /home/ann/.config/brick/config:1: unknown setting 'colour', ignored\n"
       "brick: warning: /home/ann/.config/brick/config:2: not a setting (KEY = VALUE), ignored\n"},
  };
  for (const Case& c : cases) {
    machine->variables["BRICK_DEVICE"] = c.variable;
    machine->file("/home/ann/.config/brick/config", c.config);
    Outcome r = brick({"battery"});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
  }
}

TEST_F(ToolChoosing, DoctorAndListLookOnlyAtTheLinkTheCommandLineNames) {
  machine->link("/dev/rfcomm1", server.devicePath());
  usb.add(0x0694, 0x0002, 1, 5);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  std::vector<Case> cases{
      {{"list", "--device", "/dev/rfcomm1"}, 0, "/dev/rfcomm1  brick \"Blue\"\n"},
      {{"list", "--device", "/dev/none"}, BrickTool::kExitNoBrick, "/dev/none  does not exist\n"},
      {{"list", "--usb"}, 0, "USB bus 001 device 005  brick \"Usb\"\n"},
      {{"doctor", "--device", "/dev/rfcomm1"},
       0,
       "OK    /dev/rfcomm1: a brick answers as \"Blue\"\n"
       "A brick can be used: try `brick --device /dev/rfcomm1 info`.\n"},
      {{"doctor", "--device", "/dev/none"},
       BrickTool::kExitNoBrick,
       "FAIL  /dev/none does not exist\n"
       "      fix: check the path (`brick list` shows the bricks found); a paired brick is bound "
       "with `sudo rfcomm bind 0 ADDRESS`\n"
       "No brick can be used: apply the fixes above, then run `brick doctor` again.\n"},
  };
  for (const Case& c : cases) {
    Outcome r = brick(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back() << ": " << r.out;
    EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args.back();
  }
  // --usb leaves out the Bluetooth checks; a device the environment names is checked besides.
  Outcome r = brick({"doctor", "--usb"});
  EXPECT_FALSE(has(r.out, "rfcomm")) << r.out;
  machine->variables["BRICK_DEVICE"] = "/dev/rfcomm1";
  r = brick({"list"});
  EXPECT_TRUE(has(r.out, "Commands use /dev/rfcomm1 (set by BRICK_DEVICE).\n")) << r.out;
  r = brick({"doctor"});
  EXPECT_TRUE(has(r.out, "--    commands use /dev/rfcomm1 (set by BRICK_DEVICE)\n")) << r.out;
}

TEST_F(ToolChoosing, TraceSaysWhyOpeningFailed) {
  machine->file("/dev/plain", "");
  machine->file("/dev/locked", "");
  machine->denied = {"/dev/locked", "/dev/bus/usb/001/005"};
  machine->groups["/dev/locked"] = "dialout";
  usb.add(0x0694, 0x0002, 1, 5);
  usb.add(0x03EB, 0x6124, 1, 6);
  usb.openCode = Comm::kLinkAccessDenied;
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> lines;
  };
  std::vector<Case> cases{
      {{"--device", "/dev/none"},
       {"trace: opening /dev/none (named by --device) failed: no brick found, at "
        "SerialCommunication.cpp:",
        "trace:   /dev/none does not exist\n"}},
      {{"--device", "/dev/plain"}, {"trace:   /dev/plain opens, but is not a serial device"}},
      {{"--device", "/dev/locked"},
       {"trace:   /dev/locked exists, but user ann may not read and write it (group dialout)\n"}},
      {{},
       {"trace: no device named: using USB (a brick on USB, though it may not be opened)\n",
        "trace: opening USB (chosen by the tool) failed: permission denied",
        "trace:   libusb lists 2 USB devices\n",
        "trace:   brick at bus 001 device 005 (/dev/bus/usb/001/005): user ann may not open it\n",
        "trace:   brick at bus 001 device 006 (/dev/bus/usb/001/006): in firmware-update mode"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--trace", "battery"});
    Outcome r = brick(args);
    EXPECT_NE(r.status, 0);
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(has(r.err, line)) << line << "\nin:\n" << r.err;
    }
  }
}

// --- Help, version and watching -----------------------------------------------------------------

TEST(Tool, HelpGivesEveryCommandAWholeSummary) {
  Outcome r = runTool({"--help"});
  std::istringstream lines(r.out.substr(r.out.find("Commands:\n") + 10));
  std::string line;
  int summaries = 0;
  while (std::getline(lines, line) && !line.empty()) {
    EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(line.back(), '.') << "cut short: " << line;
    std::string name = line.substr(2, line.find(' ', 2) - 2);
    std::string summary = line.substr(34);
    Outcome own = runTool({name, "--help"});
    EXPECT_TRUE(has(own.out, "\n\n" + summary + "\n")) << name << ":\n" << own.out;
    ++summaries;
  }
  EXPECT_EQ(summaries, 22);
  EXPECT_TRUE(has(r.out, "BRICK_DEVICE")) << r.out;
}

TEST(Tool, VersionIsTheProjectsAtRunTime) {
  EXPECT_STREQ(Brick::Lib::version(), BRICK_PROJECT_VERSION);
  Brick::Lib::Version v = Brick::Lib::versionNumbers();
  EXPECT_EQ(std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch),
            BRICK_PROJECT_VERSION);
  EXPECT_EQ(runTool({"--version"}).out, std::string("brick ") + BRICK_PROJECT_VERSION + "\n");
}

TEST(ToolWatch, WritesALinePerReadingOffATerminalAndErrorsStartANewLine) {
  // The brick goes away during the watch; its error must not be glued to the last reading.
  for (bool terminal : {true, false}) {
    Sim::VirtualBrick sim;
    Sim::PtyServer server(sim);
    ASSERT_TRUE(server.start());
    auto guard = server.lock();
    sim.scriptScaled(1, {100, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    guard.unlock();
    BrickTool::Environment environment;
    environment.watchIntervalMs = 20;
    environment.terminal = terminal;
    std::thread unplug([&server] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      server.setFault(Fault::Hangup, -1);
    });
    std::ostringstream both;  // stdout and stderr on one terminal or in one file
    std::vector<std::string> args{"brick", "--device", server.devicePath(), "read", "2",
                                  "sound", "--watch"};
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
      argv.push_back(arg.c_str());
    }
    int status =
        BrickTool::run(static_cast<int>(argv.size()), argv.data(), both, both, environment);
    unplug.join();
    std::string text = both.str();
    EXPECT_NE(status, 0) << text;
    std::size_t error = text.find("brick: ");
    ASSERT_NE(error, std::string::npos) << text;
    EXPECT_TRUE(error == 0 || text[error - 1] == '\n') << text;
    if (terminal) {
      EXPECT_EQ(text.substr(0, 20), "\rport 2 sound: 100 %") << text;
    } else {
      EXPECT_EQ(text.find('\r'), std::string::npos) << text;
      EXPECT_EQ(text.substr(0, 20), "port 2 sound: 100 %\n") << text;
    }
    server.stop();
  }
}

// --- The installed program ---------------------------------------------------------------------

TEST(ToolProgram, CtrlCEndsACommandThatWaitsForTheBrick) {
  // Only `read --watch` catches Ctrl-C, to finish its line; any other command waiting for a
  // brick (up to a time limit, or ten seconds for a Bluetooth connection) ends at once.
  std::string ptyPath;
  int master = test::openPtyMaster(ptyPath);
  ASSERT_GE(master, 0);
  const char* path = ptyPath.c_str();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(BRICK_PROGRAM, "brick", "--device", path, "battery", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Once the telegram has arrived the program is waiting for the reply, which never comes.
  std::uint8_t telegram[4] = {};
  std::size_t have = 0;
  while (have < sizeof telegram) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) {
      break;
    }
    ssize_t got = ::read(master, telegram + have, sizeof telegram - have);
    if (got <= 0) {
      break;
    }
    have += static_cast<std::size_t>(got);
  }
  EXPECT_EQ(hex(Sim::Bytes(telegram, telegram + have)), "02 00 00 0B");
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(master);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT)
      << "exited with " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

TEST(ToolProgram, WatchIntoAPipeWritesLinesAndItsErrorAfterThem) {
  // stdout into a pipe is buffered, stderr is not: the reading before an error must have
  // reached the pipe first, each on its own line, with no carriage return.
  Sim::VirtualBrick sim;
  sim.scriptScaled(0, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0});
  Sim::PtyServer server(sim);
  ASSERT_TRUE(server.start());
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  std::string device = server.devicePath();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(pipe[1], 1);
    ::dup2(pipe[1], 2);
    ::execl(BRICK_PROGRAM, "brick", "--device", device.c_str(), "read", "1", "touch", "--watch",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe[1]);
  // The brick goes away once two readings have come through.
  std::string text;
  char buffer[256];
  bool unplugged = false;
  for (;;) {
    // Readings held back in a buffer would never come: then the brick goes away all the same.
    pollfd p{pipe[0], POLLIN, 0};
    ssize_t got = ::poll(&p, 1, 5000) > 0 ? ::read(pipe[0], buffer, sizeof buffer) : 0;
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (unplugged) {
      break;
    }
    if (!unplugged && (got == 0 || std::count(text.begin(), text.end(), '\n') >= 2)) {
      server.setFault(Fault::Hangup, -1);
      unplugged = true;
    }
  }
  ::close(pipe[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  server.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << text;
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  EXPECT_EQ(text.substr(0, 45), "port 1 touch: pressed\nport 1 touch: released\n") << text;
  std::size_t error = text.find("brick: ");
  ASSERT_NE(error, std::string::npos) << text;
  EXPECT_EQ(text[error - 1], '\n') << text;
  EXPECT_EQ(text.find("port 1 touch", error), std::string::npos) << "a reading after the error";
}
