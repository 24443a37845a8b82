#include "brick/Brick.hpp"

#include <cstring>

#include "../Request.h"
#include "Outcome.h"
#include "brick/BrickInfo.h"
#include "brick/Input.h"
#include "brick/StopOnExit.h"
#include "protocol/Commands.h"
#include "protocol/Replies.h"

namespace brick {

using ::Brick::Lib::detail::Kind;
using ::Brick::Lib::detail::request;
using detail::inRange;
using detail::setOutcome;
using detail::usable;

Brick::Brick(std::unique_ptr<Comm::SerialCommunication> opened) noexcept
    : link(std::move(opened)) {}

Brick Brick::adopt(const Comm::SerialCommunication& shared) {
  return Brick(std::make_unique<Comm::SerialCommunication>(shared));
}

Brick::Brick(Brick&& other) noexcept
    : link(std::move(other.link)), stopOnClose(other.stopOnClose) {}

Brick& Brick::operator=(Brick&& other) noexcept {
  if (this != &other) {
    std::error_code ignored;
    close(ignored);
    link = std::move(other.link);
    stopOnClose = other.stopOnClose;
  }
  return *this;
}

Brick::~Brick() {
  std::error_code ignored;
  close(ignored);
}

bool Brick::isOpen() const noexcept {
  return link != nullptr && link->isOpen();
}

void Brick::close(std::error_code& ec) noexcept {
  ec.clear();
  if (!isOpen()) {
    return;
  }
  if (stopOnClose) {
    ::Brick::Lib::StopOnExit guard(*link);
    setOutcome(ec, guard.stop());
    guard.release();
  }
  // The link object stays, closed: handles still pointing at it report not_open.
  link->close();
}

MotorPair Brick::pair(Port first, Port second, std::error_code& ec) noexcept {
  if (first == second) {
    ec = make_error_code(Errc::bad_port);
  } else {
    ec.clear();
  }
  return MotorPair(link.get(), first, second);
}

void Brick::configure(Input input, std::uint8_t type, std::uint8_t mode,
                      std::error_code& ec) noexcept {
  if (usable(link.get(), ec)) {
    setOutcome(ec, ::Brick::Lib::Input(*link, static_cast<int>(input)).setMode(type, mode));
  }
}

TouchSensor Brick::touchSensor(Input input, std::error_code& ec) noexcept {
  configure(input, Nxt::kSwitch, Nxt::kBooleanMode, ec);
  return TouchSensor(link.get(), input);
}

LightSensor Brick::lightSensor(Input input, bool floodlight, std::error_code& ec) noexcept {
  configure(input, floodlight ? Nxt::kLightActive : Nxt::kLightInactive, Nxt::kPctFullScaleMode,
            ec);
  return LightSensor(link.get(), input);
}

SoundSensor Brick::soundSensor(Input input, std::error_code& ec) noexcept {
  configure(input, Nxt::kSoundDb, Nxt::kPctFullScaleMode, ec);
  return SoundSensor(link.get(), input);
}

ColourSensor Brick::colourSensor(Input input, std::error_code& ec) noexcept {
  configure(input, Nxt::kColorFull, Nxt::kRawMode, ec);
  return ColourSensor(link.get(), input);
}

UltrasonicSensor Brick::ultrasonicSensor(Input input, std::error_code& ec) noexcept {
  configure(input, Nxt::kLowSpeed9V, Nxt::kRawMode, ec);
  return UltrasonicSensor(link.get(), input);
}

I2cSensor Brick::i2cSensor(Input input, std::uint8_t address, std::error_code& ec) noexcept {
  configure(input, Nxt::kLowSpeed9V, Nxt::kRawMode, ec);
  return I2cSensor(link.get(), input, address);
}

void Brick::playTone(int hertz, std::chrono::milliseconds duration, std::error_code& ec) noexcept {
  // The range the brick's sound module plays; 16 bits of milliseconds on the wire. Checked here
  // too so that an out-of-range call fails the same on a closed brick.
  if (!inRange(hertz, 200, 14000) || duration.count() < 0 || duration.count() > 0xFFFF) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  if (usable(link.get(), ec)) {
    setOutcome(ec,
               ::Brick::Lib::BrickInfo(*link).playTone(hertz, static_cast<int>(duration.count())));
  }
}

void Brick::playSound(std::string_view name, bool loop, std::error_code& ec) noexcept {
  if (usable(link.get(), ec)) {
    setOutcome(ec, ::Brick::Lib::BrickInfo(*link).playSoundFile(std::string(name), loop));
  }
}

void Brick::stopSound(std::error_code& ec) noexcept {
  if (usable(link.get(), ec)) {
    setOutcome(ec, ::Brick::Lib::BrickInfo(*link).stopSoundPlayback());
  }
}

int Brick::batteryMillivolts(std::error_code& ec) noexcept {
  namespace B = Nxt::GetBatteryLevelReply;
  if (!usable(link.get(), ec)) {
    return 0;
  }
  std::uint8_t command[] = {Nxt::kGetBatteryLevel};
  std::uint8_t reply[B::kLength - Nxt::kFromOpcode];
  setOutcome(ec, request(link.get(), Kind::Direct, command, sizeof command, reply, sizeof reply));
  return ec ? 0 : static_cast<int>(Nxt::get(reply, B::kMillivolts, Nxt::kFromOpcode));
}

std::string Brick::name(std::error_code& ec) noexcept {
  if (!usable(link.get(), ec)) {
    return {};
  }
  ::Brick::Lib::BrickInfo::Device device;
  setOutcome(ec, ::Brick::Lib::BrickInfo(*link).deviceInfo(device));
  return ec ? std::string() : device.name;
}

void Brick::rename(std::string_view name, std::error_code& ec) noexcept {
  namespace N = Nxt::SetBrickNameCommand;
  if (name.empty() || name.size() > static_cast<std::size_t>(Nxt::kDeviceNameBytes) ||
      name.find('\0') != std::string_view::npos) {
    ec = make_error_code(Errc::bad_value);
    return;
  }
  if (!usable(link.get(), ec)) {
    return;
  }
  std::uint8_t command[N::kLength - Nxt::kFromOpcode] = {Nxt::kSetBrickName};
  std::memcpy(command + N::kName - Nxt::kFromOpcode, name.data(), name.size());
  std::uint8_t reply[Nxt::Reply::kLength - Nxt::kFromOpcode];
  setOutcome(ec, request(link.get(), Kind::System, command, sizeof command, reply, sizeof reply));
}

}  // namespace brick
