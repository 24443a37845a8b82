// The foreign predicates of library(brick) for the brick's full state: keep-alive, device
// information and firmware, the whole output and input state, synchronised drive and the
// registers of digital sensors. The ones whose name starts with '$' hand flat values to
// brick.pl, which builds the Name(Value) lists the user sees.
#include <cstdint>
#include <string>
#include <vector>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/BrickInfo.h"
#include "brick/I2cDevice.h"
#include "brick/Input.h"
#include "brick/Output.h"
#include "brick/SyncDrive.h"

namespace Brick {
namespace Prolog {

namespace {

// Unifies each of `results` with the value beside it, all or nothing.
foreign_t unifyAll(const PlTermv& a, std::size_t first, const std::vector<std::int64_t>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (unifyInteger64(a[first + i], values[i]) != TRUE) {
      return FALSE;
    }
  }
  return TRUE;
}

foreign_t unifyBool(const PlTerm& result, bool value) {
  return unifyAtom(result, value ? "true" : "false");
}

foreign_t keepAlive(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::uint32_t sleepMs = 0;
  {
    Exchange exchange(handle, "keep_alive");
    exchange.checkCode(Lib::BrickInfo(handle.block()).keepAlive(sleepMs));
  }
  return unifyInteger64(a[1], sleepMs);
}

// '$brick_info'(+Brick, -Name, -Address, -Signal, -FreeFlash)
foreign_t brickInfo(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Lib::BrickInfo::Device device;
  {
    Exchange exchange(handle, "brick_info");
    exchange.checkCode(Lib::BrickInfo(handle.block()).deviceInfo(device));
  }
  if (unifyAtom(a[1], device.name.c_str()) != TRUE ||
      unifyAtom(a[2], device.addressText().c_str()) != TRUE) {
    return FALSE;
  }
  return unifyAll(a, 3, {device.signalStrength, device.freeFlash});
}

// '$brick_firmware'(+Brick, -FirmwareMajor, -FirmwareMinor, -ProtocolMajor, -ProtocolMinor)
foreign_t brickFirmware(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Lib::BrickInfo::Firmware firmware;
  {
    Exchange exchange(handle, "brick_firmware");
    exchange.checkCode(Lib::BrickInfo(handle.block()).firmwareVersion(firmware));
  }
  return unifyAll(a, 1,
                  {firmware.firmwareMajor, firmware.firmwareMinor, firmware.protocolMajor,
                   firmware.protocolMinor});
}

// '$motor_state'(+Motor, +Operation, -Finished, -Power, -Mode, -Regulation, -TurnRatio,
//                -RunState, -TachoLimit, -TachoCount, -BlockTachoCount, -RotationCount)
// Operation names the caller in errors: motor_state/2 or motor_wait/1,2.
foreign_t motorState(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  char* operation = nullptr;
  if (!PL_get_atom_chars(a[1].C_, &operation)) {
    throwTypeError("atom", a[1]);
  }
  Lib::Output::State state;
  {
    Exchange exchange(handle, operation);
    exchange.checkCode(Lib::Output(handle.block(), port).getState(state));
  }
  if (unifyBool(a[2], Lib::Output::finished(state)) != TRUE) {
    return FALSE;
  }
  return unifyAll(a, 3,
                  {state.power, state.mode, state.regulation, state.turnRatio, state.runState,
                   state.tachoLimit, state.tachoCount, state.blockTachoCount, state.rotationCount});
}

// Two motors of one brick, on different ports.
BrickHandle& motorPair(const PlTermv& a, int& first, int& second) {
  BrickHandle& handle = motorArgument(a[0], first);
  BrickHandle& other = motorArgument(a[1], second);
  if (&other != &handle || first == second) {
    throwDomainError("motor_pair", a[1]);
  }
  return handle;
}

void syncDrive(const PlTermv& a, long degrees, const char* operation) {
  int first = 0;
  int second = 0;
  BrickHandle& handle = motorPair(a, first, second);
  int power = static_cast<int>(rangeArgument(a[2], -100, 100, "motor_power"));
  int ratio = static_cast<int>(rangeArgument(a[3], -100, 100, "turn_ratio"));
  Exchange exchange(handle, operation);
  exchange.checkCode(Lib::SyncDrive(handle.block(), first, second)
                         .drive(power, ratio, static_cast<std::uint32_t>(degrees)));
}

// sync_drive(+Motor1, +Motor2, +Power, +TurnRatio)
foreign_t syncRun(const PlTermv& a) {
  syncDrive(a, 0, "sync_drive");
  return TRUE;
}

// sync_turn(+Motor1, +Motor2, +Power, +TurnRatio, +Degrees)
foreign_t syncTurn(const PlTermv& a) {
  long degrees = rangeArgument(a[4], 1, 0x7FFFFFFF, "motor_degrees");
  syncDrive(a, degrees, "sync_turn");
  return TRUE;
}

// '$sensor_values'(+Sensor, -Valid, -Calibrated, -Raw, -Normalized, -Scaled, -CalibratedValue)
foreign_t sensorValues(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = sensorArgument(a[0], port);
  Lib::Input::Values values;
  {
    Exchange exchange(handle, "sensor_values");
    exchange.checkCode(Lib::Input(handle.block(), port).getValues(values));
  }
  if (unifyBool(a[1], values.valid) != TRUE || unifyBool(a[2], values.calibrated) != TRUE) {
    return FALSE;
  }
  return unifyAll(a, 3, {values.raw, values.normalized, values.scaled, values.calibratedValue});
}

foreign_t sensorReset(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = sensorArgument(a[0], port);
  Exchange exchange(handle, "sensor_reset");
  exchange.checkCode(Lib::Input(handle.block(), port).resetScaledValue());
  return TRUE;
}

// The sensor, its bus address and the register: the arguments every I2C predicate starts with.
struct Register {
  BrickHandle* handle;
  int port;
  std::uint8_t address;
  std::uint8_t reg;
};

Register registerArguments(const PlTermv& a) {
  Register r{};
  r.handle = &sensorArgument(a[0], r.port);
  r.address = static_cast<std::uint8_t>(rangeArgument(a[1], 0, 255, "i2c_address"));
  r.reg = static_cast<std::uint8_t>(rangeArgument(a[2], 0, 255, "i2c_register"));
  return r;
}

// '$i2c_read'(+Sensor, +Address, +Register, +Count, -Bytes)
foreign_t i2cRead(const PlTermv& a) {
  Register r = registerArguments(a);
  std::size_t count = static_cast<std::size_t>(rangeArgument(a[3], 1, 16, "i2c_count"));
  std::vector<std::uint8_t> bytes;
  {
    Exchange exchange(*r.handle, "i2c_read");
    exchange.checkCode(
        Lib::I2cDevice(r.handle->block(), r.port, r.address).read(r.reg, count, bytes));
  }
  return unifyByteList(a[4], bytes);
}

// '$i2c_write'(+Sensor, +Address, +Register, +Bytes)
foreign_t i2cWrite(const PlTermv& a) {
  Register r = registerArguments(a);
  // 16 bytes on the bus: the address, the register and 14 of data.
  std::vector<std::uint8_t> bytes = bytesArgument(a[3], 14, "i2c_data");
  Exchange exchange(*r.handle, "i2c_write");
  exchange.checkCode(Lib::I2cDevice(r.handle->block(), r.port, r.address).write(r.reg, bytes));
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"keep_alive", 2, predicate<2, keepAlive>},
    {"$brick_info", 5, predicate<5, brickInfo>},
    {"$brick_firmware", 5, predicate<5, brickFirmware>},
    {"$motor_state", 12, predicate<12, motorState>},
    {"sync_drive", 4, predicate<4, syncRun>},
    {"sync_turn", 5, predicate<5, syncTurn>},
    {"$sensor_values", 7, predicate<7, sensorValues>},
    {"sensor_reset", 1, predicate<1, sensorReset>},
    {"$i2c_read", 5, predicate<5, i2cRead>},
    {"$i2c_write", 4, predicate<4, i2cWrite>},
};

__attribute__((constructor)) void registerState() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
