// Whether the virtual brick, as bricksim serves it for days, keeps its memory flat: a million
// telegrams (argument: how many) of every kind a host sends most, cut from one byte stream as
// the server cuts them, answered by the brick in a robot on a stepped clock, each traced into
// the live page's log. Prints "name value" lines for bench/run: resident memory after 10^4
// telegrams and at the end, and the peak.
//
//   sim_memory_bench [N] [tones]   with "tones", every 16th telegram is a PLAYTONE: the robot
//                                  marks each tone on its map (up to 200,000 marks, by design)
//                                  and that log is what grows then.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ProcStatus.h"
#include "protocol/LengthPrefix.h"
#include "sim/Robot.h"
#include "sim/SteppedClock.h"
#include "sim/TelegramStream.h"
#include "sim/TraceLog.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace {

// The telegrams of a host driving a robot: motors, sensors, the ultrasonic bus, tones,
// mailboxes and the name. The robot turns on the spot, so that its path (kept up to 200,000
// points by design) does not grow and only what the brick keeps per telegram is measured.
std::vector<std::uint8_t> session(bool tones) {
  const std::vector<std::vector<std::uint8_t>> telegrams = {
      {0x00, 0x04, 0x01, 75, 0x05, 0x01, 0, 0x20, 0, 0, 0, 0},
      {0x00, 0x04, 0x02, 0xB5, 0x05, 0x01, 0, 0x20, 0, 0, 0, 0},
      {0x00, 0x05, 0x00, 0x01, 0x20},
      {0x00, 0x07, 0x00},
      {0x00, 0x06, 0x00},
      {0x00, 0x0B},
      {0x00, 0x03, 0xB8, 0x01, 0x0A, 0x00},  // PLAYTONE, or a second GETBATTERYLEVEL
      {0x00, 0x05, 0x03, 0x0B, 0x00},
      {0x00, 0x0F, 0x03, 0x02, 0x01, 0x02, 0x42},
      {0x00, 0x0E, 0x03},
      {0x00, 0x10, 0x03},
      {0x80, 0x09, 0x01, 0x03, 'h', 'i', 0},
      {0x00, 0x13, 0x0A, 0x00, 0x01},
      {0x01, 0x9B},
      {0x00, 0x0D},
      {0x01, 0x88},
  };
  std::vector<std::uint8_t> stream;
  for (auto t : telegrams) {
    if (t[1] == 0x03 && !tones) {
      t = {0x00, 0x0B};
    }
    std::uint8_t frame[Nxt::LengthPrefix::kMaxFrame];
    std::size_t n = Nxt::LengthPrefix::encode(t.data(), t.size(), frame);
    stream.insert(stream.end(), frame, frame + n);
  }
  return stream;
}

}  // namespace

int main(int argc, char** argv) {
  long telegrams = argc > 1 ? std::atol(argv[1]) : 1000000;
  Sim::SteppedClock clock(0.01);
  Sim::VirtualBrick brick;
  Sim::Robot robot(Sim::World::builtIn(), clock);
  robot.attach(brick);
  Sim::TraceLog trace;
  Sim::TelegramStream stream;
  const bool tones = argc > 2 && std::strcmp(argv[2], "tones") == 0;
  const std::vector<std::uint8_t> bytes = session(tones);
  long answered = 0;
  long early = -1;
  std::size_t replyBytes = 0;
  Sim::Bytes telegram;
  while (answered < telegrams) {
    stream.add(bytes.data(), bytes.size());
    while (answered < telegrams && stream.next(telegram)) {
      Sim::Bytes reply = brick.answer(telegram);
      replyBytes += reply.size();
      for (const std::string& line : Sim::TraceLog::lines(telegram, reply)) {
        trace.add(line);
      }
      if (++answered == 10000) {
        early = bench::statusKb("VmRSS:");
      }
    }
  }
  std::printf("telegrams %ld\n", answered);
  std::printf("rss.1e4.kb %ld\n", early);
  std::printf("rss.end.kb %ld\n", bench::statusKb("VmRSS:"));
  std::printf("rss.peak.kb %ld\n", bench::statusKb("VmHWM:"));
  std::printf("kept.telegrams %zu\n", brick.received().size());
  std::printf("kept.tones %zu\n", brick.tones.size());
  std::printf("path.points %zu\n", robot.path().size());
  std::printf("map.marks %zu\n", robot.events().size());
  std::printf("reply.bytes %zu\n", replyBytes);
  return brick.receivedCount() == static_cast<std::uint64_t>(answered) ? 0 : 1;
}
