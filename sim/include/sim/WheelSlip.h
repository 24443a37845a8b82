// How far the robot's wheels carry it for the degrees they turn: all of it by default. A world
// may make them slip (a share of every turn lost) and err (a small random error on each wheel,
// every step), so that what the tacho counts say and where the robot is part ways as on a
// real floor. The error comes from a seeded generator: a run with the same seed repeats.
#ifndef SIM_WHEELSLIP_H
#define SIM_WHEELSLIP_H

#include <cstdint>
#include <random>

namespace Sim {

class WheelSlip {
 public:
  WheelSlip() = default;
  // `lost`: the share of each wheel's travel lost (0 to 0.5); `error`: the random error's
  // standard deviation, a share of each step's travel (0 to 0.5); `seed` starts the generator.
  WheelSlip(double lost, double error, std::uint32_t seed)
      : lost(lost), error(error), random(seed) {}

  bool on() const { return lost > 0 || error > 0; }
  // The travel a wheel turning `degrees` in one step gives.
  double travel(double degrees) {
    if (!on() || degrees == 0) {
      return degrees;
    }
    double spread = error > 0 ? std::normal_distribution<double>(0.0, error)(random) : 0.0;
    return degrees * (1 - lost + spread);
  }

 private:
  double lost = 0;
  double error = 0;
  std::mt19937 random;
};

}  // namespace Sim

#endif
