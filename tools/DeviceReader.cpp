#include "DeviceReader.h"

#include <cstdio>

#include "brick/HtAccelerometer.h"
#include "brick/HtColorSensor.h"
#include "brick/HtCompass.h"
#include "brick/HtGyro.h"
#include "brick/HtIrSeeker.h"
#include "brick/Input.h"
#include "brick/TemperatureSensor.h"
#include "brick/Ultrasonic.h"
#include "protocol/Nxt.h"

namespace BrickTool {

using namespace Brick::Lib;

namespace {

const char* const kKinds[] = {"compass", "accelerometer", "ir-seeker", "color-v2",
                              "gyro",    "temperature",   "ultrasonic"};

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

// A digital driver: set up, identified, then read by `take`.
template <typename Driver>
void digital(std::shared_ptr<Driver> driver, std::function<long()>& prepare,
             std::function<std::string()>& why) {
  prepare = [driver] {
    long code = driver->setUp();
    return code == kBrickOk ? driver->check() : code;
  };
  why = [driver] { return driver->problem(); };
}

}  // namespace

const char* DeviceReader::kindList() {
  return "compass, accelerometer, ir-seeker, color-v2, gyro, temperature";
}

bool DeviceReader::known(const std::string& kind) {
  for (const char* k : kKinds) {
    if (kind == k) {
      return true;
    }
  }
  return false;
}

std::unique_ptr<DeviceReader> DeviceReader::make(Block& block, const std::string& kind, int port) {
  auto reader = std::make_unique<DeviceReader>();
  if (kind == "compass") {
    auto d = std::make_shared<HtCompass>(block, port);
    digital<HtCompass>(d, reader->prepare, reader->why);
    reader->take = [d](Reading& r) {
      int heading = 0;
      long code = d->heading(heading);
      r.value = heading;
      r.text = std::to_string(heading) + " degrees";
      return code;
    };
  } else if (kind == "accelerometer") {
    auto d = std::make_shared<HtAccelerometer>(block, port);
    digital<HtAccelerometer>(d, reader->prepare, reader->why);
    reader->take = [d](Reading& r) {
      HtAccelerometer::Axes a;
      long code = d->read(a);
      double g = HtAccelerometer::kCountsPerG;
      r.value = a.x;
      r.text = "x " + std::to_string(a.x) + " y " + std::to_string(a.y) + " z " +
               std::to_string(a.z) + format(" (%.2f %.2f %.2f g)", a.x / g, a.y / g, a.z / g);
      return code;
    };
  } else if (kind == "ir-seeker") {
    auto d = std::make_shared<HtIrSeeker>(block, port);
    digital<HtIrSeeker>(d, reader->prepare, reader->why);
    reader->take = [d](Reading& r) {
      HtIrSeeker::Reading s;
      long code = d->readAc(s);
      r.value = s.direction;
      r.text = "zone " + std::to_string(s.direction) + ", strengths";
      for (int v : s.strength) {
        r.text += " " + std::to_string(v);
      }
      return code;
    };
  } else if (kind == "color-v2") {
    auto d = std::make_shared<HtColorSensor>(block, port);
    digital<HtColorSensor>(d, reader->prepare, reader->why);
    reader->take = [d](Reading& r) {
      HtColorSensor::Reading c;
      long code = d->read(c);
      r.value = c.number;
      r.text = "colour " + std::to_string(c.number) + ", red " + std::to_string(c.red) + " green " +
               std::to_string(c.green) + " blue " + std::to_string(c.blue) + " white " +
               std::to_string(c.white);
      return code;
    };
  } else if (kind == "temperature") {
    auto d = std::make_shared<TemperatureSensor>(block, port);
    digital<TemperatureSensor>(d, reader->prepare, reader->why);
    reader->take = [d](Reading& r) {
      double celsius = 0;
      long code = d->celsius(celsius);
      r.value = celsius;
      r.text = format("%.2f degrees C", celsius);
      return code;
    };
  } else if (kind == "gyro") {
    auto d = std::make_shared<HtGyro>(block, port);
    reader->prepare = [d] { return d->setUp(); };
    reader->take = [d](Reading& r) {
      int raw = 0;
      long code = d->raw(raw);
      r.value = raw - d->offset;
      r.text = std::to_string(raw - d->offset) + " degrees/s (raw " + std::to_string(raw) +
               ", offset " + std::to_string(d->offset) + ")";
      return code;
    };
  } else if (kind == "ultrasonic") {
    Block* b = &block;
    reader->prepare = [b, port] {
      return Input(*b, port).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode);
    };
    reader->take = [b, port](Reading& r) {
      int cm = 0;
      long code = Ultrasonic(*b, port).read(cm);
      r.value = cm;
      r.text = std::to_string(cm) + " cm";
      return code;
    };
  } else {
    return nullptr;
  }
  return reader;
}

long DeviceReader::setUp() {
  return prepare();
}

long DeviceReader::read(Reading& out) {
  return take(out);
}

}  // namespace BrickTool
