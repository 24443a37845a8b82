// The firmware's modules and their IO maps: the module commands in hex against the virtual
// brick, the maps kept live from its state and acted on when written, and the classes that
// read them (IoMap, Screen, Buttons).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrickFixture.h"
#include "brick/BrickCode.h"
#include "brick/Buttons.h"
#include "brick/IoMap.h"
#include "brick/Screen.h"
#include "protocol/IoMapLayout.h"
#include "sim/BrickScreen.h"
#include "sim/VirtualBrick.h"

namespace {

using test::hex;
namespace L = Nxt::IoMaps;

std::string zeros(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    out += " 00";
  }
  return out;
}

// `text` as hex, NUL-padded to `width` bytes.
std::string field(const std::string& text, std::size_t width) {
  Sim::Bytes bytes(text.begin(), text.end());
  bytes.resize(width, 0);
  return hex(bytes);
}

std::string u32(std::uint32_t v) {
  return hex(Sim::Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
}

std::string u16(std::uint32_t v) {
  return hex(Sim::Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}

// A FIND FIRST / NEXT MODULE telegram and its reply for a module found.
std::string findFirst(const std::string& pattern) {
  return "01 90 " + field(pattern, 20);
}
std::string found(std::uint8_t op, const char* name, std::uint32_t id, std::uint32_t size) {
  char head[16];
  std::snprintf(head, sizeof head, "02 %02X 00 00 ", op);
  return head + field(name, 20) + " " + u32(id) + " 00 00 00 00 " + u16(size);
}
std::string notFound(std::uint8_t op, std::uint8_t status = 0x90) {
  char head[16];
  std::snprintf(head, sizeof head, "02 %02X %02X 00", op, status);
  return head + zeros(30);
}

struct Row {
  std::string telegram;
  std::string reply;
};

void expectRows(Sim::VirtualBrick& sim, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(hex(sim.answer(hex(row.telegram))), row.reply) << row.telegram;
  }
}

TEST(ModuleCommands, ListTheFirmwaresModulesWithItsPatternsAndOneSearchAtATime) {
  Sim::VirtualBrick sim;
  std::vector<Row> rows{{findFirst("*.*"), found(0x90, "Comm.mod", L::kCommId, 1896)},
                        // One search at a time, whatever the handle.
                        {findFirst("*.*"), notFound(0x90, 0x81)}};
  for (std::size_t i = 1; i < L::kModuleCount; ++i) {
    const L::Module& m = L::kModules[i];
    rows.push_back({"01 91 00", found(0x91, m.name, m.id, m.ioMapSize)});
  }
  std::vector<Row> more{
      {"01 91 00", notFound(0x91)},
      {"01 91 07", notFound(0x91)},
      {"01 92 05", "02 92 00 00"},
      {"01 92 05", "02 92 00 00"},  // always success
      // Case-insensitive: a whole name, NAME.*, *.EXT (anywhere in the name).
      {findFirst("display.MOD"), found(0x90, "Display.mod", L::kDisplayId, 1720)},
      {"01 91 00", notFound(0x91)},
      {"01 92 00", "02 92 00 00"},
      {findFirst("low speed.*"), found(0x90, "Low Speed.mod", L::kLowSpeedId, 167)},
      {"01 92 00", "02 92 00 00"},
      {findFirst("*.MOD"), found(0x90, "Comm.mod", L::kCommId, 1896)},
      {"01 92 00", "02 92 00 00"},
      {findFirst("Ui.mod"), found(0x90, "Ui.mod", L::kUiId, 40)},
      {"01 92 00", "02 92 00 00"},
      // Nothing matches, yet the search is open until closed.
      {findFirst("Output"), notFound(0x90)},
      {findFirst("*.*"), notFound(0x90, 0x81)},
      {"01 92 00", "02 92 00 00"},
      {"01 91 00", notFound(0x91)},                 // no search open
      {"01 90 2A 2E 2A 00", notFound(0x90, 0xBF)},  // short: refused, nothing opened
      {findFirst("command.*"), found(0x90, "Command.mod", L::kCommandId, 32828)},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  expectRows(sim, rows);
}

TEST(ModuleCommands, ReadAndWriteIoMapAnswerAsTheFirmwareDoes) {
  Sim::VirtualBrick usb;
  Sim::VirtualBrick bluetooth;
  bluetooth.setLink(Sim::VirtualBrick::Link::Bluetooth);
  const std::string output = u32(L::kOutputId);
  const std::string sound = u32(L::kSoundId);
  expectRows(
      usb, {
               // Port A's record: counts, limit, flags, mode, speeds, ... all 0 on a brick at rest.
               {"01 94 " + output + " 00 00 20 00", "02 94 00 " + output + " 20 00" + zeros(32)},
               // A count of 0 is a 9-byte reply.
               {"01 94 " + output + " 10 00 00 00", "02 94 00 " + output + " 00 00"},
               // Cut to 55 bytes over USB, and then within the map.
               {"01 94 " + output + " 00 00 C8 00", "02 94 00 " + output + " 37 00" + zeros(55)},
               // Past the end (100 bytes): 0x91, count 0, the data area zeros.
               {"01 94 " + output + " 60 00 05 00", "02 94 91 " + output + " 00 00" + zeros(5)},
               // An unknown id: 0x90, the id echoed.
               {"01 94 01 00 07 00 00 00 04 00", "02 94 90 01 00 07 00 00 00" + zeros(4)},
               {"01 94 " + output + " 00", "02 94 BF" + zeros(6)},
               // The Sound map takes a volume, and reads it back.
               {"01 95 " + sound + " 1D 00 01 00 02", "02 95 00 " + sound + " 01 00"},
               {"01 94 " + sound + " 1D 00 01 00", "02 94 00 " + sound + " 01 00 02"},
               {"01 95 " + sound + " 1D 00 02 00 02 00", "02 95 91 " + sound + " 00 00"},
               {"01 95 01 00 07 00 00 00 01 00 05", "02 95 90 01 00 07 00 00 00"},
               // Fewer data bytes than the count says: refused, nothing written.
               {"01 95 " + sound + " 1C 00 02 00 03", "02 95 BF " + sound + " 00 00"},
           });
  expectRows(bluetooth,
             {
                 {"01 94 " + u32(L::kCommandId) + " 00 00 C8 00",
                  "02 94 00 " + u32(L::kCommandId) + " 77 00" + zeros(29) + " 01" + zeros(89)},
             });
}

// A brick with a program in flash and a motor, sensor and name set, as a host finds them.
class LiveMaps : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.flash.store("prog.rxe", Sim::Bytes(100, 1))); }
  std::string read(std::uint32_t id, std::size_t offset, std::size_t count) {
    Sim::Bytes map = sim.ioMaps.map(id, sim);
    return hex(Sim::Bytes(map.begin() + static_cast<long>(offset),
                          map.begin() + static_cast<long>(offset + count)));
  }
  std::string exchange(const std::string& telegram) { return hex(sim.answer(hex(telegram))); }
  // WRITE IO MAP of `data` (hex) at `offset`: its reply's status.
  std::string write(std::uint32_t id, std::size_t offset, const std::string& data) {
    std::size_t count = hex(data).size();
    std::string reply =
        exchange("01 95 " + u32(id) + " " + u16(static_cast<std::uint32_t>(offset)) + " " +
                 u16(static_cast<std::uint32_t>(count)) + " " + data);
    return reply.substr(6, 2);
  }
  Sim::VirtualBrick sim;
};

TEST_F(LiveMaps, ShowTheBricksState) {
  ASSERT_EQ(exchange("00 04 01 4B 05 01 00 20 00 00 00 00"), "02 04 00");  // B at 75
  sim.outputs[1].tachoCount = 360;
  sim.outputs[1].rotationCount = -2;
  ASSERT_EQ(exchange("00 05 00 01 20"), "02 05 00");  // touch, boolean
  sim.inputs[0].raw = 183;
  sim.inputs[0].scaled = 1;
  sim.name = "Robbie";
  sim.batteryMillivolts = 7300;
  ASSERT_EQ(exchange("00 00 " + field("prog.rxe", 20)), "02 00 00");
  ASSERT_EQ(exchange("00 03 B8 01 F4 01"), "02 03 00");  // 440 Hz for 500 ms
  const struct {
    std::uint32_t id;
    std::size_t offset;
    std::size_t count;
    std::string bytes;
  } rows[] = {
      // Output B: tacho 360, block 0, rotation -2, no limit, flags taken, on|regulated,
      // speed 75 and running at it, run state running, regulation speed.
      {L::kOutputId, 32, 29,
       "68 01 00 00 00 00 00 00 FE FF FF FF 00 00 00 00 00 00 00 05 4B 4B 00 00 00 20 01 00 00"},
      // Input 1: raw 183 twice, value 1, switch in boolean mode, pressed, valid.
      {L::kInputId, 2, 15, "B7 00 B7 00 01 00 01 20 01 00 00 00 00 00 00"},
      {L::kUiId, 4, 2, u16(7300)},
      {L::kUiId, 6, 20, field("prog.rxe", 20)},
      {L::kUiId, 30, 1, "01"},  // battery state
      {L::kCommId, L::Comm::kBrickName, 16, field("Robbie", 16)},
      {L::kCommandId, 28, 1, "02"},  // running
      {L::kCommandId, 32, 20, field("prog.rxe", 20)},
      // The tone: 440 Hz, 500 ms, tone mode, playing.
      {L::kSoundId, 0, 4, "B8 01 F4 01"},
      {L::kSoundId, 26, 4, "02 03 02 03"},
      {L::kDisplayId, 117, 1, "03"},  // on, refreshing
  };
  for (const auto& row : rows) {
    EXPECT_EQ(read(row.id, row.offset, row.count), row.bytes)
        << std::hex << row.id << " @" << std::dec << row.offset;
  }
  // The menu draws the name on the top line, and the running program.
  std::uint8_t expected[800] = {};
  Sim::BrickScreen::Shows shows{"Robbie", 1, "prog.rxe"};
  Sim::BrickScreen::draw(shows, expected);
  EXPECT_EQ(read(L::kDisplayId, L::Display::kNormal, 800),
            hex(Sim::Bytes(expected, expected + 800)));
  EXPECT_EQ(read(L::kDisplayId, L::Display::kNormal + Sim::BrickScreen::centred("Robbie"), 5),
            "7F 09 19 29 46");  // "R"
}

TEST_F(LiveMaps, WritesTheFirmwareActsOnReachTheBrick) {
  ASSERT_EQ(exchange("00 00 " + field("prog.rxe", 20)), "02 00 00");
  // Enter, right, left through the UI map; each counted in the Button map as a short press.
  for (const char* code : {"02", "03", "01"}) {
    EXPECT_EQ(write(L::kUiId, 28, code), "00");
  }
  ASSERT_EQ(sim.ioMaps.presses().size(), 3u);
  EXPECT_EQ(sim.ioMaps.presses()[0].button, L::Button::kEnter);
  EXPECT_EQ(read(L::kButtonId, 0, 36),
            "00 00 00 00 00 00 00 00 01 00 01 00 01 00 00 00 01 00 01 00 01 00 00 00 "
            "01 00 01 00 01 00 00 00 00 00 00 00");
  EXPECT_EQ(read(L::kUiId, 28, 1), "00");  // taken
  EXPECT_TRUE(sim.program.running());
  // With exit disabled the press is not taken; enabled, exit ends the program.
  EXPECT_EQ(write(L::kUiId, 26, "04"), "00");
  EXPECT_EQ(write(L::kUiId, 28, "04"), "00");
  EXPECT_TRUE(sim.program.running());
  EXPECT_EQ(write(L::kUiId, 26, "00"), "00");
  EXPECT_EQ(write(L::kUiId, 28, "04"), "00");
  EXPECT_FALSE(sim.program.running());
  EXPECT_EQ(read(L::kCommandId, 28, 1), "00");
  // A tone: frequency, duration, volume and tone mode, then the update flag.
  EXPECT_EQ(write(L::kSoundId, 0, "20 03 C8 00"), "00");
  EXPECT_EQ(write(L::kSoundId, 28, "02 04"), "00");
  EXPECT_EQ(write(L::kSoundId, 26, "01"), "00");
  ASSERT_EQ(sim.toneCount, 1u);
  EXPECT_EQ(sim.tones.back().frequency, 800);
  EXPECT_EQ(read(L::kSoundId, 26, 4), "02 03 02 04");  // update taken, playing a tone
  EXPECT_EQ(write(L::kSoundId, 27, "04"), "00");       // stop
  EXPECT_EQ(read(L::kSoundId, 26, 2), "00 00");
  // Motor C: speed 50 and mode on, with their update flags.
  EXPECT_EQ(write(L::kOutputId, 64 + 19, "01 32"), "00");
  EXPECT_EQ(write(L::kOutputId, 64 + 18, "03"), "00");
  EXPECT_EQ(sim.outputs[2].power, 50);
  EXPECT_EQ(sim.outputs[2].mode, 1);
  EXPECT_EQ(read(L::kOutputId, 64 + 18, 3), "00 01 32");
  // A tacho limit through the map is a movement goal, as SETOUTPUTSTATE's.
  EXPECT_EQ(write(L::kOutputId, 64 + 12, "68 01 00 00"), "00");
  EXPECT_EQ(write(L::kOutputId, 64 + 18, "04"), "00");
  EXPECT_EQ(sim.outputs[2].tachoLimit, 360u);
  // Sensor 3's type: the port is set up again.
  EXPECT_EQ(write(L::kInputId, 40 + 8, "05 80"), "00");
  EXPECT_EQ(sim.inputs[2].type, 5);
  EXPECT_EQ(sim.inputs[2].mode, 0x80);
  // The name in the Comm map is the one the menu shows.
  EXPECT_EQ(write(L::kCommId, L::Comm::kBrickName, field("Zed", 16)), "00");
  EXPECT_EQ(sim.name, "Zed");
  // What a host draws stays on the screen until the menu has something new to show.
  EXPECT_EQ(write(L::kDisplayId, L::Display::kNormal + 700, "FF FF"), "00");
  EXPECT_EQ(read(L::kDisplayId, L::Display::kNormal + 700, 2), "FF FF");
  // The UI's power-off switches the brick off: it answers nothing more.
  EXPECT_EQ(write(L::kUiId, 39, "01"), "00");
  EXPECT_EQ(exchange("00 0B"), "");
}

// The classes over the pseudo-terminal, with the telegrams they send.
class IoMapClasses : public test::PtyBrick {};

TEST_F(IoMapClasses, FindReadWriteByNameOrId) {
  Brick::Lib::IoMap maps(block);
  std::vector<Brick::Lib::IoMap::Module> modules;
  ASSERT_EQ(maps.find("*.*", modules), 0);
  ASSERT_EQ(modules.size(), L::kModuleCount);
  EXPECT_EQ(modules[3].name, "Display.mod");
  EXPECT_EQ(modules[3].ioMapSize, 1720);
  // A search another client left open is closed first.
  {
    auto guard = server.lock();
    sim.answer(hex(findFirst("x.*")));
  }
  clearWire();
  Brick::Lib::IoMap::Module ui;
  ASSERT_EQ(maps.lookup("ui", ui), 0);
  EXPECT_EQ(wire(), (std::vector<std::string>{findFirst("ui.mod"), "01 92 00", findFirst("ui.mod"),
                                              "01 91 00", "01 92 00"}));
  Brick::Lib::IoMap::Module byId;
  ASSERT_EQ(maps.lookup("0x000C0001", byId), 0);
  EXPECT_EQ(byId.name, "Ui.mod");
  EXPECT_EQ(maps.lookup("Nothing", byId), Brick::Lib::brickStatusCode(0x90));
  // 120 bytes of the Comm map: three reads of 55, 55 and 10.
  clearWire();
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(maps.read(L::kCommId, 1100, 120, bytes), 0);
  EXPECT_EQ(wire(), (std::vector<std::string>{"01 94 01 00 05 00 4C 04 37 00",
                                              "01 94 01 00 05 00 83 04 37 00",
                                              "01 94 01 00 05 00 BA 04 0A 00"}));
  EXPECT_EQ(std::string(bytes.begin() + 26, bytes.begin() + 29), "NXT");
  EXPECT_EQ(maps.read(L::kUiId, 30, 20, bytes), Brick::Lib::brickStatusCode(0x91));
  EXPECT_EQ(maps.write(0x00070001, 0, {1}), Brick::Lib::brickStatusCode(0x90));
}

TEST_F(IoMapClasses, ScreenShowsTheNameAndAButtonPressReachesTheBrick) {
  {
    auto guard = server.lock();
    sim.name = "Screen";
  }
  Brick::Lib::Screen screen(block);
  Brick::Lib::Screen::Picture picture;
  clearWire();
  ASSERT_EQ(screen.capture(picture), 0);
  EXPECT_EQ(wire().size(), 15u);  // 802 bytes in reads of 55
  EXPECT_FALSE(picture.popup);
  std::uint8_t expected[800] = {};
  Sim::BrickScreen::text(expected, 0, Sim::BrickScreen::centred("Screen"), "Screen");
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 100; ++x) {
      EXPECT_EQ(picture.pixel(x, y), L::Display::pixel(expected, x, y)) << x << "," << y;
    }
  }
  Brick::Lib::Buttons buttons(block);
  Brick::Lib::Buttons::Button enter;
  ASSERT_TRUE(Brick::Lib::Buttons::parse("ENTER", enter));
  clearWire();
  ASSERT_EQ(buttons.press(enter), 0);
  EXPECT_EQ(wire(), std::vector<std::string>{"01 95 01 00 0C 00 1C 00 01 00 02"});
  auto guard = server.lock();
  ASSERT_EQ(sim.ioMaps.presses().size(), 1u);
  EXPECT_EQ(sim.ioMaps.presses()[0].button, L::Button::kEnter);
}

}  // namespace
