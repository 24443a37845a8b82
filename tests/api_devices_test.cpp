// The modern API's device handles against the virtual robot on a stepped clock: the typed
// sensors read what the world sets, a wrong device is refused by name in both forms, the IO
// maps go both ways and refuse bytes outside a map before sending, the screen shows the
// brick's name, button presses and the sampler's rows on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#ifdef BRICK_TEST_PNG
#include <png.h>
#endif

#include "BrickFixture.h"
#include "DeviceWorlds.h"
#include "brick/brick.hpp"
#include "protocol/IoMapLayout.h"
#include "sim/BrickScreen.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

// A driver needs a brick and an input named as the brick prints it.
static_assert(!std::is_default_constructible_v<brick::Compass>);
static_assert(!std::is_constructible_v<brick::Gyro, brick::Brick&, int>);
static_assert(!std::is_constructible_v<brick::IrSeeker, brick::Brick&, brick::Port>);
static_assert(std::is_constructible_v<brick::TemperatureSensor, brick::Brick&, brick::Input>);

using test::kFitted;
using test::kOthers;

class ApiDevices : public test::FittedRobot {
 protected:
  // A Brick on a fresh connection to the fixture's brick (a Brick closes the one it was given
  // as it goes), left running as it goes.
  brick::Brick open() {
    attach(block);
    brick::Brick b = brick::Brick::adopt(block.getCommunication());
    b.keepRunning();
    return b;
  }
};

std::string text(const std::vector<double>& values) {
  std::string out;
  for (double v : values) {
    char one[32];
    std::snprintf(one, sizeof one, out.empty() ? "%g" : " %g", v);
    out += one;
  }
  return out;
}

}  // namespace

// Each handle reads what the world sets, setting its input up on its first use; the compass's
// first reading shows what goes on the wire for that: the mode, the identification, the read.
TEST_F(ApiDevices, TypedSensorsReadWhatTheWorldSets) {
  struct Case {
    const char* what;
    const std::string* world;
    std::function<std::string(brick::Brick&)> read;
    std::string value;
  };
  using brick::Input;
  const Case cases[] = {
      {"compass", &kFitted,
       [](brick::Brick& b) { return std::to_string(brick::Compass(b, Input::S2).degrees()); },
       "60"},
      {"IR seeker, modulated", &kFitted,
       [](brick::Brick& b) {
         brick::IrSeeker seeker(b, Input::S1);
         seeker.setUp(0ms);
         brick::IrSeeker::Reading r = seeker.ac();
         std::string s = std::to_string(r.zone);
         for (int x : r.strength) {
           s += " " + std::to_string(x);
         }
         return s;
       },
       "6 0 0 31 31 0"},
      {"accelerometer, counts and g", &kFitted,
       [](brick::Brick& b) {
         brick::Accelerometer a(b, Input::S3);
         a.setUp(0ms);
         brick::Accelerometer::Counts c = a.counts();
         brick::Accelerometer::Gs g = a.g();
         return text({double(c.x), double(c.y), double(c.z), g.x, g.y, g.z});
       },
       "0 0 200 0 0 1"},
      {"thermometer at 9 and 12 bits", &kFitted,
       [](brick::Brick& b) {
         brick::TemperatureSensor t(b, Input::S4);
         t.setUp(0ms);
         double coarse = t.celsius();
         t.resolution(12);
         return text({coarse, t.celsius()});
       },
       "23.5 23.5"},
      {"RGB colour sensor on the red mat", &kOthers,
       [](brick::Brick& b) {
         brick::RgbColourSensor c(b, Input::S1);
         c.setUp(0ms);
         brick::RgbColourSensor::Reading r = c.read();
         c.mode(brick::RgbColourSensor::Mode::Passive);
         brick::RgbColourSensor::Levels l = c.levels();
         return text({double(r.number), double(r.normRed), double(l.red), double(l.green)});
       },
       "8 255 820 180"},
      {"gyro calibrated at rest", &kOthers,
       [](brick::Brick& b) {
         brick::Gyro g(b, Input::S2);
         int offset = g.calibrate(4);
         return text({double(offset), double(g.degreesPerSecond())});
       },
       "612 0"},
      {"the maker's colour sensor: colour, then red and blue lamps", &kOthers,
       [](brick::Brick& b) {
         brick::ColourSensor c = b.colourSensor(Input::S3);
         bool red = c.colour() == brick::Colour::Red;
         c.mode(brick::ColourSensor::Mode::Red);
         int underRed = c.level();
         c.mode(brick::ColourSensor::Mode::Blue);
         return std::string(red ? "red" : "not red") +
                (underRed != c.level() ? ", reflects the lamps differently" : ", alike");
       },
       "red, reflects the lamps differently"},
  };
  for (const Case& c : cases) {
    fit(*c.world);
    brick::Brick b = open();
    clearWire();
    std::string value;
    EXPECT_NO_THROW(value = c.read(b)) << c.what;
    EXPECT_EQ(value, c.value) << c.what;
  }
  fit(kFitted);
  brick::Brick b = open();
  clearWire();
  brick::Compass compass(b, Input::S2);
  EXPECT_EQ(wire(), Strings{}) << "made without a word to the brick";
  std::error_code ec;
  EXPECT_EQ(compass.degrees(ec), 60);
  EXPECT_FALSE(ec);
  EXPECT_EQ(compass.degrees(ec), 60);
  const std::string lsRead = "00 10 01";
  EXPECT_EQ(transactions(), (Strings{"80 05 01 0B 00", "00 0F 01 02 08 02 08", lsRead, lsRead,
                                     "00 0F 01 02 08 02 10", lsRead, lsRead, "00 0F 01 02 02 02 42",
                                     lsRead, "00 0F 01 02 02 02 42", lsRead}))
      << "set up and identified once";
  // The colour sensor's lamp modes are SETINPUTMODEs of their own types.
  clearWire();
  brick::ColourSensor colour = b.colourSensor(Input::S3);
  colour.mode(brick::ColourSensor::Mode::Green);
  colour.mode(brick::ColourSensor::Mode::Ambient);
  EXPECT_EQ(wire(), (Strings{"80 05 02 0D 00", "80 05 02 0F 00", "80 05 02 11 00"}));
}

// Another device where a handle expects its own: Errc::wrong_device in both forms, problem()
// and what() naming what answered; nothing answering at all is the bus's error, named too.
TEST_F(ApiDevices, WrongDeviceNamedInBothForms) {
  fit(kFitted);
  brick::Brick b = open();
  using brick::Input;
  struct Case {
    std::function<void(std::error_code&)> read;  // the error_code form
    std::function<void()> raise;                 // the throwing form
    std::function<std::string()> problem;
    const char* operation;
    std::string named;
  };
  brick::Compass compass(b, Input::S1);
  brick::Accelerometer accel(b, Input::S2);
  brick::RgbColourSensor colour(b, Input::S4);
  brick::TemperatureSensor thermometer(b, Input::S3);
  brick::IrSeeker seeker(b, Input::S2);
  const Case cases[] = {
      {[&](auto& ec) { compass.setUp(0ms, ec); }, [&] { compass.degrees(); },
       [&] { return compass.problem(); }, "brick::Compass::degrees",
       "port 1 holds a HiTechnc NewIRDir, not a HiTechnic compass"},
      {[&](auto& ec) { accel.setUp(0ms, ec); }, [&] { accel.g(); }, [&] { return accel.problem(); },
       "brick::Accelerometer::g", "port 2 holds a HiTechnc Compass, not a HiTechnic accelerometer"},
      {[&](auto& ec) { colour.setUp(0ms, ec); }, [&] { colour.read(); },
       [&] { return colour.problem(); }, "brick::RgbColourSensor::read",
       "port 4 holds a LEGO temperature sensor, not a HiTechnic colour sensor V2"},
      {[&](auto& ec) { thermometer.setUp(0ms, ec); }, [&] { thermometer.celsius(); },
       [&] { return thermometer.problem(); }, "brick::TemperatureSensor::celsius",
       "port 3 holds a HiTechnc Accel., not a LEGO temperature sensor"},
      {[&](auto& ec) { seeker.setUp(0ms, ec); }, [&] { seeker.band(brick::IrSeeker::Band::Hz600); },
       [&] { return seeker.problem(); }, "brick::IrSeeker::band",
       "port 2 holds a HiTechnc Compass, not a HiTechnic IR seeker V2"},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    c.read(ec);
    EXPECT_EQ(ec, brick::Errc::wrong_device) << c.named;
    EXPECT_EQ(ec.message(), "another device answers at that port");
    EXPECT_EQ(c.problem(), c.named);
    try {
      c.raise();
      ADD_FAILURE() << "no exception: " << c.named;
    } catch (const brick::Error& e) {
      EXPECT_EQ(e.code(), brick::Errc::wrong_device);
      EXPECT_EQ(std::string(e.what()), std::string(c.operation) + ": " + c.named +
                                           ": another device answers at that port");
    }
  }
  // The robot's own ultrasonic sensor where its devices are not: named too, and no reading.
  fit("arena 300 200\nrobot 50 100 0\n");
  brick::Compass nowhere(b, Input::S2);
  std::error_code ec;
  EXPECT_EQ(nowhere.degrees(ec), 0);
  EXPECT_EQ(ec, brick::Errc::wrong_device);
  EXPECT_EQ(nowhere.problem(), "port 2 holds a LEGO Sonar, not a HiTechnic compass");
}

// Values a handle refuses before sending anything, and a closed brick's handles.
TEST_F(ApiDevices, RefusedBeforeSending) {
  fit(kFitted);
  brick::Brick b = open();
  using brick::Errc;
  brick::IoMap maps(b);
  brick::Module ui = maps.module("ui");
  std::ostringstream csv;
  brick::Sampler sampler(b);
  sampler.add(brick::Input::S1);
  struct Case {
    const char* what;
    std::function<void(std::error_code&)> call;
  };
  const Case cases[] = {
      {"read past the map", [&](auto& ec) { maps.read(ui, ui.ioMapSize - 1, 2, ec); }},
      {"read nothing", [&](auto& ec) { maps.read(ui, 0, 0, ec); }},
      {"offset past the map", [&](auto& ec) { maps.write(ui, ui.ioMapSize + 1, {1}, ec); }},
      {"write past the map",
       [&](auto& ec) {
         maps.write(ui, ui.ioMapSize - 2, {1, 2, 3}, ec);
       }},
      {"temperature at 13 bits",
       [&](auto& ec) { brick::TemperatureSensor(b, brick::Input::S4).resolution(13, ec); }},
      {"gyro with no samples",
       [&](auto& ec) { brick::Gyro(b, brick::Input::S2).calibrate(0, ec); }},
      {"gyro offset over 1023",
       [&](auto& ec) { brick::Gyro(b, brick::Input::S2).setOffset(1024, ec); }},
      {"negative power-up", [&](auto& ec) { brick::Compass(b, brick::Input::S2).setUp(-1ms, ec); }},
      {"sampling every 0 ms", [&](auto& ec) { sampler.run(0ms, 3, csv, {}, ec); }},
      {"-1 rows", [&](auto& ec) { sampler.run(10ms, -1, csv, {}, ec); }},
  };
  for (const Case& c : cases) {
    clearWire();
    std::error_code ec;
    c.call(ec);
    EXPECT_EQ(ec, Errc::bad_value) << c.what;
    EXPECT_EQ(wire(), Strings{}) << c.what;
  }
  // By name: the module is looked up, but its map is not read.
  clearWire();
  std::error_code ec;
  EXPECT_TRUE(maps.read("Ui.mod", ui.ioMapSize, 1, ec).empty());
  EXPECT_EQ(ec, Errc::bad_value);
  for (const std::string& t : wire()) {
    EXPECT_NE(t.substr(0, 5), "01 94") << "no READ IO MAP";
  }
  EXPECT_EQ(csv.str(), "");
  b.close();
  clearWire();
  brick::Compass(b, brick::Input::S2).degrees(ec);
  EXPECT_EQ(ec, Errc::not_open);
  brick::Screen(b).capture(ec);
  EXPECT_EQ(ec, Errc::not_open);
  EXPECT_EQ(wire(), Strings{});
}

// A byte written into the display's map reads back by name and by id; modules are found by
// pattern with their sizes; a module that is not there is Errc::no_module.
TEST_F(ApiDevices, IoMapRoundTrip) {
  fit(kFitted);
  brick::Brick b = open();
  brick::IoMap maps(b);
  namespace M = Nxt::IoMaps;
  std::vector<brick::Module> all = maps.find();
  ASSERT_EQ(all.size(), M::kModuleCount);
  std::vector<brick::Module> display = maps.find("display.*");
  ASSERT_EQ(display.size(), 1u);
  EXPECT_EQ(display[0].name, "Display.mod");
  EXPECT_EQ(display[0].id, M::kDisplayId);
  EXPECT_EQ(display[0].ioMapSize, 1720);
  const std::size_t at = M::Display::kNormal + 700;
  clearWire();
  maps.write(display[0], at, {0xFF, 0x81});
  EXPECT_EQ(wire(), Strings{"01 95 01 00 0A 00 " +
                            test::hex(Sim::Bytes{static_cast<std::uint8_t>(at & 0xFF),
                                                 static_cast<std::uint8_t>(at >> 8)}) +
                            " 02 00 FF 81"});
  EXPECT_EQ(maps.read("display", at, 2), (std::vector<std::uint8_t>{0xFF, 0x81}));
  // The map's last byte is within it; the one after it was refused before sending.
  EXPECT_EQ(maps.read(display[0], display[0].ioMapSize - 1, 1).size(), 1u);
  EXPECT_EQ(maps.read(maps.module(M::kDisplayId), at, 2), (std::vector<std::uint8_t>{0xFF, 0x81}));
  std::error_code ec;
  maps.module("Nothing", ec);
  EXPECT_EQ(ec, brick::Errc::no_module);
  EXPECT_EQ(ec.message(), "module not found");
  EXPECT_THROW(maps.write("Nothing.mod", 0, {1}), brick::Error);
}

// The menu draws the brick's name on the top line: the capture shows it pixel for pixel, and
// its PNG decodes to the same pixels.
TEST_F(ApiDevices, ScreenShowsTheBricksName) {
  sim.name = "Screen";
  brick::Brick b = open();
  brick::Picture picture = brick::Screen(b).capture();
  EXPECT_FALSE(picture.popup());
  std::uint8_t expected[800] = {};
  Sim::BrickScreen::text(expected, 0, Sim::BrickScreen::centred("Screen"), "Screen");
  int dark = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < brick::Picture::width(); ++x) {
      EXPECT_EQ(picture.pixel(x, y), Nxt::IoMaps::Display::pixel(expected, x, y)) << x << "," << y;
      dark += picture.pixel(x, y) ? 1 : 0;
    }
  }
  EXPECT_GT(dark, 20);
  EXPECT_FALSE(picture.pixel(100, 0));
  EXPECT_FALSE(picture.pixel(0, -1));
  EXPECT_EQ(picture.png(0), "");
#ifdef BRICK_TEST_PNG
  for (int scale : {1, 3}) {
    std::string file = picture.png(scale);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()))
        << image.message;
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) << image.message;
    ASSERT_EQ(image.width, 100u * scale);
    ASSERT_EQ(image.height, 64u * scale);
    int differ = 0;
    for (int y = 0; y < 64 * scale; ++y) {
      for (int x = 0; x < 100 * scale; ++x) {
        bool black = grey[static_cast<std::size_t>(y) * image.width + x] == 0;
        differ += black != picture.pixel(x / scale, y / scale) ? 1 : 0;
      }
    }
    EXPECT_EQ(differ, 0) << scale;
  }
#endif
}

// Each button is one WRITE IO MAP into the UI module's map, which the menu takes as a press.
TEST_F(ApiDevices, ButtonPressesOnTheWire) {
  brick::Brick b = open();
  brick::Buttons buttons(b);
  struct Case {
    brick::Button button;
    std::string telegram;
  };
  const Case cases[] = {
      {brick::Button::Left, "01 95 01 00 0C 00 1C 00 01 00 01"},
      {brick::Button::Enter, "01 95 01 00 0C 00 1C 00 01 00 02"},
      {brick::Button::Right, "01 95 01 00 0C 00 1C 00 01 00 03"},
      {brick::Button::Exit, "01 95 01 00 0C 00 1C 00 01 00 04"},
  };
  for (const Case& c : cases) {
    clearWire();
    buttons.press(c.button);
    EXPECT_EQ(wire(), Strings{c.telegram});
  }
  EXPECT_EQ(sim.ioMaps.presses().size(), 4u);
  std::error_code ec;
  buttons.press(static_cast<brick::Button>(7), ec);
  EXPECT_EQ(ec, brick::Errc::bad_value);
}

// The sampler: inputs and motors in one batch, the program's readings after, the header first
// and a row a tick; a reading that throws ends the sample with its code.
TEST_F(ApiDevices, SamplerRows) {
  fit(kFitted);
  brick::Brick b = open();
  b.lightSensor(brick::Input::S3);
  brick::Compass compass(b, brick::Input::S2);
  compass.setUp(0ms);
  brick::Sampler sampler(b);
  sampler.add(brick::Port::B);
  sampler.add(brick::Input::S3);
  sampler.add("heading", [&] { return double(compass.degrees()); });
  EXPECT_EQ(sampler.header(), "time_ms,motorB,port3,heading\n");
  EXPECT_EQ(sampler.names(), (Strings{"motorB", "port3", "heading"}));
  clearWire();
  std::vector<double> values = sampler.sample();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[2], 60);
  Strings first = wire();
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(Strings(first.begin(), first.begin() + 2), (Strings{"00 06 01", "00 07 02"}))
      << "the batch first";
  std::ostringstream csv;
  sampler.run(1ms, 3, csv);
  std::istringstream lines(csv.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "time_ms,motorB,port3,heading");
  int rows = 0;
  while (std::getline(lines, line)) {
    ++rows;
    EXPECT_NE(line.find(",0," + std::to_string(int(values[1])) + ",60"), std::string::npos) << line;
  }
  EXPECT_EQ(rows, 3);
  // A reading that fails: its code, in both forms; the run stops at the row.
  sampler.add("broken", []() -> double { throw brick::Error(brick::Errc::timeout, "mine"); });
  std::error_code ec;
  EXPECT_TRUE(sampler.sample(ec).empty());
  EXPECT_EQ(ec, brick::Errc::timeout);
  std::ostringstream stopped;
  EXPECT_THROW(sampler.run(1ms, 2, stopped), brick::Error);
  EXPECT_EQ(stopped.str(), "time_ms,motorB,port3,heading,broken\n");
  // The stop predicate ends a run early, without error.
  brick::Sampler quick(b);
  quick.add(brick::Port::A);
  std::ostringstream two;
  int asked = 0;
  quick.run(
      1ms, 10, two, [&] { return ++asked > 2; }, ec);
  EXPECT_FALSE(ec);
  std::string written = two.str();
  EXPECT_LE(std::count(written.begin(), written.end(), '\n'), 3);
}
