// Turning library(brick)'s argument terms into what the class library takes, with the error
// each raises when its term does not fit (before anything is sent):
//   unbound input                      error(instantiation_error, _)
//   Brick    a brick blob              type_error(brick, X); closed: existence_error(brick, X)
//   Motor    motor(Brick, Port)        type_error(motor, X)
//   Sensor   sensor(Brick, Port)       type_error(sensor, X)
//   motor port   a, b or c             type_error(atom, X), domain_error(motor_port, X)
//   sensor port  1 to 4                type_error(integer, X), domain_error(sensor_port, X)
//   integer in a range                 type_error(integer, X), domain_error(Domain, X)
//   sensor kind  touch, light(ambient) ...   domain_error(sensor_kind, X)
#ifndef BRICKPREDS_BRICK_ARGUMENTS_H
#define BRICKPREDS_BRICK_ARGUMENTS_H

#include <SWI-cpp2.h>

#include "BrickHandle.h"

namespace Brick {
namespace Prolog {

// The blob type of bricks: printed <brick>(Device); freeing it closes the link.
extern PL_blob_t brickBlob;

[[noreturn]] void throwInstantiation();

// An open brick.
BrickHandle& brickArgument(const PlTerm& arg);
// A Motor or Sensor term: its brick, and the port as the class library counts (from 0).
BrickHandle& motorArgument(const PlTerm& arg, int& port);
BrickHandle& sensorArgument(const PlTerm& arg, int& port);
int motorPort(const PlTerm& arg);
int sensorPort(const PlTerm& arg);
long rangeArgument(const PlTerm& arg, long low, long high, const char* domain);
bool boolArgument(const PlTerm& arg);

// A sensor kind: the class library's kind code; the term for a code (none for 0).
int sensorKindArgument(const PlTerm& arg);
foreign_t unifySensorKind(const PlTerm& result, int kind);
// How a reading of `kind` shows in Prolog: a colour number becomes its colour's name.
foreign_t unifyReading(const PlTerm& result, int kind, int value);

}  // namespace Prolog
}  // namespace Brick

#endif
