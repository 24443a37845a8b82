#include <SWI-Stream.h>

#include "Arguments.h"

#include <cstring>

#include "BrickErrors.h"
#include "Frame.h"
#include "protocol/FileTelegrams.h"

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
  const char* name;      // the atom or the compound's name ...
  const char* argument;  // ... and its argument, or null for an atom
  int code;
};

// The first row for a code is how sensor_kind/2 names it; the others are accepted spellings.
constexpr Kind kKinds[] = {
    {"touch", nullptr, Lib::SENSOR_TOUCH},
    {"light", nullptr, Lib::SENSOR_LIGHT_ACTIVE},
    {"light", "reflected", Lib::SENSOR_LIGHT_ACTIVE},
    {"light", "ambient", Lib::SENSOR_LIGHT_INACTIVE},
    {"sound", nullptr, Lib::SENSOR_SOUND_DB},
    {"sound", "db", Lib::SENSOR_SOUND_DB},
    {"sound", "dba", Lib::SENSOR_SOUND_DBA},
    {"ultrasonic", nullptr, Lib::SENSOR_ULTRASONIC},
    {"color", nullptr, Lib::SENSOR_COLOR_FULL},
    {"color", "full", Lib::SENSOR_COLOR_FULL},
    {"color", "red", Lib::SENSOR_COLOR_RED},
    {"color", "green", Lib::SENSOR_COLOR_GREEN},
    {"color", "blue", Lib::SENSOR_COLOR_BLUE},
    {"color", "ambient", Lib::SENSOR_COLOR_NONE},
};

// The colour sensor's colour numbers 1 to 6.
constexpr const char* kColours[] = {"black", "blue", "green", "yellow", "red", "white"};

// Looked up once: the checks below run on every call and compare handles, not texts.
struct Names {
  functor_t motor = PL_new_functor(PL_new_atom("motor"), 2);
  functor_t sensor = PL_new_functor(PL_new_atom("sensor"), 2);
  atom_t ports[BrickHandle::kMotorPorts] = {PL_new_atom("a"), PL_new_atom("b"), PL_new_atom("c")};
  atom_t yes = PL_new_atom("true");
  atom_t no = PL_new_atom("false");
};

const Names& names() {
  static const Names* known = new Names();  // never freed: atoms and functors live for ever
  return *known;
}

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

BrickHandle& deviceArgument(const PlTerm& arg, functor_t functor, const char* type, int& port,
                            int (*portOf)(const PlTerm&)) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  if (!PL_is_functor(arg.C_, functor)) {
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
  return deviceArgument(arg, names().motor, "motor", port, motorPort);
}

BrickHandle& sensorArgument(const PlTerm& arg, int& port) {
  return deviceArgument(arg, names().sensor, "sensor", port, sensorPort);
}

int motorPort(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  atom_t name = 0;
  if (!PL_get_atom(arg.C_, &name)) {
    if (PL_is_integer(arg.C_)) {
      throwDomainError("motor_port", arg);  // counted as the brick prints them: a, b, c
    }
    throwTypeError("atom", arg);
  }
  for (int port = 0; port < BrickHandle::kMotorPorts; ++port) {
    if (name == names().ports[port]) {
      return port;
    }
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
  atom_t name = 0;
  if (PL_get_atom(arg.C_, &name)) {
    if (name == names().yes) {
      return true;
    }
    if (name == names().no) {
      return false;
    }
  }
  throwTypeError("bool", arg);
}

std::string textArgument(const PlTerm& arg, std::size_t maxBytes, bool nul, const char* domain) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  char* chars = nullptr;
  std::size_t length = 0;
  if (!PL_get_nchars(arg.C_, &length, &chars, CVT_ATOM | CVT_STRING | REP_ISO_LATIN_1)) {
    if (PL_is_atom(arg.C_) || PL_is_string(arg.C_)) {
      throwDomainError(domain, arg);  // a character the brick cannot store
    }
    throwTypeError("text", arg);
  }
  if (length > maxBytes || (!nul && std::strlen(chars) != length)) {
    throwDomainError(domain, arg);
  }
  return std::string(chars, length);
}

std::string fileNameArgument(const PlTerm& arg, bool pattern) {
  const char* domain = pattern ? "file_pattern" : "file_name";
  std::string name = textArgument(arg, Nxt::Files::kNameField, false, domain);
  if (!Nxt::Files::validName(name, pattern)) {
    throwDomainError(domain, arg);
  }
  return name;
}

std::vector<std::uint8_t> bytesArgument(const PlTerm& arg, std::size_t maxBytes,
                                        const char* domain) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  std::vector<std::uint8_t> bytes;
  term_t tail = PL_copy_term_ref(arg.C_);
  term_t head = PL_new_term_ref();
  if (tail == 0 || head == 0) {
    throwPending();
  }
  while (PL_get_list(tail, head, tail)) {
    PlTerm_term_t element(head);
    if (PL_is_variable(head)) {
      throwInstantiation();
    }
    if (!PL_is_integer(head)) {
      throwTypeError("integer", element);
    }
    int64_t value = 0;
    if (!PL_get_int64(head, &value) || value < 0 || value > 255 || bytes.size() == maxBytes) {
      throwDomainError(domain, arg);
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  if (!PL_get_nil(tail)) {
    if (PL_is_variable(tail)) {
      throwInstantiation();
    }
    throwTypeError("list", arg);
  }
  return bytes;
}

foreign_t unified(int ok) {
  if (!ok && PL_exception(0) != 0) {
    throwPending();
  }
  return ok ? TRUE : FALSE;
}

foreign_t unifyInteger64(const PlTerm& result, std::int64_t value) {
  return unified(PL_unify_int64(result.C_, value));
}

foreign_t unifyByteString(const PlTerm& result, const std::string& bytes) {
  return unified(
      PL_unify_chars(result.C_, PL_STRING | REP_ISO_LATIN_1, bytes.size(), bytes.data()));
}

foreign_t unifyByteList(const PlTerm& result, const std::vector<std::uint8_t>& bytes) {
  term_t list = PL_new_term_ref();
  if (list == 0 || !PL_put_nil(list)) {
    throwPending();
  }
  for (std::size_t i = bytes.size(); i-- > 0;) {
    term_t head = PL_new_term_ref();
    if (head == 0 || !PL_put_integer(head, bytes[i]) || !PL_cons_list(list, head, list)) {
      throwPending();
    }
  }
  return unified(PL_unify(result.C_, list));
}

int sensorKindArgument(const PlTerm& arg) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  atom_t name = 0;
  std::size_t arity = 0;
  char* argument = nullptr;
  if (PL_get_name_arity(arg.C_, &name, &arity) &&
      (arity == 0 || (arity == 1 && PL_get_atom_chars(argOf(arg, 1).C_, &argument)))) {
    const char* text = PL_atom_chars(name);
    for (const Kind& kind : kKinds) {
      if (std::strcmp(kind.name, text) == 0 &&
          (argument == nullptr
               ? kind.argument == nullptr
               : kind.argument != nullptr && std::strcmp(kind.argument, argument) == 0)) {
        return kind.code;
      }
    }
  }
  throwDomainError("sensor_kind", arg);
}

foreign_t unifySensorKind(const PlTerm& result, int code) {
  // The terms' atoms, made once: a reading loop may ask for the kind every time round.
  static const struct Atoms {
    atom_t name[sizeof kKinds / sizeof kKinds[0]];
    atom_t argument[sizeof kKinds / sizeof kKinds[0]];
    atom_t none = PL_new_atom("none");
    Atoms() {
      for (std::size_t i = 0; i < sizeof kKinds / sizeof kKinds[0]; ++i) {
        name[i] = PL_new_atom(kKinds[i].name);
        argument[i] = kKinds[i].argument != nullptr ? PL_new_atom(kKinds[i].argument) : 0;
      }
    }
  }* atoms = new Atoms();
  int ok = FALSE;
  std::size_t row = 0;
  while (row < sizeof kKinds / sizeof kKinds[0] && kKinds[row].code != code) {
    ++row;
  }
  if (row == sizeof kKinds / sizeof kKinds[0]) {
    ok = PL_unify_atom(result.C_, atoms->none);
  } else if (atoms->argument[row] == 0) {
    ok = PL_unify_atom(result.C_, atoms->name[row]);
  } else {
    ok = PL_unify_term(result.C_, PL_FUNCTOR, PL_new_functor(atoms->name[row], 1), PL_ATOM,
                       atoms->argument[row]);
  }
  if (!ok && PL_exception(0) != 0) {
    throwPending();
  }
  return ok ? TRUE : FALSE;
}

foreign_t unifyReading(const PlTerm& result, int kind, int value) {
  if (kind == Lib::SENSOR_COLOR_FULL && value >= 1 && value <= 6) {
    static const atom_t* colours = [] {
      atom_t* made = new atom_t[6];
      for (int i = 0; i < 6; ++i) {
        made[i] = PL_new_atom(kColours[i]);
      }
      return made;
    }();
    if (PL_unify_atom(result.C_, colours[value - 1])) {
      return TRUE;
    }
    if (PL_exception(0) != 0) {
      throwPending();
    }
    return FALSE;
  }
  return unifyInteger(result, value);
}

}  // namespace Prolog
}  // namespace Brick
