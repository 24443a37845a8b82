/// @file
/// @brief brick::Sampler, sensors and motors sampled at a steady pace into CSV rows.
#ifndef BRICK_SAMPLER_HPP
#define BRICK_SAMPLER_HPP

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "brick/Error.hpp"
#include "brick/Export.h"
#include "brick/Input.hpp"
#include "brick/Port.hpp"

namespace Comm {
class SerialCommunication;
}

namespace brick {

class Brick;

/// @brief Samples inputs, motors and readings of the program's own into rows of numbers, for
/// data logging.
///
/// A channel is an input's scaled value as the input is set up (add(Input), named "port1" to
/// "port4"), a motor's position in degrees (add(Port), "motorA" to "motorC"), or a named
/// reading of the program's (add(std::string, Reading)), e.g. a compass's heading. The inputs
/// and motors of a row are read in one batch, their requests back to back as the link allows;
/// the readings follow, in the order added. A reading reports a failure by throwing
/// brick::Error (or another std::system_error), whose code the sample takes; any other
/// exception is taken as Errc::stopped.
///
/// Made from a brick::Brick, sending nothing; use it from one thread at a time, and only while
/// its brick is open.
class BRICKCTL_API Sampler {
 public:
  /// @brief A reading of the program's own.
  using Reading = std::function<double()>;

  /// @brief A sampler of `brick` without channels; sends nothing.
  /// @param brick the brick.
  explicit Sampler(Brick& brick) noexcept;

  /// @brief Adds `input`'s scaled value as a channel, named "port1" to "port4".
  /// @param input the input; set it up beforehand (e.g. Brick::lightSensor()).
  void add(Input input);
  /// @brief Adds the position of the motor on `port` as a channel, named "motorA" to "motorC".
  /// @param port the motor's output.
  void add(Port port);
  /// @brief Adds a reading of the program's own as a channel.
  /// @param name its column's name in header().
  /// @param reading called once a row, after the batch.
  void add(std::string name, Reading reading);
  /// @brief The channels' names, in order.
  /// @return the names.
  std::vector<std::string> names() const;

  /// @brief One value per channel, in order, the inputs and motors read in one batch.
  /// @return the values.
  /// @throws brick::Error a link failure, the brick's refusal, or a reading's failure.
  std::vector<double> sample() {
    std::error_code ec;
    std::vector<double> values = sample(ec);
    Error::throwIf(ec, "brick::Sampler::sample");
    return values;
  }
  /// @brief Same as sample(), setting `ec` instead of throwing.
  /// @param ec cleared on success, else the failure.
  /// @return the values; none when `ec` is set.
  std::vector<double> sample(std::error_code& ec) noexcept;

  /// @brief The CSV header: "time_ms" and the channels' names, comma-separated, with its line
  /// end.
  /// @return the line.
  std::string header() const;

  /// @brief Writes header() to `csv`, then `rows` rows, one every `every` from the start, each
  /// the milliseconds since the start at which it was taken and the channels' values. A row
  /// that comes late (a slow link, a busy machine) is taken at once and the next keep their
  /// own schedule: none is skipped.
  /// @param every the time between rows, 1 ms to 24 hours.
  /// @param rows how many rows, 0 or more.
  /// @param csv where the lines go, each flushed as it is written.
  /// @param stop when given, asked before each row and while waiting for it: true ends the run
  /// there, without error.
  /// @throws brick::Error Errc::bad_value for `every` or `rows` out of range (nothing sent), a
  /// link failure, the brick's refusal, or a reading's failure, which end the run.
  void run(std::chrono::milliseconds every, int rows, std::ostream& csv,
           const std::function<bool()>& stop = {}) {
    std::error_code ec;
    run(every, rows, csv, stop, ec);
    Error::throwIf(ec, "brick::Sampler::run");
  }
  /// @brief Same as run(std::chrono::milliseconds, int, std::ostream&, const
  /// std::function<bool()>&), setting `ec` instead of throwing.
  /// @param every the time between rows, 1 ms to 24 hours.
  /// @param rows how many rows, 0 or more.
  /// @param csv where the lines go.
  /// @param stop when given, asked before each row: true ends the run.
  /// @param ec cleared on success, else the failure.
  void run(std::chrono::milliseconds every, int rows, std::ostream& csv,
           const std::function<bool()>& stop, std::error_code& ec) noexcept;

 private:
  struct Channel {
    std::string name;
    Reading reading;  // empty for an input or a motor
    int index = 0;    // the input or the motor, from 0
    bool motor = false;
  };

  Comm::SerialCommunication* link;
  std::vector<Channel> channels;
};

}  // namespace brick

#endif
