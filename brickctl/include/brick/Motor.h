// One motor on one output port of a brick (0, 1, 2 for A, B, C). Each operation is one direct
// command; once it is sent the brick runs, brakes or floats the motor by itself.
//
// A Motor is usable once Block::setMotor has attached it. On a Motor that was never attached
// the operations send nothing and return -1.
#ifndef BRICK_MOTOR_H
#define BRICK_MOTOR_H

#include "brick/Export.h"

namespace Comm {
class SerialCommunication;
}

namespace Brick {
namespace Lib {

class Block;

class BRICKCTL_API Motor {
 public:
  Motor();
  Motor(const Motor& other);
  Motor& operator=(const Motor& other);
  ~Motor();

  // Runs at `power` (-100 to 100; sent as its low 8 bits, unclamped) without a limit.
  int moveForward(int power);
  int moveBackward(int power);
  // Runs until the tacho count has advanced `degrees` (0: no limit).
  int moveForwardDegrees(int power, int degrees);
  int moveBackwardDegrees(int power, int degrees);
  // Brakes (holds the motor still) or lets it float, by the brake flag.
  int stop();
  // Stores the brake flag and at once sends what stop() sends for it.
  int setBrake(bool brake);
  // Resets the rotation count that getRotationCount reads.
  int resetRotationCount();
  // Degrees turned since the last reset, negative backwards.
  int getRotationCount();
  void setLogLevel(int level);

 protected:
  int setPort(int port);
  int setCommunication(Comm::SerialCommunication* link);

 private:
  friend class Block;

  int setOutputState(int power, unsigned char mode, unsigned char regulation,
                     unsigned char runState, int tachoLimit);

  Comm::SerialCommunication* link;
  int port;
  bool brake;
};

}  // namespace Lib
}  // namespace Brick

#endif
