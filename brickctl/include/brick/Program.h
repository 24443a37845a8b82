// The program that runs on the brick: start one stored in its flash, stop it, and ask which
// one runs. Every operation returns 0 or a code of BrickCode.h (kBrickStatus + 0xEC: no program
// runs), recorded in the link's status record.
#ifndef BRICK_PROGRAM_H
#define BRICK_PROGRAM_H

#include <string>

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Program {
 public:
  explicit Program(Block& block);
  explicit Program(Comm::SerialCommunication& link);

  // Starts a program by its file name (at most 19 characters), e.g. "robot.rxe".
  long start(const std::string& name);
  long stop();
  // The name of the running program.
  long currentName(std::string& name);

 private:
  Comm::SerialCommunication* link;
};

}  // namespace Lib
}  // namespace Brick

#endif
