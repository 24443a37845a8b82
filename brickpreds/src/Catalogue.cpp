// The 34 predicates of module brickmod and their registration while the library loads.
//
// Each body converts its input arguments in a fixed order (the first that does not convert
// raises its type error, and nothing reaches the brick), then calls one operation and either
// succeeds, dropping the operation's code, or unifies its result argument. The order is part
// of the interface: playTone/3 and the degree predicates convert their third argument before
// their second, setName/2 its brick before its name (a text is always converted last, because
// it lives in a buffer that later conversions reuse).
#include "Frame.h"

namespace Brick {
namespace Prolog {

namespace {

using Lib::Block;
using Lib::Motor;
using Lib::Sensor;

// Creating objects.

foreign_t newBlock(const PlTermv& a) {
  return create<Block>(a[0]);
}

foreign_t newMotor(const PlTermv& a) {
  return create<Motor>(a[0]);
}

foreign_t newSensor(const PlTermv& a) {
  return create<Sensor>(a[0]);
}

// Brick.

foreign_t connect(const PlTermv& a) {
  object<Block>(a[0])->connect();
  return TRUE;
}

foreign_t connectBluetooth(const PlTermv& a) {
  object<Block>(a[0])->connectBluetooth();
  return TRUE;
}

foreign_t connectBluetoothTo(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  brick->connectBluetooth(text(a[1]));
  return TRUE;
}

foreign_t disconnect(const PlTermv& a) {
  object<Block>(a[0])->disconnect();
  return TRUE;
}

foreign_t playTone(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  int duration = integer(a[2]);
  int frequency = integer(a[1]);
  brick->playTone(frequency, duration);
  return TRUE;
}

foreign_t stopTone(const PlTermv& a) {
  object<Block>(a[0])->stopTone();
  return TRUE;
}

foreign_t getBatteryLevel(const PlTermv& a) {
  Block* brick = object<Block>(a[1]);
  return unifyInteger(a[0], brick->getBatteryLevel());
}

foreign_t getName(const PlTermv& a) {
  Block* brick = object<Block>(a[1]);
  char name[256];
  brick->getName(name);
  return unifyAtom(a[0], name);
}

foreign_t setName(const PlTermv& a) {
  Block* brick = object<Block>(a[1]);
  brick->setName(text(a[0]));
  return TRUE;
}

foreign_t setSensor(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  Sensor* sensor = object<Sensor>(a[1]);
  int port = integer(a[2]);
  brick->setSensor(sensor, port);
  return TRUE;
}

foreign_t remSensor(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  brick->remSensor(integer(a[1]));
  return TRUE;
}

foreign_t getSensor(const PlTermv& a) {
  Block* brick = object<Block>(a[1]);
  int port = integer(a[2]);
  return unifyHandle(a[0], brick->getSensor(port));
}

foreign_t setMotor(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  Motor* motor = object<Motor>(a[1]);
  int port = integer(a[2]);
  brick->setMotor(motor, port);
  return TRUE;
}

foreign_t remMotor(const PlTermv& a) {
  Block* brick = object<Block>(a[0]);
  brick->remMotor(integer(a[1]));
  return TRUE;
}

foreign_t getMotor(const PlTermv& a) {
  Block* brick = object<Block>(a[1]);
  int port = integer(a[2]);
  return unifyHandle(a[0], brick->getMotor(port));
}

// Motor.

foreign_t getRotationCount(const PlTermv& a) {
  Motor* motor = object<Motor>(a[1]);
  return unifyInteger(a[0], motor->getRotationCount());
}

foreign_t resetRotationCount(const PlTermv& a) {
  object<Motor>(a[0])->resetRotationCount();
  return TRUE;
}

foreign_t moveForward(const PlTermv& a) {
  Motor* motor = object<Motor>(a[0]);
  motor->moveForward(integer(a[1]));
  return TRUE;
}

foreign_t moveForwardDegrees(const PlTermv& a) {
  Motor* motor = object<Motor>(a[0]);
  int degrees = integer(a[2]);
  int power = integer(a[1]);
  motor->moveForwardDegrees(power, degrees);
  return TRUE;
}

foreign_t moveBackward(const PlTermv& a) {
  Motor* motor = object<Motor>(a[0]);
  motor->moveBackward(integer(a[1]));
  return TRUE;
}

foreign_t moveBackwardDegrees(const PlTermv& a) {
  Motor* motor = object<Motor>(a[0]);
  int degrees = integer(a[2]);
  int power = integer(a[1]);
  motor->moveBackwardDegrees(power, degrees);
  return TRUE;
}

foreign_t stop(const PlTermv& a) {
  object<Motor>(a[0])->stop();
  return TRUE;
}

foreign_t setBrake(const PlTermv& a) {
  Motor* motor = object<Motor>(a[0]);
  motor->setBrake(flag(a[1]));
  return TRUE;
}

// Sensor.

foreign_t setSensorType(const PlTermv& a) {
  Sensor* sensor = object<Sensor>(a[0]);
  sensor->setSensorType(integer(a[1]));
  return TRUE;
}

foreign_t getValue(const PlTermv& a) {
  Sensor* sensor = object<Sensor>(a[1]);
  return unifyInteger(a[0], sensor->getValue());
}

foreign_t disableSonar(const PlTermv& a) {
  object<Sensor>(a[0])->disableSonar();
  return TRUE;
}

foreign_t enableSonar(const PlTermv& a) {
  object<Sensor>(a[0])->enableSonar();
  return TRUE;
}

foreign_t enableLight(const PlTermv& a) {
  object<Sensor>(a[0])->enableLight();
  return TRUE;
}

foreign_t disableLight(const PlTermv& a) {
  object<Sensor>(a[0])->disableLight();
  return TRUE;
}

foreign_t changeColor(const PlTermv& a) {
  Sensor* sensor = object<Sensor>(a[0]);
  sensor->changeColor(integer(a[1]));
  return TRUE;
}

foreign_t getSensorType(const PlTermv& a) {
  Sensor* sensor = object<Sensor>(a[1]);
  return unifyInteger(a[0], sensor->getSensorType());
}

struct Entry {
  const char* name;
  int arity;
  foreign_t (*function)(term_t, int, control_t);
};

// The catalogue, in the order of registration.
constexpr Entry kCatalogue[] = {
    {"Block", 1, predicate<1, newBlock>},
    {"Motor", 1, predicate<1, newMotor>},
    {"Sensor", 1, predicate<1, newSensor>},
    {"connect", 1, predicate<1, connect>},
    {"connectBluetooth", 1, predicate<1, connectBluetooth>},
    {"connectBluetooth", 2, predicate<2, connectBluetoothTo>},
    {"disconnect", 1, predicate<1, disconnect>},
    {"playTone", 3, predicate<3, playTone>},
    {"stopTone", 1, predicate<1, stopTone>},
    {"getBatteryLevel", 2, predicate<2, getBatteryLevel>},
    {"getName", 2, predicate<2, getName>},
    {"setName", 2, predicate<2, setName>},
    {"setSensor", 3, predicate<3, setSensor>},
    {"remSensor", 2, predicate<2, remSensor>},
    {"getSensor", 3, predicate<3, getSensor>},
    {"setMotor", 3, predicate<3, setMotor>},
    {"remMotor", 2, predicate<2, remMotor>},
    {"getMotor", 3, predicate<3, getMotor>},
    {"getRotationCount", 2, predicate<2, getRotationCount>},
    {"resetRotationCount", 1, predicate<1, resetRotationCount>},
    {"moveForward", 2, predicate<2, moveForward>},
    {"moveForwardDegrees", 3, predicate<3, moveForwardDegrees>},
    {"moveBackward", 2, predicate<2, moveBackward>},
    {"moveBackwardDegrees", 3, predicate<3, moveBackwardDegrees>},
    {"stop", 1, predicate<1, stop>},
    {"setBrake", 2, predicate<2, setBrake>},
    {"setSensorType", 2, predicate<2, setSensorType>},
    {"getValue", 2, predicate<2, getValue>},
    {"disableSonar", 1, predicate<1, disableSonar>},
    {"enableSonar", 1, predicate<1, enableSonar>},
    {"enableLight", 1, predicate<1, enableLight>},
    {"disableLight", 1, predicate<1, disableLight>},
    {"changeColor", 2, predicate<2, changeColor>},
    {"getSensorType", 2, predicate<2, getSensorType>},
};

// Runs while the system loader maps the library, before SWI-Prolog looks for an install
// function; SWI-Prolog's loader accepts a library that registered predicates meanwhile, so the
// library exports none.
__attribute__((constructor)) void registerCatalogue() {
  for (const Entry& entry : kCatalogue) {
    PL_register_foreign_in_module("brickmod", entry.name, entry.arity,
                                  reinterpret_cast<pl_function_t>(entry.function), PL_FA_VARARGS);
  }
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
