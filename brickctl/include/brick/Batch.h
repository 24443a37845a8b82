// Several readings, and motor commands, in one run over the link: the requests go back to back
// (Comm::SerialCommunication::pipeline), at most `inFlight` awaiting their replies, so a cycle
// of a robot's control loop costs the link's round trip a few times instead of once per
// telegram. Over Bluetooth a brick keeps two replies at most (more could be lost): 2 is the
// default. The USB model of bricksim, and a brick on USB, take more.
//
// An ultrasonic reading is its LSWRITE, sent first, and an LSREAD sent last, so the sensor
// measures while the other requests go; an LSREAD still "pending" is asked again alone, and a
// brick that does not say "pending" gets the reading the long way (Ultrasonic::read).
//
// Results stay until the next run. Every operation returns 0 or a code of BrickCode.h, recorded
// in the link's status record; an item's own outcome is in its result.
#ifndef BRICK_BATCH_H
#define BRICK_BATCH_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brick/BrickCode.h"
#include "brick/Export.h"
#include "brick/Input.h"
#include "brick/Output.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Batch {
 public:
  enum class What { Input, Output, Ultrasonic, SetOutput };
  struct Result {
    What what = What::Input;
    int port = 0;
    long code = 0;         // 0, or this item's failure
    Input::Values input;   // What::Input
    Output::State output;  // What::Output
    int centimetres = 0;   // What::Ultrasonic
  };

  explicit Batch(Block& block);
  explicit Batch(Comm::SerialCommunication& link);

  // Each adds an item and returns its index among the results. A port out of range is refused
  // when the batch runs, in that item's result, before anything is sent.
  std::size_t input(int port);       // GETINPUTVALUES
  std::size_t output(int port);      // GETOUTPUTSTATE
  std::size_t ultrasonic(int port);  // the distance, as Ultrasonic::read gives it
  // SETOUTPUTSTATE as Output::setState takes it, sent after the readings.
  std::size_t setOutput(int port, int power, std::uint8_t mode, std::uint8_t regulation,
                        int turnRatio, std::uint8_t runState, std::uint32_t tachoLimit);
  // Speed-regulated run at `power` without a limit, braking at its end (Output::runRegulated).
  std::size_t runRegulated(int port, int power);

  // Sends everything; 0 when every item succeeded, else the first item's failure.
  long run();
  const Result& result(std::size_t index) const { return results.at(index); }
  std::size_t size() const { return items.size(); }
  // Forgets the items and their results.
  void clear();

  // Replies awaited at once, at least 1.
  std::size_t inFlight = 2;

 private:
  struct Item {
    What what;
    int port;
    int power = 0;
    std::uint8_t mode = 0;
    std::uint8_t regulation = 0;
    int turnRatio = 0;
    std::uint8_t runState = 0;
    std::uint32_t tachoLimit = 0;
  };
  std::size_t add(const Item& item);
  // The pending LSREAD polled alone, or the whole reading again when the brick does not say so.
  long finishUltrasonic(std::size_t index, long lsReadCode, const std::uint8_t* lsRead);

  Comm::SerialCommunication* link;
  std::vector<Item> items;
  std::vector<Result> results;
};

}  // namespace Lib
}  // namespace Brick

#endif
