// What the objects weigh, and whether a long run of operations keeps memory flat. Prints
// "name value" lines for bench/run: the size of each object, then resident memory before and
// after N operations (default one million) over a peer in memory.
//
// bench/run also runs it under valgrind --leak-check=full, where what matters is that nothing
// is lost and no error is reported.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemoryPeer.h"
#include "ProcStatus.h"
#include "brick/Log.h"
#include "comm/SerialCommunication.h"
#include "comm/tStatus.h"

namespace {

long residentKb() {
  return bench::statusKb("VmRSS:");
}

// One pass over a mix of the operations that send telegrams, the registry and the sensor
// switches included: twelve operations.
long pass(bench::MemoryPeer& p, long i) {
  long sum = 0;
  sum += p.block.getBatteryLevel();
  sum += p.motors[i % 3].moveForwardDegrees(50, 90);
  sum += p.motors[i % 3].getRotationCount();
  sum += p.motors[i % 3].stop();
  sum += p.touch.getValue();
  sum += p.light.getValue();
  sum += p.sonar.getValue();
  p.light.disableLight();
  p.light.enableLight();
  Brick::Lib::Motor spare;
  sum += p.block.setMotor(&spare, 7);
  sum += p.block.remMotor(7);
  sum += p.block.playTone(440, 10);
  return sum;
}

const long kOpsPerPass = 12;

}  // namespace

int main(int argc, char** argv) {
  long operations = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::printf("sizeof.Block %zu\n", sizeof(Brick::Lib::Block));
  std::printf("sizeof.Motor %zu\n", sizeof(Brick::Lib::Motor));
  std::printf("sizeof.Sensor %zu\n", sizeof(Brick::Lib::Sensor));
  std::printf("sizeof.Log %zu\n", sizeof(Brick::Lib::Log));
  std::printf("sizeof.Comm::SerialCommunication %zu\n", sizeof(Comm::SerialCommunication));
  std::printf("sizeof.nFANTOM100::tStatus %zu\n", sizeof(nFANTOM100::tStatus));

  bench::MemoryPeer p;
  long sum = 0;
  // Warm up: let the allocator and the link reach their working set first.
  for (long i = 0; i < 10000 / kOpsPerPass; ++i) {
    sum += pass(p, i);
  }
  // The first reading itself adds to the resident set: resolving the system calls' symbols
  // brings pages of the C library in. Take it once before the figure that counts.
  residentKb();
  long before = residentKb();
  long passes = operations / kOpsPerPass;
  long middle = 0;
  for (long i = 0; i < passes; ++i) {
    sum += pass(p, i);
    if (i == passes / 2) {
      middle = residentKb();
    }
  }
  long after = residentKb();
  std::printf("operations %ld\n", passes * kOpsPerPass);
  std::printf("rss.before.kb %ld\n", before);
  std::printf("rss.middle.kb %ld\n", middle);
  std::printf("rss.after.kb %ld\n", after);
  std::printf("telegrams %ld\n", p.telegrams);
  std::printf("link.ok %d\n", p.block.getStatus().isSuccess() ? 1 : 0);
  std::printf("checksum %ld\n", sum);
  return p.block.getStatus().isSuccess() ? 0 : 1;
}
