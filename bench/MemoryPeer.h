// A brick in memory that answers every telegram at once from a reply computed in advance for
// its opcode, so that a benchmark over it measures the link and class libraries and not the
// virtual brick's own bookkeeping.
#ifndef BENCH_MEMORYPEER_H
#define BENCH_MEMORYPEER_H

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "brick/Block.h"
#include "brick/Motor.h"
#include "brick/Sensor.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "sim/VirtualBrick.h"

namespace bench {

// A Block, three motors and one sensor of every family, attached to a peer in memory. While
// it is built, a virtual brick answers and its reply to each opcode is kept; afterwards the
// kept replies answer.
class MemoryPeer {
 public:
  MemoryPeer() {
    block.getCommunication().attach(
        new Comm::MemoryTransport([this](const std::uint8_t* p, std::size_t n,
                                         std::deque<std::vector<std::uint8_t>>& replies) {
          ++telegrams;
          if (n < 2) {
            return;
          }
          if (learning) {
            Sim::Bytes reply = sim.answer(p, n);
            if (!reply.empty()) {
              table[p[1]] = reply;
              replies.push_back(reply);
            }
            return;
          }
          const std::vector<std::uint8_t>& reply = table[p[1]];
          if ((p[0] & 0x80) == 0 && !reply.empty()) {
            replies.push_back(reply);
          }
        }),
        new Comm::PacketFraming());
    for (int port = 0; port < 3; ++port) {
      block.setMotor(&motors[port], port);
    }
    touch.setSensorType(Brick::Lib::SENSOR_TOUCH);
    light.setSensorType(Brick::Lib::SENSOR_LIGHT_ACTIVE);
    sound.setSensorType(Brick::Lib::SENSOR_SOUND_DB);
    sonar.setSensorType(Brick::Lib::SENSOR_ULTRASONIC);
    block.setSensor(&touch, 0);
    block.setSensor(&light, 1);
    block.setSensor(&sound, 2);
    block.setSensor(&sonar, 3);
    // One of each telegram, so that every opcode has its reply.
    char name[256] = "bench";
    block.setName(name);
    block.getName(name);
    block.playTone(440, 10);
    block.stopTone();
    block.getBatteryLevel();
    motors[0].moveForward(50);
    motors[0].getRotationCount();
    motors[0].resetRotationCount();
    touch.getValue();
    sonar.getValue();
    learning = false;
  }
  MemoryPeer(const MemoryPeer&) = delete;
  MemoryPeer& operator=(const MemoryPeer&) = delete;

  Sim::VirtualBrick sim;
  Brick::Lib::Block block;
  std::array<Brick::Lib::Motor, 3> motors;
  Brick::Lib::Sensor touch;
  Brick::Lib::Sensor light;
  Brick::Lib::Sensor sound;
  Brick::Lib::Sensor sonar;
  std::array<std::vector<std::uint8_t>, 256> table;
  bool learning = true;
  long telegrams = 0;
};

}  // namespace bench

#endif
