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
//   text     an atom or string of bytes        type_error(text, X), domain_error(Domain, X)
//   file name    at most 19 characters          type_error(text, X), domain_error(file_name, X)
//   bytes    a list of integers 0 to 255       type_error(list, X), domain_error(Domain, X)
#ifndef BRICKPREDS_BRICK_ARGUMENTS_H
#define BRICKPREDS_BRICK_ARGUMENTS_H

#include <SWI-cpp2.h>

#include <cstdint>
#include <string>
#include <vector>

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

// Text of bytes (code points below 256); a longer one than `maxBytes`, or one with a NUL when
// `nul` is false, is outside `domain`.
std::string textArgument(const PlTerm& arg, std::size_t maxBytes, bool nul, const char* domain);
// A name the brick's flash accepts; with `pattern`, '*' wildcards too (domain file_pattern).
std::string fileNameArgument(const PlTerm& arg, bool pattern = false);
// A list of at most `maxBytes` bytes; an element out of range or a longer list is outside
// `domain` (the whole list the culprit).
std::vector<std::uint8_t> bytesArgument(const PlTerm& arg, std::size_t maxBytes,
                                        const char* domain);

foreign_t unifyInteger64(const PlTerm& result, std::int64_t value);
// Bytes as a string of code points below 256, or as a list of integers.
foreign_t unifyByteString(const PlTerm& result, const std::string& bytes);
foreign_t unifyByteList(const PlTerm& result, const std::vector<std::uint8_t>& bytes);
// Raises the exception SWI-Prolog holds if `ok` is false because of one; else gives `ok`.
foreign_t unified(int ok);

// A sensor kind: the class library's kind code; the term for a code (none for 0).
int sensorKindArgument(const PlTerm& arg);
foreign_t unifySensorKind(const PlTerm& result, int kind);
// How a reading of `kind` shows in Prolog: a colour number becomes its colour's name.
foreign_t unifyReading(const PlTerm& result, int kind, int value);

}  // namespace Prolog
}  // namespace Brick

#endif
