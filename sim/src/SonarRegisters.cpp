#include "sim/SonarRegisters.h"

#include <cstring>

#include "protocol/Nxt.h"

namespace Sim {

namespace {

const std::uint8_t kUltrasonicWarmReset = 4;

// The ultrasonic sensor's identification texts, each read from its first register onward
// (NUL-padded), and the registers up to the next one.
struct SonarText {
  std::uint8_t first;
  std::uint8_t end;
  const char* text;
};
const SonarText kSonarTexts[] = {
    {Nxt::kUltrasonicVersion, Nxt::kUltrasonicProductId, "V1.0"},
    {Nxt::kUltrasonicProductId, Nxt::kUltrasonicType, "LEGO"},
    {Nxt::kUltrasonicType, Nxt::kUltrasonicUnits, "Sonar"},
    {Nxt::kUltrasonicUnits, Nxt::kUltrasonicUnits + 8, "10E-2m"},
};
const std::uint8_t kActualZero = 0x52;

}  // namespace

void SonarRegisters::read(const UltrasonicState& us, std::uint8_t reg, std::size_t count,
                          std::uint8_t* out) {
  std::memset(out, 0, count);
  for (const SonarText& field : kSonarTexts) {
    if (reg >= field.first && reg < field.end) {
      std::size_t from = reg - field.first;
      std::size_t length = std::strlen(field.text);
      for (std::size_t i = 0; from + i < length && i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(field.text[from + i]);
      }
      return;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t r = reg + i;
    if (r == Nxt::kUltrasonicInterval) {
      out[i] = us.interval;
    } else if (r == Nxt::kUltrasonicCommand) {
      out[i] = us.command;
    } else if (r == Nxt::kUltrasonicMeasurement0) {
      out[i] = us.distance;  // continuous measurement fills the first of the eight
    } else if (r >= kActualZero && r < kActualZero + 3u) {
      out[i] = us.calibration[r - kActualZero];
    }
  }
}

void SonarRegisters::write(UltrasonicState& us, std::uint8_t reg, const std::uint8_t* data,
                           std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t r = reg + i;
    if (r == Nxt::kUltrasonicInterval) {
      us.interval = data[i];
    } else if (r == Nxt::kUltrasonicCommand) {
      // A warm reset leaves the sensor as it powers up: measuring continuously.
      us.command = data[i] == kUltrasonicWarmReset ? Nxt::kUltrasonicContinuous : data[i];
      us.measuring = us.command != Nxt::kUltrasonicOff;
    } else if (r >= kActualZero && r < kActualZero + 3u) {
      us.calibration[r - kActualZero] = data[i];
    }
  }
}

}  // namespace Sim
