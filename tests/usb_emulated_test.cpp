// The real libusb backend on bricks that umockdev emulates below libusb: enumeration through
// sysfs, the /dev/bus/usb node opened, the interface claimed and every telegram a bulk
// transfer, answered by a virtual brick (EmulatedUsb.h). Runs under libumockdev-preload.
#include <gtest/gtest.h>

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BrickFixture.h"
#include "BrickTool.h"
#include "EmulatedUsb.h"
#include "SystemHost.h"
#include "ToolRun.h"
#include "brick/Motor.h"
#include "comm/LinkCode.h"
#include "comm/UsbBackend.h"

using test::EmulatedUsb;
using test::has;
using test::hex;
using test::Outcome;
using Strings = std::vector<std::string>;

namespace {

Strings wireOf(EmulatedUsb& usb, EmulatedUsb::Device& device) {
  return usb.inspect([&] {
    Strings out;
    for (const Sim::Bytes& t : device.out) {
      out.push_back(hex(t));
    }
    return out;
  });
}

// The machine as the brick tool sees it: its USB nodes are the emulated ones (access(2) and
// open(2) go through umockdev); the user, the groups and the udev rules are set here, so that
// what the tool prints does not depend on the machine the suite runs on.
class EmulatedMachine : public BrickTool::SystemHost {
 public:
  bool exists(const std::string& path) const override {
    return path.rfind("/dev/bus/usb/", 0) == 0 && SystemHost::exists(path);
  }
  std::vector<std::string> listDirectory(const std::string& path) const override {
    if (path == "/etc/udev/rules.d" && !rule.empty()) {
      return {"70-nxt-brick.rules"};
    }
    return {};
  }
  std::string readFile(const std::string&) const override { return rule; }
  std::string userName() const override { return "ann"; }
  bool isRoot() const override { return false; }
  std::vector<std::string> sessionGroups() const override { return {"ann", "plugdev"}; }
  std::vector<std::string> accountGroups() const override { return {"ann", "plugdev"}; }
  std::string variable(const std::string&) const override { return ""; }

  std::string rule;
};

const char* const kRule = "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0694\", GROUP=\"plugdev\"\n";

Outcome brick(const EmulatedMachine& machine, const std::vector<std::string>& args) {
  BrickTool::Environment environment;
  environment.host = &machine;
  return test::runTool(args, environment);
}

// Threads of this process: libusb's context brings one of its own.
int threads() {
  int n = 0;
  DIR* dir = ::opendir("/proc/self/task");
  while (dir != nullptr && ::readdir(dir) != nullptr) {
    ++n;
  }
  if (dir != nullptr) {
    ::closedir(dir);
  }
  return n - 2;
}

}  // namespace

TEST(EmulatedUsb, WholeSessionOnTheBrickOnly) {
  EmulatedUsb usb;
  EmulatedUsb::Device& mouse = usb.add(0x046D, 0xC52B, 1, 2);
  EmulatedUsb::Device& waiting = usb.add(0x03EB, 0x6124, 1, 3);
  EmulatedUsb::Device& brick = usb.add(0x0694, 0x0002, 1, 5);
  brick.sim.name = "Emulated";
  brick.sim.batteryMillivolts = 7300;
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect()) << block.getStatus().getCode();
  EXPECT_EQ(block.getBatteryLevel(), 7300);
  char name[256] = {};
  block.getName(name);
  EXPECT_STREQ(name, "Emulated");
  Brick::Lib::Motor motor;
  block.setMotor(&motor, 1);
  EXPECT_EQ(motor.moveForward(75), 1);
  EXPECT_TRUE(block.getStatus().isSuccess()) << block.getStatus().getCode();
  block.disconnect();
  EXPECT_EQ(wireOf(usb, brick), (Strings{"00 0B", "01 9B", "00 04 01 4B 05 01 00 20 00 00 00 00"}));
  usb.inspect([&] {
    EXPECT_EQ(brick.claims, 1);
    EXPECT_EQ(brick.releases, 1);
    EXPECT_EQ(mouse.opens + waiting.opens, 0);  // neither is opened, not even to look
    return 0;
  });
}

TEST(EmulatedUsb, UnpluggedWhileAReplyIsAwaited) {
  EmulatedUsb usb;
  EmulatedUsb::Device& brick = usb.add(0x0694, 0x0002, 1, 5);
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  EXPECT_EQ(block.getBatteryLevel(), 9000);
  usb.inspect([&] { return brick.unplugAwaitingReply = true; });
  EXPECT_EQ(block.getBatteryLevel(), 257);
  // The device's going, not a time-out: nothing waited for the time limit.
  const nFANTOM100::tStatus& status = block.getStatus();
  EXPECT_EQ(status.getCode(), Comm::kLinkClosedByPeer);
  EXPECT_STRNE(status.getFileName(), "");
  EXPECT_GT(status.getLineNumber(), 0u);
  char name[256] = "x";
  block.getName(name);  // later calls fail too, at once
  EXPECT_STREQ(name, "");
  usb.unplug(brick);
  block.disconnect();
  EXPECT_FALSE(block.connect());
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkNoDevice);

  // Plugged in again: the kernel gives it a new address.
  EmulatedUsb::Device& again = usb.add(0x0694, 0x0002, 1, 6);
  ASSERT_TRUE(block.connect());
  EXPECT_EQ(block.getBatteryLevel(), 9000);
  EXPECT_EQ(wireOf(usb, brick), (Strings{"00 0B", "00 0B"}));
  EXPECT_EQ(wireOf(usb, again), (Strings{"00 0B"}));
}

TEST(EmulatedUsb, ReadTimedOutIsCancelledAndItsLateReplyPassedOver) {
  EmulatedUsb usb;
  EmulatedUsb::Device& brick = usb.add(0x0694, 0x0002, 1, 5);
  Brick::Lib::Block block;
  ASSERT_TRUE(block.connect());
  usb.inspect([&] {
    brick.sim.scriptReply(0x0B, Sim::Bytes());  // the brick says nothing in time...
    return 0;
  });
  EXPECT_EQ(block.getBatteryLevel(), 257);
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkTimeout);
  usb.inspect([&] {
    brick.in.push_back(hex("02 0B 00 11 11"));  // ...then its answer comes
    brick.sim.batteryMillivolts = 7300;
    return 0;
  });
  EXPECT_EQ(block.getBatteryLevel(), 7300);  // its own reply, after a keep-alive's
  EXPECT_EQ(wireOf(usb, brick), (Strings{"00 0B", "00 0D", "00 0B"}));
}

TEST(EmulatedUsb, OfTwoBricksTheFirstListedThatCanBeClaimed) {
  EmulatedUsb usb;
  EmulatedUsb::Device& alpha = usb.add(0x0694, 0x0002, 1, 4);
  EmulatedUsb::Device& beta = usb.add(0x0694, 0x0002, 1, 5);
  alpha.sim.name = "Alpha";
  beta.sim.name = "Beta";
  // The order is libusb's; the link takes the first brick in it.
  std::vector<Comm::UsbDeviceInfo> devices;
  ASSERT_TRUE(Comm::UsbBackend::current().enumerate(devices));
  Comm::UsbBackend::current().forget();
  ASSERT_EQ(devices.size(), 2u);
  EmulatedUsb::Device& first = devices[0].address == 4 ? alpha : beta;
  EmulatedUsb::Device& second = devices[0].address == 4 ? beta : alpha;
  std::string firstName = first.sim.name;
  std::string secondName = second.sim.name;

  Brick::Lib::Block block;
  char name[256];
  ASSERT_TRUE(block.connect());
  block.getName(name);
  EXPECT_EQ(name, firstName);
  block.disconnect();

  usb.inspect([&] { return first.held = true; });  // another program has it
  ASSERT_TRUE(block.connect());
  block.getName(name);
  EXPECT_EQ(name, secondName);
  block.disconnect();

  // list and doctor name the brick that commands use, not the one held.
  EmulatedMachine machine;
  machine.rule = kRule;
  std::string held = "bus 001 device 00" + std::to_string(devices[0].address);
  std::string used = "bus 001 device 00" + std::to_string(devices[1].address);
  Outcome r = brick(machine, {"list"});
  EXPECT_EQ(r.out, "USB " + held +
                       "  brick, cannot be opened (held by another program?): " + "commands use " +
                       used + "\nUSB " + used + "  brick \"" + secondName + "\"\n");
  r = brick(machine, {"doctor", "--usb"});
  EXPECT_TRUE(has(r.out, "FAIL  brick at " + held + " (" + devices[0].node +
                             ") cannot be opened (held by another program?): commands use the "
                             "brick at " +
                             used + "\n      fix: close the other program that uses the brick\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "OK    brick at " + used + " (" + devices[1].node + ") answers as \"" +
                             secondName + "\"\n"))
      << r.out;

  usb.inspect([&] { return second.held = true; });
  EXPECT_FALSE(block.connect());
  EXPECT_EQ(block.getStatus().getCode(), Comm::kLinkBusy);
  r = brick(machine, {"list"});
  EXPECT_EQ(r.status, BrickTool::kExitNoBrick);
  EXPECT_EQ(r.out, "USB " + held + "  brick, device busy\nUSB " + used + "  brick, device busy\n");
}

TEST(EmulatedUsb, ListAndDoctorOnAnEmulatedBrickAndOneInFirmwareUpdateMode) {
  EmulatedUsb usb;
  EmulatedUsb::Device& waiting = usb.add(0x03EB, 0x6124, 1, 3);
  EmulatedUsb::Device& emulated = usb.add(0x0694, 0x0002, 1, 5);
  emulated.sim.name = "Emulated";
  EmulatedMachine machine;
  machine.rule = kRule;
  // In libusb's order, which is the order the link tries them in.
  Outcome r = brick(machine, {"list"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "USB bus 001 device 005  brick \"Emulated\"\n"
            "USB bus 001 device 003  brick in firmware-update mode: cannot be talked to\n");
  r = brick(machine, {"doctor", "--usb"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "OK    libusb lists 2 USB devices\n"
            "OK    brick at bus 001 device 005 (/dev/bus/usb/001/005) answers as \"Emulated\"\n"
            "FAIL  brick in firmware-update mode at bus 001 device 003 (/dev/bus/usb/001/003): it "
            "cannot be talked to\n"
            "      fix: flash its firmware again with a firmware-update program, then replug it\n"
            "OK    udev rule /etc/udev/rules.d/70-nxt-brick.rules gives the brick to group "
            "plugdev\n"
            "OK    user ann is in group plugdev\n"
            "A brick can be used: try `brick info`.\n");
  EXPECT_EQ(wireOf(usb, emulated), (Strings{"01 9B", "01 9B"}));
  EXPECT_EQ(usb.inspect([&] { return waiting.opens; }), 0);
}

TEST(EmulatedUsb, LibusbContextLivesFromTheFirstLinkToTheLast) {
  EmulatedUsb usb;
  usb.add(0x0694, 0x0002, 1, 4);
  usb.add(0x0694, 0x0002, 1, 5);
  const int before = threads();
  Brick::Lib::Block one;
  Brick::Lib::Block two;
  ASSERT_TRUE(one.connect());
  EXPECT_EQ(threads(), before + 1);  // libusb's event thread
  ASSERT_TRUE(two.connect());
  EXPECT_EQ(threads(), before + 1);
  one.disconnect();
  EXPECT_EQ(threads(), before + 1);
  EXPECT_EQ(two.getBatteryLevel(), 9000);
  two.disconnect();
  EXPECT_EQ(threads(), before);
  EmulatedMachine machine;
  EXPECT_EQ(brick(machine, {"list"}).status, 0);  // lists, opens, closes
  EXPECT_EQ(threads(), before);
}

namespace {

// Runs in a child of its own and exits 0 when everything is as it should be, 1 with what was
// not on standard error.
[[noreturn]] void openANodeWithoutPermission() {
  // Root opens every node whatever its mode: the child leaves root for nobody first.
  if (::geteuid() == 0 &&
      (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
    std::fputs("cannot leave root\n", stderr);
    std::_Exit(2);
  }
  ::setenv("TMPDIR", "/tmp", 1);
  std::string wrong;
  {
    EmulatedUsb usb;
    EmulatedUsb::Device& device = usb.add(0x0694, 0x0002, 1, 5);
    if (::chmod(usb.file(device).c_str(), 0) != 0) {
      wrong += "chmod failed\n";
    }
    Brick::Lib::Block block;
    if (block.connect() || block.getStatus().getCode() != Comm::kLinkAccessDenied) {
      wrong += "connect: " + std::to_string(block.getStatus().getCode()) + "\n";
    }
    EmulatedMachine machine;
    Outcome r = brick(machine, {"doctor"});
    for (const char* line :
         {"FAIL  brick at bus 001 device 005 (/dev/bus/usb/001/005): user ann may not open it\n"
          "      fix: install the udev rule and be in its group (below), then unplug and replug "
          "the brick\n",
          "FAIL  no udev rule for the brick (0694:0002)",
          "      fix: echo 'SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0694\"",
          "A brick is there but cannot be opened"}) {
      if (!has(r.out, line)) {
        wrong += "doctor lacks: " + std::string(line) + "\n";
      }
    }
    if (r.status != BrickTool::kExitPermission) {
      wrong += "doctor's status " + std::to_string(r.status) + "\n";
    }
    Outcome battery = brick(machine, {"battery"});
    if (battery.status != BrickTool::kExitPermission ||
        !has(battery.err, "permission denied on USB")) {
      wrong += "battery: " + battery.err;
    }
    if (!wrong.empty()) {
      wrong += "doctor said:\n" + r.out;
    }
    if (usb.inspect([&] { return device.claims; }) != 0) {
      wrong += "the interface was claimed\n";
    }
  }
  std::fputs(wrong.c_str(), stderr);
  std::_Exit(wrong.empty() ? 0 : 1);
}

}  // namespace

TEST(EmulatedUsbDeathTest, NodeThisUserMayNotOpen) {
  // A child of its own, started afresh: it may leave root, and no thread of this process is
  // copied into it.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(openANodeWithoutPermission(), ::testing::ExitedWithCode(0), "");
}
