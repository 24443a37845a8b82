// Foreign predicates for the Prolog benchmark, in module benchnop, registered the way
// brickpreds registers its own (PL_register_foreign_in_module, PL_FA_VARARGS):
//   nop/2             does nothing: what SWI-Prolog's foreign call costs by itself, so that the
//                     binding's own work can be told apart from it;
//   cpp_connect/1     opens a Block of its own to a device, with a motor on port A;
//   cpp_battery/0, cpp_rotation/0
//                     Block::getBatteryLevel and Motor::getRotationCount on it, straight from
//                     C++, so that a Prolog loop can time the binding's calls and the plain C++
//                     calls in turns, on the same peer and under the same load.
#include <SWI-Prolog.h>

#include "brick/Block.h"
#include "brick/Motor.h"

namespace {

Brick::Lib::Block* block = nullptr;
Brick::Lib::Motor* motor = nullptr;

foreign_t nop(term_t, int, control_t) {
  return TRUE;
}

foreign_t cppConnect(term_t args, int, control_t) {
  char* path = nullptr;
  if (!PL_get_chars(args, &path, CVT_ATOM | CVT_STRING | REP_UTF8)) {
    return FALSE;
  }
  if (block == nullptr) {
    block = new Brick::Lib::Block();  // lives until the process ends, as the binding's do
    motor = new Brick::Lib::Motor();
  }
  if (!block->connectBluetooth(path)) {
    return FALSE;
  }
  block->remMotor(0);
  return block->setMotor(motor, 0) == 1;
}

foreign_t cppBattery(term_t, int, control_t) {
  return block != nullptr && block->getBatteryLevel() >= 0;
}

foreign_t cppRotation(term_t, int, control_t) {
  if (motor == nullptr) {
    return FALSE;
  }
  motor->getRotationCount();
  return TRUE;
}

void add(const char* name, int arity, foreign_t (*function)(term_t, int, control_t)) {
  PL_register_foreign_in_module("benchnop", name, arity, reinterpret_cast<pl_function_t>(function),
                                PL_FA_VARARGS);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void install_benchnop() {
  add("nop", 2, nop);
  add("cpp_connect", 1, cppConnect);
  add("cpp_battery", 0, cppBattery);
  add("cpp_rotation", 0, cppRotation);
}
