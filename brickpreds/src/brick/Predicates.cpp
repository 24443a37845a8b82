// The foreign predicates of library(brick) for the brick's basics: opening and closing, battery,
// name, tone, simple motor moves and sensor readings. StatePredicates.cpp and
// FlashPredicates.cpp hold the rest. brick.pl documents each and adds what is plain Prolog
// (options, with_brick/3, motor_wait/1,2, messages).
//
// Each predicate checks all its arguments before it sends anything, then runs its operations
// as one Exchange (Exchange.h).
#include <cstring>
#include <mutex>
#include <string>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/BrickInfo.h"
#include "brick/Input.h"
#include "brick/Output.h"
#include "brick/StopOnExit.h"
#include "brick/Ultrasonic.h"

namespace Brick {
namespace Prolog {

namespace {

std::string deviceText(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  char* chars = nullptr;
  std::size_t length = 0;
  if (!PL_get_nchars(arg.C_, &length, &chars, CVT_ATOM | CVT_STRING | REP_UTF8)) {
    throwTypeError("atom", arg);
  }
  if (length == 0 || std::strlen(chars) != length) {
    throwDomainError("brick_device", arg);
  }
  return std::string(chars, length);
}

// motor(Brick, Port) or sensor(Brick, Port), as the port was given.
foreign_t unifyDevice(const PlTerm& result, const char* name, const PlTerm& brick,
                      const PlTerm& port) {
  if (PL_unify_term(result.C_, PL_FUNCTOR_CHARS, name, 2, PL_TERM, brick.C_, PL_TERM, port.C_)) {
    return TRUE;
  }
  if (PL_exception(0) != 0) {
    throwPending();
  }
  return FALSE;
}

foreign_t brickOpen(const PlTermv& a) {
  std::string device = deviceText(a[0]);
  if (!PL_is_variable(a[1].C_)) {
    throwError(PlCompound("uninstantiation_error", PlTermv(a[1])));
  }
  BrickHandle* handle = new BrickHandle(device);
  if (!handle->open()) {
    long code = handle->block().getStatus().getCode();
    delete handle;
    throwOpenFailed(code, device.c_str());
  }
  // From here the blob owns the handle: its release closes the link and frees it.
  if (!PL_unify_blob(a[1].C_, &handle, sizeof handle, &brickBlob)) {
    throwPending();
  }
  return TRUE;
}

foreign_t brickClose(const PlTermv& a) {
  void* data = nullptr;
  PL_blob_t* type = nullptr;
  if (!PL_get_blob(a[0].C_, &data, nullptr, &type) || type != &brickBlob) {
    if (PL_is_variable(a[0].C_)) {
      throwInstantiation();
    }
    throwTypeError("brick", a[0]);
  }
  BrickHandle& handle = **static_cast<BrickHandle**>(data);
  std::lock_guard<std::mutex> guard(handle.lock());
  handle.close();  // closing a closed brick is harmless, as closing a closed stream is
  return TRUE;
}

foreign_t brickDevice(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  return unifyAtom(a[1], handle.device().c_str());
}

foreign_t brickTrace(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  bool on = boolArgument(a[1]);
  std::lock_guard<std::mutex> guard(handle.lock());
  handle.setTrace(on);
  return TRUE;
}

foreign_t battery(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Exchange exchange(handle, "battery");
  int millivolts = handle.block().getBatteryLevel();
  exchange.check();
  return unifyInteger(a[1], millivolts);
}

foreign_t brickName(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  char name[256];
  {
    Exchange exchange(handle, "brick_name");
    handle.block().getName(name);
    exchange.check();
  }
  return unifyAtom(a[1], name);
}

foreign_t setBrickName(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  if (PL_is_variable(a[1].C_)) {
    throwInstantiation();
  }
  char* chars = nullptr;
  std::size_t length = 0;
  if (!PL_get_nchars(a[1].C_, &length, &chars, CVT_ATOM | CVT_STRING | REP_ISO_LATIN_1)) {
    if (PL_is_atomic(a[1].C_) && !PL_is_number(a[1].C_)) {
      throwDomainError("brick_name", a[1]);  // a character the brick cannot store
    }
    throwTypeError("text", a[1]);
  }
  // The brick keeps 15 characters: a longer name would come back cut, another than asked for.
  if (length == 0 || length > 15 || std::strlen(chars) != length) {
    throwDomainError("brick_name", a[1]);
  }
  char name[16];
  std::memcpy(name, chars, length + 1);
  Exchange exchange(handle, "set_brick_name");
  handle.block().setName(name);
  exchange.check();
  return TRUE;
}

foreign_t tone(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  int frequency = static_cast<int>(rangeArgument(a[1], 200, 14000, "tone_frequency"));
  int duration = static_cast<int>(rangeArgument(a[2], 0, 65535, "tone_duration"));
  Exchange exchange(handle, "tone");
  exchange.checkCode(Lib::BrickInfo(handle.block()).playTone(frequency, duration));
  return TRUE;
}

foreign_t stopTone(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Exchange exchange(handle, "stop_tone");
  exchange.checkCode(Lib::BrickInfo(handle.block()).stopSoundPlayback());
  return TRUE;
}

// Motors.

foreign_t brickMotor(const PlTermv& a) {
  brickArgument(a[0]);
  motorPort(a[1]);
  return unifyDevice(a[2], "motor", a[0], a[1]);
}

int power(const PlTerm& arg) {
  return static_cast<int>(rangeArgument(arg, -100, 100, "motor_power"));
}

foreign_t motorRun(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  int speed = power(a[1]);
  Exchange exchange(handle, "motor_run");
  exchange.checkCode(Lib::Output(handle.block(), port).runRegulated(speed, 0, false));
  return TRUE;
}

foreign_t motorTurn(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  int speed = power(a[1]);
  long degrees = rangeArgument(a[2], 1, 0x7FFFFFFF, "motor_degrees");
  Exchange exchange(handle, "motor_turn");
  exchange.checkCode(Lib::Output(handle.block(), port)
                         .runRegulated(speed, static_cast<std::uint32_t>(degrees), false));
  return TRUE;
}

foreign_t motorStop(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  bool brake = boolArgument(a[1]);
  Exchange exchange(handle, "motor_stop");
  exchange.checkCode(Lib::Output(handle.block(), port).stop(brake));
  return TRUE;
}

foreign_t motorPosition(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  Exchange exchange(handle, "motor_position");
  int degrees = handle.motor(port).getRotationCount();
  exchange.check();
  return unifyInteger(a[1], degrees);
}

foreign_t motorReset(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = motorArgument(a[0], port);
  Exchange exchange(handle, "motor_reset");
  exchange.checkCode(Lib::Output(handle.block(), port).resetPosition(false));
  return TRUE;
}

// Sensors.

foreign_t brickSensor(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  int port = sensorPort(a[1]);
  int kind = sensorKindArgument(a[2]);
  {
    Exchange exchange(handle, "brick_sensor");
    std::pair<int, int> typeMode = PortSensor::typeMode(kind);
    exchange.checkCode(Lib::Input(handle.block(), port)
                           .setMode(static_cast<std::uint8_t>(typeMode.first),
                                    static_cast<std::uint8_t>(typeMode.second)));
    handle.sensor(port).attach(handle.block().getCommunication(), port, kind);
    handle.sensorKind(port) = kind;
  }
  return unifyDevice(a[3], "sensor", a[0], a[1]);
}

foreign_t sensorValue(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = sensorArgument(a[0], port);
  int kind = 0;
  int value = 0;
  {
    Exchange exchange(handle, "sensor_value");
    kind = handle.sensorKind(port);
    if (kind == 0) {
      throwError(PlCompound("existence_error", PlTermv(PlTerm_atom("sensor"), a[0])));
    }
    if (kind == Lib::SENSOR_ULTRASONIC) {
      // Read as the brick runs its bus: its "busy" and "pending" answers are part of a reading.
      exchange.checkCode(Lib::Ultrasonic(handle.block(), port).read(value));
    } else {
      value = handle.sensor(port).getValue();
      exchange.check();
    }
  }
  return unifyReading(a[1], kind, value);
}

foreign_t sensorKind(const PlTermv& a) {
  int port = 0;
  BrickHandle& handle = sensorArgument(a[0], port);
  int kind = 0;
  {
    std::lock_guard<std::mutex> guard(handle.lock());
    kind = handle.sensorKind(port);
  }
  return unifySensorKind(a[1], kind);
}

// '$brick_halt'(+Brick): all three motors off and the sound stopped, for with_brick/4 when its
// goal did not succeed.
foreign_t brickHalt(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Exchange exchange(handle, "with_brick");
  Lib::StopOnExit guard(handle.block());
  long code = guard.stop();
  guard.release();
  exchange.checkCode(code);
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"brick_open", 2, predicate<2, brickOpen>},
    {"brick_close", 1, predicate<1, brickClose>},
    {"brick_device", 2, predicate<2, brickDevice>},
    {"brick_trace", 2, predicate<2, brickTrace>},
    {"battery", 2, predicate<2, battery>},
    {"brick_name", 2, predicate<2, brickName>},
    {"set_brick_name", 2, predicate<2, setBrickName>},
    {"tone", 3, predicate<3, tone>},
    {"stop_tone", 1, predicate<1, stopTone>},
    {"brick_motor", 3, predicate<3, brickMotor>},
    {"motor_run", 2, predicate<2, motorRun>},
    {"motor_turn", 3, predicate<3, motorTurn>},
    {"$motor_stop", 2, predicate<2, motorStop>},
    {"motor_position", 2, predicate<2, motorPosition>},
    {"motor_reset", 1, predicate<1, motorReset>},
    {"brick_sensor", 4, predicate<4, brickSensor>},
    {"sensor_value", 2, predicate<2, sensorValue>},
    {"sensor_kind", 2, predicate<2, sensorKind>},
    {"$brick_halt", 1, predicate<1, brickHalt>},
};

__attribute__((constructor)) void registerBasics() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
