// library(brick)'s readings of several ports in one run over the link (a Lib::Batch), and the
// per-brick choices that shape its traffic: replies to commands, replies awaited at once.
#include <SWI-Prolog.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Arguments.h"
#include "BrickErrors.h"
#include "Exchange.h"
#include "Frame.h"
#include "brick/Batch.h"
#include "brick/Sensor.h"
#include "protocol/Nxt.h"

namespace Brick {
namespace Prolog {

namespace {

// One item of brick_read/2's list: what it reads and how its value shows.
struct Wanted {
  std::size_t index;  // kPower for a motor set running: `kind` holds its power
  int kind;           // the sensor's kind, 0 for a rotation count
};

const std::size_t kPower = static_cast<std::size_t>(-1);

// '$brick_read'(+Brick, +Items, -Values): Items are sensor(Port, _), rotation(Port, _) and
// run(Port, Power).
foreign_t brickRead(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  std::vector<Wanted> wanted;
  Lib::Batch batch(handle.block());
  {
    Exchange exchange(handle, "brick_read");
    term_t list = PL_copy_term_ref(a[1].C_);
    term_t item = PL_new_term_ref();
    while (PL_get_list(list, item, list)) {
      atom_t name = 0;
      std::size_t arity = 0;
      if (!PL_get_name_arity(item, &name, &arity) || arity != 2) {
        throwDomainError("brick_read_item", PlTerm_term_t(item));
      }
      term_t port = PL_new_term_ref();
      PL_get_arg(1, item, port);
      std::string functor = PL_atom_chars(name);
      if (functor == "sensor") {
        int p = sensorPort(PlTerm_term_t(port));
        int kind = handle.sensorKind(p);
        if (kind == 0) {
          throwError(
              PlCompound("existence_error", PlTermv(PlTerm_atom("sensor"), PlTerm_term_t(item))));
        }
        std::size_t index = kind == Lib::SENSOR_ULTRASONIC ? batch.ultrasonic(p) : batch.input(p);
        wanted.push_back(Wanted{index, kind});
      } else if (functor == "rotation") {
        wanted.push_back(Wanted{batch.output(motorPort(PlTerm_term_t(port))), 0});
      } else if (functor == "run") {
        // As motor_run/2 sends it, after the readings, in the same run.
        term_t power = PL_new_term_ref();
        PL_get_arg(2, item, power);
        int p = motorPort(PlTerm_term_t(port));
        int value = static_cast<int>(rangeArgument(PlTerm_term_t(power), -100, 100, "motor_power"));
        batch.setOutput(p, value, Nxt::kModeMotorOn | Nxt::kModeRegulated,
                        Nxt::kRegulationMotorSpeed, 0, Nxt::kRunStateRunning, 0);
        wanted.push_back(Wanted{kPower, value});
      } else {
        throwDomainError("brick_read_item", PlTerm_term_t(item));
      }
    }
    if (!PL_get_nil(list)) {
      throwTypeError("list", a[1]);
    }
    batch.inFlight = handle.inFlight;
    exchange.checkCode(batch.run());
  }
  term_t values = PL_new_term_ref();
  PL_put_nil(values);
  for (auto w = wanted.rbegin(); w != wanted.rend(); ++w) {
    term_t head = PL_new_term_ref();
    if (w->index == kPower) {
      if (!PL_put_integer(head, w->kind) || !PL_cons_list(values, head, values)) {
        throwPending();
      }
      continue;
    }
    const Lib::Batch::Result& r = batch.result(w->index);
    int value = 0;
    if (w->kind == 0) {
      value = r.output.rotationCount;
    } else if (w->kind == Lib::SENSOR_ULTRASONIC) {
      value = r.centimetres;
    } else if (w->kind == Lib::SENSOR_TOUCH) {
      value = static_cast<std::uint16_t>(r.input.scaled) & 0xFF;  // as sensor_value/2 reads it
    } else {
      value = static_cast<std::uint16_t>(r.input.scaled);
    }
    if (!unifyReading(PlTerm_term_t(head), w->kind, value) || !PL_cons_list(values, head, values)) {
      throwPending();
    }
  }
  return unified(PL_unify(a[2].C_, values));
}

// '$brick_replies'(+Brick, +Bool): whether motor, tone, sound and sensor-mode commands ask for
// the brick's reply.
foreign_t brickReplies(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  bool on = boolArgument(a[1]);
  std::lock_guard<std::mutex> guard(handle.lock());
  handle.block().getCommunication().setConfirmCommands(on);
  return TRUE;
}

// '$brick_in_flight'(+Brick, +N): replies brick_read/2 awaits at once.
foreign_t brickInFlight(const PlTermv& a) {
  BrickHandle& handle = brickArgument(a[0]);
  long n = rangeArgument(a[1], 1, 16, "in_flight");
  std::lock_guard<std::mutex> guard(handle.lock());
  handle.inFlight = static_cast<std::size_t>(n);
  return TRUE;
}

constexpr ForeignPredicate kPredicates[] = {
    {"$brick_read", 3, predicate<3, brickRead>},
    {"$brick_replies", 2, predicate<2, brickReplies>},
    {"$brick_in_flight", 2, predicate<2, brickInFlight>},
};

__attribute__((constructor)) void registerRead() {
  registerPredicates(kPredicates);
}

}  // namespace

}  // namespace Prolog
}  // namespace Brick
