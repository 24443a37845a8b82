#include <SWI-Stream.h>

#include "Arguments.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BrickErrors.h"
#include "Frame.h"

namespace Brick {
namespace Prolog {

namespace {

int releaseBrick(atom_t blob) {
  BrickHandle* handle = *static_cast<BrickHandle**>(PL_blob_data(blob, nullptr, nullptr));
  delete handle;
  return TRUE;
}

int writeBrick(IOSTREAM* out, atom_t blob, int) {
  BrickHandle* handle = *static_cast<BrickHandle**>(PL_blob_data(blob, nullptr, nullptr));
  Sfprintf(out, "<brick>(%s)", handle->device().c_str());
  return TRUE;
}

struct Kind {
  const char* text;  // the atom, or name(argument) for a compound
  int code;
};

// The first row for a code is how sensor_kind/2 names it; the others are accepted spellings.
constexpr Kind kKinds[] = {
    {"touch", Lib::SENSOR_TOUCH},
    {"light", Lib::SENSOR_LIGHT_ACTIVE},
    {"light(reflected)", Lib::SENSOR_LIGHT_ACTIVE},
    {"light(ambient)", Lib::SENSOR_LIGHT_INACTIVE},
    {"sound", Lib::SENSOR_SOUND_DB},
    {"sound(db)", Lib::SENSOR_SOUND_DB},
    {"sound(dba)", Lib::SENSOR_SOUND_DBA},
    {"ultrasonic", Lib::SENSOR_ULTRASONIC},
    {"color", Lib::SENSOR_COLOR_FULL},
    {"color(full)", Lib::SENSOR_COLOR_FULL},
    {"color(red)", Lib::SENSOR_COLOR_RED},
    {"color(green)", Lib::SENSOR_COLOR_GREEN},
    {"color(blue)", Lib::SENSOR_COLOR_BLUE},
    {"color(ambient)", Lib::SENSOR_COLOR_NONE},
};

// The colour sensor's colour numbers 1 to 6.
constexpr const char* kColours[] = {"black", "blue", "green", "yellow", "red", "white"};

PlTerm argOf(const PlTerm& term, int index) {
  term_t arg = PL_new_term_ref();
  if (arg == 0 || !PL_get_arg(static_cast<std::size_t>(index), term.C_, arg)) {
    throwPending();
  }
  return PlTerm_term_t(arg);
}

BrickHandle& brickOf(const PlTerm& term, const PlTerm& whole, const char* type) {
  void* data = nullptr;
  PL_blob_t* blobType = nullptr;
  if (!PL_get_blob(term.C_, &data, nullptr, &blobType) || blobType != &brickBlob) {
    throwTypeError(type, whole);
  }
  BrickHandle& handle = **static_cast<BrickHandle**>(data);
  if (!handle.isOpen()) {
    throwClosed(term);
  }
  return handle;
}

BrickHandle& deviceArgument(const PlTerm& arg, const char* name, const char* type, int& port,
                            int (*portOf)(const PlTerm&)) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  atom_t functor = 0;
  std::size_t arity = 0;
  if (!PL_get_name_arity(arg.C_, &functor, &arity) || arity != 2 ||
      std::strcmp(PL_atom_chars(functor), name) != 0) {
    throwTypeError(type, arg);
  }
  BrickHandle& handle = brickOf(argOf(arg, 1), arg, type);
  port = portOf(argOf(arg, 2));
  return handle;
}

}  // namespace

PL_blob_t brickBlob = [] {
  PL_blob_t type{};
  type.magic = PL_BLOB_MAGIC;
  type.flags = PL_BLOB_UNIQUE;
  type.name = "brick";
  type.release = releaseBrick;
  type.write = writeBrick;
  return type;
}();

void throwInstantiation() {
  throw PlException(PlCompound("error", PlTermv(PlTerm_atom("instantiation_error"), PlTerm_var())));
}

BrickHandle& brickArgument(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  return brickOf(arg, arg, "brick");
}

BrickHandle& motorArgument(const PlTerm& arg, int& port) {
  return deviceArgument(arg, "motor", "motor", port, motorPort);
}

BrickHandle& sensorArgument(const PlTerm& arg, int& port) {
  return deviceArgument(arg, "sensor", "sensor", port, sensorPort);
}

int motorPort(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  char* name = nullptr;
  if (!PL_get_atom_chars(arg.C_, &name)) {
    if (PL_is_integer(arg.C_)) {
      throwDomainError("motor_port", arg);  // counted as the brick prints them: a, b, c
    }
    throwTypeError("atom", arg);
  }
  if (name[0] >= 'a' && name[0] <= 'c' && name[1] == '\0') {
    return name[0] - 'a';
  }
  throwDomainError("motor_port", arg);
}

int sensorPort(const PlTerm& arg) {
  return static_cast<int>(rangeArgument(arg, 1, BrickHandle::kSensorPorts, "sensor_port")) - 1;
}

long rangeArgument(const PlTerm& arg, long low, long high, const char* domain) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  if (!PL_is_integer(arg.C_)) {
    throwTypeError("integer", arg);
  }
  int64_t value = 0;
  if (!PL_get_int64(arg.C_, &value) || value < low || value > high) {
    throwDomainError(domain, arg);
  }
  return static_cast<long>(value);
}

bool boolArgument(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  char* name = nullptr;
  if (!PL_get_atom_chars(arg.C_, &name)) {
    throwTypeError("bool", arg);
  }
  if (std::strcmp(name, "true") == 0) {
    return true;
  }
  if (std::strcmp(name, "false") == 0) {
    return false;
  }
  throwTypeError("bool", arg);
}

int sensorKindArgument(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  char text[48] = "";
  atom_t name = 0;
  std::size_t arity = 0;
  char* argument = nullptr;
  if (PL_get_atom(arg.C_, &name)) {
    std::snprintf(text, sizeof text, "%.40s", PL_atom_chars(name));
  } else if (PL_get_name_arity(arg.C_, &name, &arity) && arity == 1 &&
             PL_get_atom_chars(argOf(arg, 1).C_, &argument)) {
    std::snprintf(text, sizeof text, "%.20s(%.20s)", PL_atom_chars(name), argument);
  }
  for (const Kind& kind : kKinds) {
    if (std::strcmp(kind.text, text) == 0) {
      return kind.code;
    }
  }
  throwDomainError("sensor_kind", arg);
}

PlTerm sensorKindTerm(int code) {
  for (const Kind& kind : kKinds) {
    if (kind.code == code) {
      const char* open = std::strchr(kind.text, '(');
      if (open == nullptr) {
        return PlTerm_atom(kind.text);
      }
      std::string name(kind.text, open);
      std::string argument(open + 1, std::strlen(open + 1) - 1);
      return PlCompound(name.c_str(), PlTermv(PlTerm_atom(argument.c_str())));
    }
  }
  return PlTerm_atom("none");
}

foreign_t unifyReading(const PlTerm& result, int kind, int value) {
  if (kind == Lib::SENSOR_COLOR_FULL && value >= 1 && value <= 6) {
    return unifyAtom(result, kColours[value - 1]);
  }
  return unifyInteger(result, value);
}

}  // namespace Prolog
}  // namespace Brick
