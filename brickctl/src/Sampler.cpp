#include "brick/Sampler.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "Request.h"
#include "brick/Batch.h"
#include "brick/Block.h"
#include "brick/Input.h"
#include "brick/Output.h"

namespace Brick {
namespace Lib {

Sampler::Sampler(Block& block) : link(&block.getCommunication()) {}
Sampler::Sampler(Comm::SerialCommunication& l) : link(&l) {}

void Sampler::addInput(int port) {
  list.push_back(Channel{"port" + std::to_string(port + 1), Reader(), port, false});
}

void Sampler::addMotor(int port) {
  list.push_back(
      Channel{std::string("motor") + static_cast<char>('A' + port), Reader(), port, true});
}

void Sampler::add(const std::string& name, Reader read) {
  list.push_back(Channel{name, std::move(read)});
}

long Sampler::sample(std::vector<double>& values) {
  values.assign(list.size(), 0.0);
  Batch batch(*link);
  std::vector<std::size_t> item(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list[i].read) {
      item[i] = list[i].motor ? batch.output(list[i].port) : batch.input(list[i].port);
    }
  }
  if (batch.size() > 0) {
    long code = batch.run();
    if (code != kBrickOk) {
      return code;
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].read) {
      long code = list[i].read(values[i]);
      if (code != kBrickOk) {
        return code;
      }
    } else {
      const Batch::Result& r = batch.result(item[i]);
      values[i] = list[i].motor ? r.output.rotationCount : r.input.scaled;
    }
  }
  return kBrickOk;
}

std::string Sampler::header() const {
  std::string line = "time_ms";
  for (const Channel& c : list) {
    line += "," + c.name;
  }
  return line + "\n";
}

long Sampler::run(int everyMs, int rows, std::ostream& csv, const std::function<bool()>& stop) {
  if (everyMs < 1 || rows < 0) {
    return BRICK_REFUSE(link, kBrickBadValue);
  }
  csv << header() << std::flush;
  auto start = std::chrono::steady_clock::now();
  std::vector<double> values;
  for (int row = 0; row < rows; ++row) {
    auto due = start + std::chrono::milliseconds(static_cast<long long>(everyMs) * row);
    while (std::chrono::steady_clock::now() < due) {
      if (stop && stop()) {
        return kBrickOk;
      }
      auto left = due - std::chrono::steady_clock::now();
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    }
    if (stop && stop()) {
      return kBrickOk;
    }
    auto taken = std::chrono::steady_clock::now();
    long code = sample(values);
    if (code != kBrickOk) {
      return code;
    }
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(taken - start).count();
    csv << ms;
    for (double v : values) {
      char text[32];
      // Whole numbers as such; a temperature keeps its fraction.
      std::snprintf(text, sizeof text, v == std::floor(v) ? "%.0f" : "%.4g", v);
      csv << "," << text;
    }
    csv << "\n" << std::flush;
  }
  return kBrickOk;
}

}  // namespace Lib
}  // namespace Brick
