// The modern sampler on the one underneath: its channels handed over at each call, the
// program's readings wrapped so that what they throw becomes the outcome.
#include "brick/Sampler.hpp"

#include <string>

#include "Outcome.h"
#include "brick/Brick.hpp"
#include "brick/Sampler.h"

namespace brick {

namespace L = ::Brick::Lib;
using detail::setOutcome;
using detail::usable;

namespace {

// The sampler underneath with `channels`; a reading's failure is kept in `failed`.
template <typename Channels>
L::Sampler underneath(Comm::SerialCommunication& link, const Channels& channels,
                      std::error_code& failed) {
  L::Sampler sampler(link);
  for (const auto& c : channels) {
    if (!c.reading) {
      if (c.motor) {
        sampler.addMotor(c.index);
      } else {
        sampler.addInput(c.index);
      }
      continue;
    }
    sampler.add(c.name, [&failed, reading = c.reading](double& value) -> long {
      try {
        value = reading();
        return L::kBrickOk;
      } catch (const std::system_error& e) {
        failed = e.code();
      } catch (...) {
        failed = make_error_code(Errc::stopped);
      }
      return L::kBrickStopped;
    });
  }
  return sampler;
}

void outcome(std::error_code& ec, long code, const std::error_code& failed) {
  if (code != L::kBrickOk && failed) {
    ec = failed;
  } else {
    setOutcome(ec, code);
  }
}

}  // namespace

Sampler::Sampler(Brick& brick) noexcept : link(brick.connection()) {}

void Sampler::add(Input input) {
  channels.push_back(Channel{"port" + std::to_string(static_cast<int>(input) + 1), Reading(),
                             static_cast<int>(input), false});
}

void Sampler::add(Port port) {
  channels.push_back(Channel{std::string("motor") + static_cast<char>('A' + static_cast<int>(port)),
                             Reading(), static_cast<int>(port), true});
}

void Sampler::add(std::string name, Reading reading) {
  channels.push_back(Channel{std::move(name), std::move(reading), 0, false});
}

std::vector<std::string> Sampler::names() const {
  std::vector<std::string> out;
  for (const Channel& c : channels) {
    out.push_back(c.name);
  }
  return out;
}

std::string Sampler::header() const {
  std::string line = "time_ms";
  for (const Channel& c : channels) {
    line += "," + c.name;
  }
  return line + "\n";
}

std::vector<double> Sampler::sample(std::error_code& ec) noexcept {
  std::vector<double> values;
  if (usable(link, ec)) {
    std::error_code failed;
    L::Sampler sampler = underneath(*link, channels, failed);
    outcome(ec, sampler.sample(values), failed);
  }
  if (ec) {
    values.clear();
  }
  return values;
}

void Sampler::run(std::chrono::milliseconds every, int rows, std::ostream& csv,
                  const std::function<bool()>& stop, std::error_code& ec) noexcept {
  if (every < std::chrono::milliseconds(1) || every > std::chrono::hours(24) || rows < 0) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  if (!usable(link, ec)) {
    return;
  }
  std::error_code failed;
  L::Sampler sampler = underneath(*link, channels, failed);
  try {
    outcome(ec, sampler.run(static_cast<int>(every.count()), rows, csv, stop), failed);
  } catch (const std::system_error& e) {
    ec = e.code();  // the stop predicate's, or the stream's when it throws
  } catch (...) {
    ec = make_error_code(Errc::stopped);
  }
}

}  // namespace brick
