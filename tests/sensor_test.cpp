// Sensor on the wire: the kind table, SETINPUTMODE and GETINPUTVALUES for every kind, the
// ultrasonic exchange on the low-speed bus and its time bound, the switches, and what a
// Sensor does before it is attached or when the brick stays silent.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <map>
#include <string>
#include <type_traits>
#include <utility>

#include "BrickFixture.h"

using Brick::Lib::Sensor;
using test::MemoryBrick;
using test::PtyBrick;
using Strings = std::vector<std::string>;
namespace L = Brick::Lib;

namespace {

struct OpenSensor : Sensor {
  using Sensor::getSensorMapping;
  using Sensor::setCommunication;
  using Sensor::setPort;
};

template <typename T, typename = void>
struct PublicMapping : std::false_type {};
template <typename T>
struct PublicMapping<T, std::void_t<decltype(std::declval<T&>().getSensorMapping(0))>>
    : std::true_type {};
static_assert(!PublicMapping<Sensor>::value && PublicMapping<OpenSensor>::value,
              "getSensorMapping is for Sensor and what derives from it");

// Kind code, then the type and mode bytes a brick is to be configured with.
struct KindBytes {
  int kind;
  const char* typeMode;
};
const KindBytes kTable[] = {
    {800, "05 80"}, {801, "06 80"}, {802, "01 20"}, {803, "07 80"}, {804, "08 80"}, {805, "0B 00"},
    {806, "0D 80"}, {807, "0E 80"}, {808, "0F 80"}, {809, "10 80"}, {810, "11 80"},
};
static_assert(L::SENSOR_LIGHT_ACTIVE == 800 && L::SENSOR_LIGHT_INACTIVE == 801 &&
                  L::SENSOR_TOUCH == 802 && L::SENSOR_SOUND_DB == 803 &&
                  L::SENSOR_SOUND_DBA == 804 && L::SENSOR_ULTRASONIC == 805 &&
                  L::SENSOR_COLOR_FULL == 806 && L::SENSOR_COLOR_RED == 807 &&
                  L::SENSOR_COLOR_GREEN == 808 && L::SENSOR_COLOR_BLUE == 809 &&
                  L::SENSOR_COLOR_NONE == 810,
              "the kind codes hosts and Prolog programs pass");

const char* kDistanceRequest3 = "00 0F 03 02 01 02 42";
const char* kStatus3 = "00 0E 03";
const char* kRead3 = "00 10 03";

}  // namespace

TEST(Sensor, MappingTableAndCopies) {
  OpenSensor sensor;
  for (const KindBytes& row : kTable) {
    Sim::Bytes bytes = test::hex(row.typeMode);
    EXPECT_EQ(sensor.getSensorMapping(row.kind), (std::map<int, int>{{bytes[0], bytes[1]}}))
        << row.kind;
  }
  EXPECT_EQ(sensor.getSensorMapping(805), (std::map<int, int>{{11, 0}}));
  for (int unknown : {-1, 0, 799, 811, INT_MIN}) {
    EXPECT_TRUE(sensor.getSensorMapping(unknown).empty()) << unknown;
  }
  // Copies carry their own table and the kind.
  sensor.setSensorType(L::SENSOR_SOUND_DBA);
  OpenSensor copy(sensor);
  OpenSensor assigned;
  OpenSensor& alias = assigned;
  EXPECT_EQ(&(assigned = sensor), &assigned);
  assigned = alias;
  EXPECT_EQ(copy.getSensorType(), L::SENSOR_SOUND_DBA);
  EXPECT_EQ(assigned.getSensorType(), L::SENSOR_SOUND_DBA);
  EXPECT_EQ(assigned.getSensorMapping(805), (std::map<int, int>{{11, 0}}));
  EXPECT_EQ(copy.getSensorMapping(802), (std::map<int, int>{{1, 0x20}}));
}

TEST_F(MemoryBrick, UnattachedSensorOnlyStoresItsKind) {
  Sensor sensor;
  EXPECT_EQ(sensor.getSensorType(), -1);
  EXPECT_EQ(sensor.getValue(), -1);  // no kind
  EXPECT_EQ(sensor.setSensorType(801), 1);
  EXPECT_EQ(sensor.getSensorType(), 801);
  EXPECT_EQ(sensor.setSensorType(799), -1);
  EXPECT_EQ(sensor.setSensorType(811), -1);
  EXPECT_EQ(sensor.getSensorType(), 801);
  sensor.enableLight();
  EXPECT_EQ(sensor.getSensorType(), 800);
  sensor.changeColor(L::SENSOR_COLOR_BLUE);
  EXPECT_EQ(sensor.getSensorType(), 809);
  for (const KindBytes& row : kTable) {
    sensor.setSensorType(row.kind);
    EXPECT_EQ(sensor.getValue(), -1) << row.kind;  // no link: nothing to read
  }
  EXPECT_EQ(sensor.LSGetStatus(), -1);
  sensor.enableSonar();
  sensor.disableSonar();
  sensor.setLogLevel(2);
  EXPECT_TRUE(sim.received().empty());
}

TEST_F(MemoryBrick, SetInputModeForEveryKind) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  EXPECT_EQ(block.setSensor(&sensor, 3), 2);
  Strings expected{"00 05 03 0B 00"};
  for (const KindBytes& row : kTable) {
    EXPECT_EQ(sensor.setSensorType(row.kind), 2);
    expected.push_back(std::string("00 05 03 ") + row.typeMode);
  }
  EXPECT_EQ(sensor.setSensorType(811), -1);  // nothing sent
  EXPECT_EQ(wire(), expected);
  EXPECT_EQ(refused(), Strings{});
  EXPECT_EQ(sim.inputs[3].type, 0x11);
  EXPECT_EQ(sim.inputs[3].mode, 0x80);

  Sensor touch;
  touch.setSensorType(L::SENSOR_TOUCH);
  clearWire();
  EXPECT_EQ(block.setSensor(&touch, 0), 2);
  EXPECT_EQ(wire(), Strings{"00 05 00 01 20"});
}

TEST_F(MemoryBrick, LightAndColourSwitches) {
  Sensor light, colour;
  light.setSensorType(L::SENSOR_LIGHT_ACTIVE);
  colour.setSensorType(L::SENSOR_LIGHT_ACTIVE);
  block.setSensor(&light, 1);
  block.setSensor(&colour, 2);
  clearWire();

  light.enableLight();  // already on
  light.disableLight();
  EXPECT_EQ(light.getSensorType(), 801);
  light.disableLight();  // already off
  light.enableLight();
  EXPECT_EQ(light.getSensorType(), 800);
  colour.changeColor(L::SENSOR_ULTRASONIC);  // not a colour kind
  colour.changeColor(811);
  colour.changeColor(L::SENSOR_COLOR_RED);
  EXPECT_EQ(colour.getSensorType(), 807);
  colour.changeColor(L::SENSOR_COLOR_RED);  // already red
  colour.enableLight();                     // not a light kind
  colour.disableLight();
  colour.changeColor(L::SENSOR_COLOR_NONE);
  EXPECT_EQ(wire(),
            (Strings{"00 05 01 06 80", "00 05 01 05 80", "00 05 02 0E 80", "00 05 02 11 80"}));
}

TEST_F(MemoryBrick, ReadingsForEveryKind) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_TOUCH);
  block.setSensor(&sensor, 2);
  struct Case {
    int kind;
    int scaled;
  };
  // Values a brick gives in the kind's mode: 0 or 1 for touch, 0 to 100 in percent mode,
  // 1 to 6 for a colour number.
  const Case cases[] = {{802, 1},   {802, 0}, {800, 45}, {801, 100}, {803, 73}, {804, 0},
                        {804, 100}, {806, 6}, {807, 12}, {808, 55},  {809, 99}, {810, 3}};
  for (const Case& c : cases) {
    sensor.setSensorType(c.kind);
    sim.scriptScaled(2, {c.scaled});
    clearWire();
    // The sound kinds give the reading itself, not 65536 minus it.
    EXPECT_EQ(sensor.getValue(), c.scaled) << c.kind;
    EXPECT_EQ(wire(), Strings{"00 07 02"}) << c.kind;
  }
  EXPECT_EQ(refused(), Strings{});
}

TEST_F(MemoryBrick, SilentBrickReadsThePrefill) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 3);
  silent = true;
  for (const KindBytes& row : kTable) {
    sensor.setSensorType(row.kind);
    clearWire();
    int value = sensor.getValue();
    if (row.kind == L::SENSOR_TOUCH || row.kind == L::SENSOR_ULTRASONIC) {
      EXPECT_EQ(value, 1) << row.kind;
    } else {
      EXPECT_EQ(value, 257) << row.kind;
    }
  }
  // The pre-filled status byte reads as one byte ready: exactly one pass.
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  clearWire();
  EXPECT_EQ(sensor.getValue(), 1);
  EXPECT_EQ(wire(), (Strings{kDistanceRequest3, kStatus3, kRead3}));
  EXPECT_EQ(sensor.LSGetStatus(), 1);
}

TEST_F(MemoryBrick, UltrasonicPassesUntilBytesAreReady) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 3);
  sim.ultrasonic[3].distance = 42;

  clearWire();
  sim.scriptLsStatus(3, {0, 0, 1});
  EXPECT_EQ(sensor.getValue(), 42);
  const Strings threePasses{
      kDistanceRequest3, kStatus3, kDistanceRequest3, kStatus3, kDistanceRequest3,
      kStatus3,          kRead3};
  EXPECT_EQ(wire(), threePasses);

  // The same from a bus transaction that takes two polls: the requests sent while it runs are
  // refused as busy, and the read comes once a poll sees it done.
  sim.ultrasonicLatencyPolls = 2;
  sim.ultrasonic[3].distance = 7;
  clearWire();
  EXPECT_EQ(sensor.getValue(), 7);
  EXPECT_EQ(wire(), threePasses);
  EXPECT_EQ(refused(), (Strings{"00 0E 03 -> 02 0E 20 00", "00 0F 03 02 01 02 42 -> 02 0F E0",
                                "00 0E 03 -> 02 0E 20 00", "00 0F 03 02 01 02 42 -> 02 0F E0"}));

  sim.ultrasonicLatencyPolls = 0;
  sim.ultrasonic[3].distance = 255;  // no echo
  EXPECT_EQ(sensor.getValue(), 255);
}

TEST_F(MemoryBrick, SonarSwitchesAndBusStatus) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 0);
  clearWire();
  sensor.disableSonar();
  EXPECT_FALSE(sim.ultrasonic[0].measuring);
  sensor.enableSonar();
  EXPECT_TRUE(sim.ultrasonic[0].measuring);
  sim.scriptLsStatus(0, {255});
  EXPECT_EQ(sensor.LSGetStatus(), 255);  // unsigned, not -1
  EXPECT_EQ(sensor.LSGetStatus(), 0);    // a write-only transaction leaves nothing to read
  EXPECT_EQ(wire(), (Strings{"00 0F 00 03 00 02 41 00", "00 0F 00 03 00 02 41 02", "00 0E 00",
                             "00 0E 00"}));
  EXPECT_EQ(refused(), Strings{});

  // They are sent whatever the kind; a brick refuses them on a port not set for the bus.
  sensor.setSensorType(L::SENSOR_TOUCH);
  clearWire();
  sensor.enableSonar();
  EXPECT_EQ(wire(), Strings{"00 0F 00 03 00 02 41 02"});
}

TEST_F(MemoryBrick, CopiesReadTheSamePort) {
  Sensor original;
  original.setSensorType(L::SENSOR_SOUND_DB);
  block.setSensor(&original, 2);
  Sensor copy(original);
  Sensor assigned;
  assigned = original;
  Sensor overwritten;
  overwritten.setSensorType(L::SENSOR_TOUCH);
  block.setSensor(&overwritten, 1);
  overwritten = Sensor();  // kind, port and link all go
  clearWire();
  sim.scriptScaled(2, {10, 20});
  EXPECT_EQ(copy.getValue(), 10);
  EXPECT_EQ(assigned.getValue(), 20);
  EXPECT_EQ(overwritten.getValue(), -1);
  EXPECT_EQ(overwritten.getSensorType(), -1);
  EXPECT_EQ(wire(), (Strings{"00 07 02", "00 07 02"}));
}

TEST_F(MemoryBrick, ProtectedSettersAttachLikeBlock) {
  OpenSensor sensor;
  sensor.setSensorType(L::SENSOR_TOUCH);
  EXPECT_EQ(sensor.setPort(3), 1);
  EXPECT_EQ(sensor.setSensorType(L::SENSOR_TOUCH), 1);  // a port alone is no link
  EXPECT_EQ(sensor.setCommunication(&block.getCommunication()), 1);
  EXPECT_EQ(sensor.setSensorType(L::SENSOR_TOUCH), 2);
  EXPECT_EQ(wire(), Strings{"00 05 03 01 20"});
}

TEST_F(PtyBrick, UltrasonicOverTheSerialLine) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  EXPECT_EQ(block.setSensor(&sensor, 3), 2);
  {
    auto guard = server.lock();
    sim.ultrasonicLatencyPolls = 1;
    sim.ultrasonic[3].distance = 120;
  }
  clearWire();
  // The sonar command is still on the bus for the first two requests, which the brick refuses;
  // the poll that sees it done finds nothing to read. The third request is taken, and its byte
  // is ready one pass later.
  sensor.enableSonar();
  EXPECT_EQ(sensor.getValue(), 120);
  const Strings pass{kDistanceRequest3, kStatus3};
  Strings expected{"00 0F 03 03 00 02 41 02"};
  for (int i = 0; i < 4; ++i) {
    expected.insert(expected.end(), pass.begin(), pass.end());
  }
  expected.push_back(kRead3);
  EXPECT_EQ(wire(), expected);
  EXPECT_TRUE(block.getStatus().isSuccess());
}

// A sensor that never reports data ready: the exchange goes on, telegram after telegram in the
// same order, for Sensor::kUltrasonicTimeoutMs and then gives up with -1, over the serial line.
TEST_F(PtyBrick, UltrasonicGivesUpOnASensorThatNeverAnswers) {
  Sensor sensor;
  sensor.setSensorType(L::SENSOR_ULTRASONIC);
  block.setSensor(&sensor, 3);
  {
    auto guard = server.lock();
    sim.ultrasonicLatencyPolls = INT_MAX;
  }
  clearWire();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.getValue(), -1);
  double took = test::secondsSince(start);
  EXPECT_GE(took, L::Sensor::kUltrasonicTimeoutMs / 1000.0);
  EXPECT_LT(took, L::Sensor::kUltrasonicTimeoutMs / 1000.0 + 2.0);  // one pass past the bound
  Strings sent = wire();
  ASSERT_GE(sent.size(), 4u);
  ASSERT_EQ(sent.size() % 2, 0u);
  for (std::size_t i = 0; i < sent.size(); i += 2) {
    ASSERT_EQ(sent[i], kDistanceRequest3) << i;
    ASSERT_EQ(sent[i + 1], kStatus3) << i;
  }
  EXPECT_TRUE(block.getStatus().isSuccess());

  // Once the sensor answers again the next reading works.
  {
    auto guard = server.lock();
    sim.ultrasonicLatencyPolls = 0;
    sim.ultrasonic[3].pendingPolls = -1;
    sim.ultrasonic[3].distance = 90;
  }
  EXPECT_EQ(sensor.getValue(), 90);
}
