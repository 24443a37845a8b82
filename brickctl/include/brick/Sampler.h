// Samples sensors and motors of a brick at a steady pace into CSV rows with time stamps, for
// data logging. A channel is anything that gives a number: an input port's scaled value as the
// port is set up (addInput), a motor's rotation count (addMotor), or a reading of the caller's
// (add), e.g. a compass's heading. The input ports and motors of a row are read in one batch
// (their requests back to back, as the link allows: Batch); the caller's readings follow.
//
// run() takes a row every `everyMs` milliseconds from its start, each stamped with the
// milliseconds since then at which the row's first telegram went out. A row that comes late
// (a slow link, a busy machine) is taken at once and the rows after it keep their own
// schedule: none is skipped, so a run gives as many rows as it was asked for. A failed reading
// ends the run with its code (of BrickCode.h, recorded in the link's status record).
#ifndef BRICK_SAMPLER_H
#define BRICK_SAMPLER_H

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Sampler {
 public:
  using Reader = std::function<long(double& value)>;
  struct Channel {
    std::string name;
    Reader read;  // empty for an input port or a motor, read in the row's batch
    int port = -1;
    bool motor = false;
  };

  explicit Sampler(Block& block);
  explicit Sampler(Comm::SerialCommunication& link);

  // Input port 0 to 3, named "port1" to "port4"; motor 0 to 2, named "motorA" to "motorC".
  void addInput(int port);
  void addMotor(int port);
  void add(const std::string& name, Reader read);
  const std::vector<Channel>& channels() const { return list; }

  // One value per channel, in order.
  long sample(std::vector<double>& values);
  // "time_ms" and the channels' names, comma-separated, with its line end.
  std::string header() const;
  // Writes the header, then `rows` rows. `stop`, when given, is asked between rows.
  long run(int everyMs, int rows, std::ostream& csv, const std::function<bool()>& stop = {});

 private:
  Comm::SerialCommunication* link;
  std::vector<Channel> list;
};

}  // namespace Lib
}  // namespace Brick

#endif
