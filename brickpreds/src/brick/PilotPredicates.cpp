// The foreign part of library(brick)'s pilot (brick/pilot.pl): a Lib::Pilot per pilot, kept
// here by number, the Prolog term pilot(Brick, Number) naming it (and keeping its brick from
// being collected). Each call is one Exchange: a move is queued and started, then carried on
// one look at a time by '$pilot_update', so that other threads' predicates (an event watcher,
// say) get the brick between two looks.
#include <SWI-cpp2.h>

#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/Pilot.h"

namespace Brick {
namespace Prolog {

namespace {

struct Entry {
  BrickHandle* handle;
  std::unique_ptr<Lib::Pilot> pilot;
};

std::mutex registryLock;
std::map<long, Entry> registry;
long lastNumber = 0;

double numberArgument(const PlTerm& arg, const char* domain) {
  if (PL_is_variable(arg.C_)) {
    throwInstantiation();
  }
  double value = 0;
  if (!PL_is_number(arg.C_) || !PL_get_float(arg.C_, &value)) {
    throwTypeError("number", arg);
  }
  if (!std::isfinite(value)) {
    throwDomainError(domain, arg);
  }
  return value;
}

// The pilot numbered by a[1], of the brick a[0].
Lib::Pilot& pilotArgument(const PlTermv& a, BrickHandle*& handle) {
  handle = &brickArgument(a[0]);
  long number = rangeArgument(a[1], 1, 0x7FFFFFFF, "pilot");
  std::lock_guard<std::mutex> hold(registryLock);
  auto found = registry.find(number);
  if (found == registry.end() || found->second.handle != handle) {
    throwError(PlCompound("existence_error", PlTermv(PlTerm_atom("pilot"), a[1])));
  }
  return *found->second.pilot;
}

// '$pilot_new'(+Brick, +Left, +Right, +Reversed, +Diameter, +Track, +Power, -Number)
foreign_t pilotNew(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  Lib::Pilot::Config config;
  config.leftPort = motorPort(a[1]);
  config.rightPort = motorPort(a[2]);
  if (config.leftPort == config.rightPort) {
    throwDomainError("motor_pair", a[2]);
  }
  config.reversed = boolArgument(a[3]);
  config.wheelDiameter = numberArgument(a[4], "wheel_diameter");
  config.track = numberArgument(a[5], "track");
  if (config.wheelDiameter <= 0) {
    throwDomainError("wheel_diameter", a[4]);
  }
  if (config.track <= 0) {
    throwDomainError("track", a[5]);
  }
  config.power = static_cast<int>(rangeArgument(a[6], 10, 100, "motor_power"));
  long number = 0;
  {
    std::lock_guard<std::mutex> hold(registryLock);
    number = ++lastNumber;
    registry[number] =
        Entry{&handle, std::unique_ptr<Lib::Pilot>(new Lib::Pilot(handle.block(), config))};
  }
  return unifyInteger64(a[7], number);
}

// '$pilot_move'(+Brick, +Number, +Kind, +A, +B): queues a move and starts it if none runs.
foreign_t pilotMove(const PlTermv& a) {
  BrickHandle* handle = nullptr;
  Lib::Pilot& pilot = pilotArgument(a, handle);
  char* kind = nullptr;
  if (!PL_get_atom_chars(a[2].C_, &kind)) {
    throwTypeError("atom", a[2]);
  }
  std::string what = kind;
  double first = numberArgument(a[3], "pilot_move");
  double second = numberArgument(a[4], "pilot_move");
  std::string operation = "pilot_" + what;
  Exchange exchange(*handle, operation.c_str());
  if (what == "travel") {
    exchange.checkCode(pilot.travel(first, false));
  } else if (what == "rotate") {
    exchange.checkCode(pilot.rotate(first, false));
  } else if (what == "arc") {
    exchange.checkCode(pilot.arc(first, second, false));
  } else if (what == "go_to") {
    exchange.checkCode(pilot.goTo(first, second, false));
  } else {
    throwDomainError("pilot_move", a[2]);
  }
  return TRUE;
}

// '$pilot_update'(+Brick, +Number, -Moving, -X, -Y, -Heading)
foreign_t pilotUpdate(const PlTermv& a) {
  BrickHandle* handle = nullptr;
  Lib::Pilot& pilot = pilotArgument(a, handle);
  Lib::Pose pose;
  bool moving = false;
  {
    Exchange exchange(*handle, "pilot_wait");
    exchange.checkCode(pilot.update());
    pose = pilot.pose();
    moving = pilot.moving();
  }
  return unified(PL_unify_atom_chars(a[2].C_, moving ? "true" : "false") &&
                 PL_unify_float(a[3].C_, pose.x) && PL_unify_float(a[4].C_, pose.y) &&
                 PL_unify_float(a[5].C_, pose.heading));
}

// '$pilot_stop'(+Brick, +Number)
foreign_t pilotStop(const PlTermv& a) {
  BrickHandle* handle = nullptr;
  Lib::Pilot& pilot = pilotArgument(a, handle);
  Exchange exchange(*handle, "pilot_stop");
  exchange.checkCode(pilot.stop());
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"$pilot_new", 8, predicate<8, pilotNew>},
    {"$pilot_move", 5, predicate<5, pilotMove>},
    {"$pilot_update", 6, predicate<6, pilotUpdate>},
    {"$pilot_stop", 2, predicate<2, pilotStop>},
};

__attribute__((constructor)) void registerPilot() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
