// A digital sensor other than the ultrasonic one, as a client on the low-speed bus sees it: an
// address and 256 registers, refreshed from what the robot senses each time a transaction
// reads them. The identification texts (version 0x00, maker 0x08, type 0x10, 8 bytes each)
// sit in their registers as on the devices, padding included. A world file fits one to a port
// (World::Device), and VirtualBrick::devices holds it there.
#ifndef SIM_I2CMODEL_H
#define SIM_I2CMODEL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/Environment.h"

namespace Sim {

class I2cModel {
 public:
  virtual ~I2cModel() = default;

  // A model for a world's device kind ("compass", "accelerometer", "ir-seeker", "color-v2",
  // "temperature"); null for any other kind.
  static std::unique_ptr<I2cModel> make(const std::string& kind);

  std::uint8_t address() const { return bus; }
  // What `count` bytes read from `reg` on bring back, the device's registers as of `now`.
  virtual void read(const Senses& now, std::uint8_t reg, std::size_t count, std::uint8_t* out);
  // Bytes written from `reg` on; only the device's writable registers take them.
  virtual void write(std::uint8_t reg, const std::uint8_t* data, std::size_t n);

 protected:
  explicit I2cModel(std::uint8_t address);
  // Fills the 8-byte text field at `reg`, NUL-padded.
  void text(std::uint8_t reg, const char* value);
  // Brings the measurement registers up to `now`.
  virtual void refresh(const Senses& now) = 0;
  virtual bool writable(std::uint8_t reg) const = 0;
  // A register has been written (a command, say).
  virtual void written(std::uint8_t /*reg*/) {}

  std::array<std::uint8_t, 256> regs{};

 private:
  std::uint8_t bus;
};

}  // namespace Sim

#endif
