#include "brick/DigitalSensor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "Request.h"
#include "brick/Block.h"
#include "brick/Input.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Lib {

namespace {

const std::uint8_t kTemperatureAddress = 0x98;

// Some makers pad their texts with spaces, and one maker's name changed case over the years.
std::string trimmed(const std::string& text) {
  std::string out = text;
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

bool sameText(const std::string& a, const std::string& b, bool ignoreCase) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (ignoreCase ? std::tolower(x) != std::tolower(y) : x != y) {
      return false;
    }
  }
  return true;
}

bool oneOf(const std::string& text, const std::vector<std::string>& choices, bool ignoreCase) {
  return std::any_of(choices.begin(), choices.end(), [&](const std::string& choice) {
    return sameText(trimmed(text), trimmed(choice), ignoreCase);
  });
}

// A device's texts may hold anything: only printable ASCII goes into a message.
std::string printable(const std::string& text) {
  std::string out;
  for (char c : trimmed(text)) {
    unsigned char u = static_cast<unsigned char>(c);
    out += u >= 0x20 && u < 0x7F ? c : '?';
  }
  return out;
}

}  // namespace

DigitalSensor::DigitalSensor(Block& block, int p, Expected e)
    : bus(block, p, e.address), link(&block.getCommunication()), port(p), expected(std::move(e)) {}
DigitalSensor::DigitalSensor(Comm::SerialCommunication& l, int p, Expected e)
    : bus(l, p, e.address), link(&l), port(p), expected(std::move(e)) {}

long DigitalSensor::setUp() {
  checked = false;
  long code = Input(*link, port).setMode(Nxt::kLowSpeed9V, Nxt::kRawMode);
  if (code == kBrickOk && settleMs > 0) {
    detail::pause(settleMs);
  }
  return code;
}

long DigitalSensor::probe() {
  std::vector<std::uint8_t> ignored;
  return bus.read(0x00, 1, ignored);
}

long DigitalSensor::nobodyHome(long code) {
  if (code != brickStatusCode(Nxt::kStatusBusError)) {
    return code;
  }
  // Maybe another sensor at another address: name it rather than call the port empty. The
  // family's usual address and the IR seeker's carry identification; the temperature sensor's
  // has none, so an answer there is enough.
  for (std::uint8_t other : {std::uint8_t{0x02}, std::uint8_t{0x10}}) {
    I2cDevice there(*link, port, other);
    I2cDevice::Identity found;
    if (other != expected.address && there.readText(0x08, found.maker) == 0 &&
        there.readText(0x10, found.type) == 0 && !trimmed(found.maker).empty()) {
      seen = found;
      why = "port " + std::to_string(port + 1) + " holds a " + printable(found.maker) + " " +
            printable(found.type) + ", not a " + expected.what;
      return BRICK_REFUSE(link, kBrickWrongDevice);
    }
  }
  std::vector<std::uint8_t> ignored;
  if (expected.address != kTemperatureAddress &&
      I2cDevice(*link, port, kTemperatureAddress).read(0x01, 1, ignored) == 0) {
    why = "port " + std::to_string(port + 1) + " holds a LEGO temperature sensor, not a " +
          expected.what;
    return BRICK_REFUSE(link, kBrickWrongDevice);
  }
  char address[8];
  std::snprintf(address, sizeof address, "0x%02X", expected.address);
  why = "nothing answers at address " + std::string(address) + " on port " +
        std::to_string(port + 1) + ": is a " + expected.what + " plugged in?";
  return code;
}

long DigitalSensor::check() {
  why.clear();
  seen = I2cDevice::Identity();
  checked = false;
  if (expected.makers.empty()) {
    long code = probe();
    if (code != kBrickOk) {
      return nobodyHome(code);
    }
    checked = true;
    return kBrickOk;
  }
  long code = bus.readText(0x08, seen.maker);
  if (code == kBrickOk) {
    code = bus.readText(0x10, seen.type);
  }
  if (code != kBrickOk) {
    return nobodyHome(code);
  }
  if (!oneOf(seen.maker, expected.makers, true) || !oneOf(seen.type, expected.types, false)) {
    why = "port " + std::to_string(port + 1) + " holds a " +
          (trimmed(seen.maker).empty() ? std::string("device without a name")
                                       : printable(seen.maker) + " " + printable(seen.type)) +
          ", not a " + expected.what;
    return BRICK_REFUSE(link, kBrickWrongDevice);
  }
  checked = true;
  return kBrickOk;
}

long DigitalSensor::readRegisters(std::uint8_t reg, std::size_t count,
                                  std::vector<std::uint8_t>& out) {
  out.clear();
  if (!checked) {
    long code = check();
    if (code != kBrickOk) {
      return code;
    }
  }
  return bus.read(reg, count, out);
}

long DigitalSensor::writeRegisters(std::uint8_t reg, const std::vector<std::uint8_t>& data) {
  if (!checked) {
    long code = check();
    if (code != kBrickOk) {
      return code;
    }
  }
  return bus.write(reg, data);
}

}  // namespace Lib
}  // namespace Brick
