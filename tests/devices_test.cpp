// The typed sensor drivers against the virtual robot's devices: what each sends on the wire to
// identify its device and read it (in hex), the values the world implies, a wrong device
// refused by name, and the world lines that fit the devices.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BrickFixture.h"
#include "DeviceWorlds.h"
#include "brick/ColorSensor.h"
#include "brick/HtAccelerometer.h"
#include "brick/HtColorSensor.h"
#include "brick/HtCompass.h"
#include "brick/HtGyro.h"
#include "brick/HtIrSeeker.h"
#include "brick/Output.h"
#include "brick/Sampler.h"
#include "brick/TemperatureSensor.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/World.h"

namespace L = Brick::Lib;
using Strings = std::vector<std::string>;

namespace {

using test::kFitted;
using test::kOthers;

// The robot and its devices around the fixture's virtual brick, on a stepped clock.
class Devices : public test::FittedRobot {
 protected:
  template <typename Driver>
  void ready(Driver& driver) {
    driver.settleMs = 0;
    ASSERT_EQ(driver.setUp(), L::kBrickOk);
  }
};

// LSWRITE of a read: port, 2 bytes out, `rx` back, address and register.
std::string lsRead(int port, int rx, int address, int reg) {
  char text[40];
  std::snprintf(text, sizeof text, "00 0F %02X 02 %02X %02X %02X", port, rx, address, reg);
  return text;
}
const std::string kLsRead[4] = {"00 10 00", "00 10 01", "00 10 02", "00 10 03"};

}  // namespace

// Each driver identifies its device (maker at 0x08, type at 0x10) before its first reading,
// once, then reads its registers in one transaction; the temperature sensor has no
// identification and is asked for its configuration instead.
TEST_F(Devices, IdentifyThenReadOnTheWire) {
  fit(kFitted);
  struct Case {
    const char* what;
    std::function<long(std::string&)> read;  // sets up, reads twice, says what it got
    Strings wire;
    std::string value;
  };
  auto twice = [](auto& /*driver*/, auto once) {
    std::string first;
    std::string second;
    long code = once(first);
    if (code == L::kBrickOk) {
      code = once(second);
    }
    return code == L::kBrickOk && first == second ? first : "differs: " + first + " " + second;
  };
  const Case cases[] = {
      {"compass, port 2",
       [&](std::string& v) {
         L::HtCompass d(block, 1);
         ready(d);
         v = twice(d, [&](std::string& s) {
           int h = 0;
           long c = d.heading(h);
           s = std::to_string(h);
           return c;
         });
         return L::kBrickOk;
       },
       {"80 05 01 0B 00", lsRead(1, 8, 2, 8), kLsRead[1], kLsRead[1], lsRead(1, 8, 2, 0x10),
        kLsRead[1], kLsRead[1], lsRead(1, 2, 2, 0x42), kLsRead[1], lsRead(1, 2, 2, 0x42),
        kLsRead[1]},
       "60"},
      {"IR seeker, port 1, address 0x10",
       [&](std::string& v) {
         L::HtIrSeeker d(block, 0);
         ready(d);
         v = twice(d, [&](std::string& s) {
           L::HtIrSeeker::Reading r;
           long c = d.readAc(r);
           s = std::to_string(r.direction);
           for (int x : r.strength) {
             s += " " + std::to_string(x);
           }
           return c;
         });
         return L::kBrickOk;
       },
       {"80 05 00 0B 00", lsRead(0, 8, 0x10, 8), kLsRead[0], kLsRead[0], lsRead(0, 8, 0x10, 0x10),
        kLsRead[0], kLsRead[0], lsRead(0, 6, 0x10, 0x49), kLsRead[0], lsRead(0, 6, 0x10, 0x49),
        kLsRead[0]},
       // 94 cm away, 30 degrees right: zone 6, detectors 3 and 4 (0 and 60 degrees) alike.
       "6 0 0 31 31 0"},
      {"accelerometer, port 3",
       [&](std::string& v) {
         L::HtAccelerometer d(block, 2);
         ready(d);
         v = twice(d, [&](std::string& s) {
           L::HtAccelerometer::Axes a;
           long c = d.read(a);
           s = std::to_string(a.x) + " " + std::to_string(a.y) + " " + std::to_string(a.z);
           return c;
         });
         return L::kBrickOk;
       },
       {"80 05 02 0B 00", lsRead(2, 8, 2, 8), kLsRead[2], kLsRead[2], lsRead(2, 8, 2, 0x10),
        kLsRead[2], kLsRead[2], lsRead(2, 6, 2, 0x42), kLsRead[2], lsRead(2, 6, 2, 0x42),
        kLsRead[2]},
       "0 0 200"},
      {"temperature, port 4, address 0x98",
       [&](std::string& v) {
         L::TemperatureSensor d(block, 3);
         ready(d);
         v = twice(d, [&](std::string& s) {
           double t = 0;
           long c = d.celsius(t);
           s = std::to_string(t);
           return c;
         });
         return L::kBrickOk;
       },
       {"80 05 03 0B 00", lsRead(3, 1, 0x98, 1), kLsRead[3], lsRead(3, 2, 0x98, 0), kLsRead[3],
        lsRead(3, 2, 0x98, 0), kLsRead[3]},
       "23.500000"},
  };
  // The mode goes without a reply (0x80); an identification read of 8 bytes is not there at
  // the first LSREAD, which answers "pending" and is asked again alone.
  for (const Case& c : cases) {
    clearWire();
    std::string value;
    EXPECT_EQ(c.read(value), L::kBrickOk) << c.what;
    EXPECT_EQ(transactions(), c.wire) << c.what;
    EXPECT_EQ(value, c.value) << c.what;
  }
}

// The bytes that come back: identification texts as the devices pad them, and the compass's
// heading in its two registers.
TEST_F(Devices, RegistersComeBackAsTheDevicesHoldThem) {
  fit(kFitted);
  sim.inputs[1].type = sim.inputs[0].type = sim.inputs[3].type = 0x0B;
  struct Case {
    const char* what;
    std::string write;
    std::string data;  // the LSREAD reply
  };
  const Case cases[] = {
      {"compass maker", "00 0F 01 02 08 02 08",
       "02 10 00 08 48 69 54 65 63 68 6E 63 00 00 00 00 00 00 00 00"},
      {"compass type, a space at its end", "00 0F 01 02 08 02 10",
       "02 10 00 08 43 6F 6D 70 61 73 73 20 00 00 00 00 00 00 00 00"},
      {"heading 60: 2 x 30 + 0, then as a word", "00 0F 01 02 04 02 42",
       "02 10 00 04 1E 00 3C 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {"IR seeker type at 0x10", "00 0F 00 02 08 10 10",
       "02 10 00 08 4E 65 77 49 52 44 69 72 00 00 00 00 00 00 00 00"},
      {"nobody at 0x02 on the IR seeker's port", "00 0F 00 02 08 02 10", "02 10 DD"},
      {"23.5 degrees, 9 bits, big-endian", "00 0F 03 02 02 98 00",
       "02 10 00 02 17 80 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    sim.answer(test::hex(c.write));
    sim.answer(test::hex("00 0E " + c.write.substr(6, 2)));
    Sim::Bytes reply = sim.answer(test::hex("00 10 " + c.write.substr(6, 2)));
    std::string got = test::hex(reply);
    EXPECT_EQ(got.substr(0, c.data.size()), c.data) << c.what;
  }
}

// A driver refuses another device, and says which one answered.
TEST_F(Devices, WrongDeviceRefusedByName) {
  fit(kFitted);
  struct Case {
    std::function<std::unique_ptr<L::DigitalSensor>()> make;
    long code;
    const char* problem;
  };
  const Case cases[] = {
      {[&] { return std::make_unique<L::HtAccelerometer>(block, 1); }, L::kBrickWrongDevice,
       "port 2 holds a HiTechnc Compass, not a HiTechnic accelerometer"},
      {[&] { return std::make_unique<L::HtCompass>(block, 0); }, L::kBrickWrongDevice,
       "port 1 holds a HiTechnc NewIRDir, not a HiTechnic compass"},
      {[&] { return std::make_unique<L::HtColorSensor>(block, 3); }, L::kBrickWrongDevice,
       "port 4 holds a LEGO temperature sensor, not a HiTechnic colour sensor V2"},
      {[&] { return std::make_unique<L::TemperatureSensor>(block, 2); }, L::kBrickWrongDevice,
       "port 3 holds a HiTechnc Accel., not a LEGO temperature sensor"},
      {[&] { return std::make_unique<L::HtIrSeeker>(block, 1); }, L::kBrickWrongDevice,
       "port 2 holds a HiTechnc Compass, not a HiTechnic IR seeker V2"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<L::DigitalSensor> driver = c.make();
    driver->settleMs = 0;
    ASSERT_EQ(driver->setUp(), L::kBrickOk);
    EXPECT_EQ(driver->check(), c.code) << c.problem;
    EXPECT_EQ(driver->problem(), c.problem);
  }
  // A port with only an ultrasonic sensor on it names it too.
  fit("arena 300 200\nrobot 50 100 0\n");
  L::HtCompass compass(block, 0);
  ready(compass);
  int heading = -1;
  EXPECT_EQ(compass.heading(heading), L::kBrickWrongDevice);
  EXPECT_EQ(compass.problem(), "port 1 holds a LEGO Sonar, not a HiTechnic compass");
  EXPECT_EQ(heading, -1);
}

// What the world implies: the compass follows the robot round (within 2 degrees), the IR
// seeker's zone points at the beacon wherever it is, the accelerometer feels the start, the
// temperature sensor reads the room at each resolution, the gyro the turn with its drift, and
// the colour sensors the mat.
TEST_F(Devices, ReadingsFollowTheWorld) {
  fit(kFitted);
  L::HtCompass compass(block, 1);
  ready(compass);
  L::Output left(block, 1);
  L::Output right(block, 2);
  for (int turn = 0; turn < 6; ++turn) {
    // Spin on the spot for a while, then stand and read.
    ASSERT_EQ(left.setState(40, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
    ASSERT_EQ(right.setState(-40, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
    clock.step(0.3 + 0.1 * turn);
    ASSERT_EQ(left.stop(), L::kBrickOk);
    ASSERT_EQ(right.stop(), L::kBrickOk);
    int heading = 0;
    ASSERT_EQ(compass.heading(heading), L::kBrickOk);
    double expected = std::fmod(450 - robot->pose().heading, 360.0);
    EXPECT_LE(std::fabs(std::remainder(heading - expected, 360.0)), 2.0) << heading;
  }

  struct Beacon {
    double bearing;  // clockwise from the robot's heading
    int zone;
  };
  const Beacon beacons[] = {{0, 5},    {-31, 4}, {29, 6},  {-60, 3}, {90, 8},
                            {-118, 1}, {119, 9}, {150, 0}, {-170, 0}};
  for (const Beacon& b : beacons) {
    std::string text = kFitted;
    double heading = 30 - b.bearing;
    const double kPi = 3.14159265358979323846;
    std::ostringstream line;
    line << "beacon " << 50 + 7 * std::cos(kPi / 6) + 80 * std::cos(heading * kPi / 180) << " "
         << 100 + 7 * std::sin(kPi / 6) + 80 * std::sin(heading * kPi / 180) << "\n";
    fit(text.replace(text.find("beacon"), text.find("temperature 23") - text.find("beacon"),
                     line.str()));
    L::HtIrSeeker seeker(block, 0);
    ready(seeker);
    L::HtIrSeeker::Reading r;
    ASSERT_EQ(seeker.readDc(r), L::kBrickOk);
    EXPECT_EQ(r.direction, b.zone) << b.bearing;
  }

  fit(kFitted);
  L::HtAccelerometer accel(block, 2);
  ready(accel);
  L::HtAccelerometer::Axes still;
  ASSERT_EQ(accel.read(still), L::kBrickOk);
  EXPECT_EQ(still.x, 0);
  EXPECT_EQ(still.z, 200);
  L::Output both(block, 1);
  ASSERT_EQ(both.setState(80, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
  ASSERT_EQ(L::Output(block, 2).setState(80, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
  L::HtAccelerometer::Axes starting;
  ASSERT_EQ(accel.read(starting), L::kBrickOk);
  EXPECT_GT(starting.x, 20) << "pushed forward as it sets off";

  L::TemperatureSensor thermometer(block, 3);
  ready(thermometer);
  const int bits[] = {9, 12};
  for (int b : bits) {
    ASSERT_EQ(thermometer.setResolution(b), L::kBrickOk);
    double celsius = 0;
    ASSERT_EQ(thermometer.celsius(celsius), L::kBrickOk);
    EXPECT_DOUBLE_EQ(celsius, 23.5) << b;
  }

  fit(kOthers);
  L::HtColorSensor colour(block, 0);
  ready(colour);
  L::HtColorSensor::Reading c;
  ASSERT_EQ(colour.read(c), L::kBrickOk);
  EXPECT_EQ(c.number, 8) << "red";
  EXPECT_EQ(c.normalizedRed, 255);
  // The brick maker's colour sensor on the same mat, in full mode and under its red and blue lamps.
  L::ColorSensor lego(block, 2);
  ASSERT_EQ(lego.setUp(L::ColorSensor::Mode::Full), L::kBrickOk);
  int number = 0;
  ASSERT_EQ(lego.read(number), L::kBrickOk);
  EXPECT_EQ(number, 5) << "red";
  ASSERT_EQ(lego.setUp(L::ColorSensor::Mode::Red), L::kBrickOk);
  int red = 0;
  ASSERT_EQ(lego.read(red), L::kBrickOk);
  ASSERT_EQ(lego.setUp(L::ColorSensor::Mode::Blue), L::kBrickOk);
  int blue = 0;
  ASSERT_EQ(lego.read(blue), L::kBrickOk);
  EXPECT_NE(red, blue) << "a red mat reflects its lamps differently";

  L::HtGyro gyro(block, 1);
  ASSERT_EQ(gyro.setUp(), L::kBrickOk);
  int raw = 0;
  ASSERT_EQ(gyro.raw(raw), L::kBrickOk);
  EXPECT_EQ(raw, 612);
  ASSERT_EQ(gyro.calibrate(4), L::kBrickOk);
  EXPECT_EQ(gyro.offset, 612);
  clock.step(60);
  ASSERT_EQ(gyro.raw(raw), L::kBrickOk);
  EXPECT_EQ(raw, 618) << "drifted 6 counts in a minute";
  // Turning clockwise (left wheel forward) raises it by about the turn rate.
  ASSERT_EQ(L::Output(block, 1).setState(50, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
  clock.step(1);
  int rate = 0;
  gyro.offset = 618;
  ASSERT_EQ(gyro.rate(rate), L::kBrickOk);
  // 500 degrees a second at the wheel, 2.8 cm radius, 12 cm track: 116.7 degrees a second.
  EXPECT_NEAR(rate, 117, 2);
}

// Commands written to the devices: the compass holds its heading while it calibrates, the
// colour sensor gives 16-bit levels in passive mode, the IR seeker keeps its band.
TEST_F(Devices, CommandsReachTheRegisters) {
  fit(kFitted);
  L::HtCompass compass(block, 1);
  ready(compass);
  clearWire();
  ASSERT_EQ(compass.startCalibration(), L::kBrickOk);
  ASSERT_EQ(L::Output(block, 1).setState(40, 0x01, 0, 0, 0x20, 0), L::kBrickOk);
  clock.step(0.5);
  int heading = 0;
  ASSERT_EQ(compass.heading(heading), L::kBrickOk);
  EXPECT_EQ(heading, 60) << "held while calibrating";
  bool failed = true;
  ASSERT_EQ(compass.endCalibration(failed), L::kBrickOk);
  EXPECT_FALSE(failed);
  ASSERT_EQ(compass.heading(heading), L::kBrickOk);
  EXPECT_NE(heading, 60) << "measuring again";
  Strings writes;
  for (const std::string& t : transactions()) {
    if (t.rfind("00 0F 01 03", 0) == 0) {
      writes.push_back(t);
    }
  }
  EXPECT_EQ(writes, (Strings{"00 0F 01 03 00 02 41 43", "00 0F 01 03 00 02 41 00"}));

  L::HtIrSeeker seeker(block, 0);
  ready(seeker);
  ASSERT_EQ(seeker.setBand(L::HtIrSeeker::Band::Hz600), L::kBrickOk);
  std::vector<std::uint8_t> band;
  ASSERT_EQ(L::I2cDevice(block, 0, 0x10).read(0x41, 1, band), L::kBrickOk);
  EXPECT_EQ(band, (std::vector<std::uint8_t>{1}));

  fit(kOthers);
  L::HtColorSensor colour(block, 0);
  ready(colour);
  ASSERT_EQ(colour.setMode(L::HtColorSensor::Mode::Passive), L::kBrickOk);
  L::HtColorSensor::Levels levels;
  ASSERT_EQ(colour.readLevels(levels), L::kBrickOk);
  EXPECT_EQ(levels.red, 205 * 4);
  EXPECT_EQ(levels.green, 45 * 4);
}

// The sampler's rows: one per tick, every channel in order, the header first.
TEST_F(Devices, SamplerWritesItsRows) {
  fit(kFitted);
  L::Sampler sampler(block);
  sampler.addMotor(1);
  sampler.addInput(0);
  sampler.add("seven", [](double& v) {
    v = 7.25;
    return L::kBrickOk;
  });
  std::ostringstream csv;
  ASSERT_EQ(sampler.run(1, 3, csv), L::kBrickOk);
  std::istringstream lines(csv.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "time_ms,motorB,port1,seven");
  int rows = 0;
  while (std::getline(lines, line)) {
    ++rows;
    EXPECT_NE(line.find(",0,0,7.25"), std::string::npos) << line;
  }
  EXPECT_EQ(rows, 3);
}

// The world lines that fit devices, and their limits.
TEST(DeviceWorld, LinesAndLimits) {
  struct Case {
    const char* line;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {"device 2 compass", ""},
      {"device 1 gyro 620 -3.5", ""},
      {"beacon 10 20", ""},
      {"temperature -40", ""},
      {"device 0 compass", "line 3: device PORT KIND: port 1 to 4"},
      {"device 5 compass", "line 3: device PORT KIND: port 1 to 4"},
      {"device 1 radar",
       "line 3: device kinds: ultrasonic, compass, accelerometer, ir-seeker, "
       "color-v2, temperature, gyro"},
      {"device 1 compass 3", "line 3: device PORT compass"},
      {"device 1 gyro 1024", "line 3: a gyro's OFFSET runs from 0 to 1023"},
      {"device 1 gyro 600 61", "line 3: a gyro's DRIFT runs from -60 to 60 counts a minute"},
      {"device 1 compass\ndevice 1 gyro", "line 4: port 1 has a device already"},
      {"beacon 10", "line 3: beacon X Y"},
      {"temperature 126", "line 3: temperature CELSIUS, -40 to 125"},
      {"temperature -41", "line 3: temperature CELSIUS, -40 to 125"},
  };
  for (const Case& c : cases) {
    Sim::World world;
    std::string error;
    bool ok = Sim::World::parse(std::string("arena 100 100\nrobot 50 50 0\n") + c.line + "\n",
                                world, error);
    EXPECT_EQ(ok, c.error[0] == '\0') << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
}
