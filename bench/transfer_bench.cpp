// Upload and download speed of Files over the link models of the virtual brick, in bytes per
// second of modelled link time, against what the line itself could carry.
//
// Each exchange costs what the link model says a real brick's link costs (USB: the brick's
// 1 ms cycle and half a cycle for the reply; Bluetooth: two 30 ms radio turn-arounds plus the
// bytes at 460.8 kbit/s), so the figures do not depend on this machine's speed. The ratio is
// against the line's own rate: USB full speed moving one 64-byte packet per 1 ms frame, the
// Bluetooth serial line's 46 080 bytes per second.
#include <benchmark/benchmark.h>

#include <deque>
#include <vector>

#include "brick/Block.h"
#include "brick/Files.h"
#include "comm/MemoryTransport.h"
#include "comm/PacketFraming.h"
#include "sim/VirtualBrick.h"

namespace {

enum class Link { Usb, Bluetooth };

double legSeconds(Link link, std::size_t bytes, bool request) {
  if (link == Link::Usb) {
    return request ? 0.001 : 0.0005;
  }
  return 0.030 + static_cast<double>(bytes + 2) * 10 / 460800;
}

double lineBytesPerSecond(Link link) {
  return link == Link::Usb ? 64000.0 : 46080.0;
}

struct Rig {
  explicit Rig(Link l) : link(l) {
    block.getCommunication().attach(
        new Comm::MemoryTransport([this](const std::uint8_t* p, std::size_t n,
                                         std::deque<std::vector<std::uint8_t>>& replies) {
          Sim::Bytes reply = sim.answer(p, n);
          seconds += legSeconds(link, n, true) + legSeconds(link, reply.size(), false);
          if (!reply.empty()) {
            replies.push_back(reply);
          }
        }),
        new Comm::PacketFraming());
  }
  Link link;
  double seconds = 0;
  Sim::VirtualBrick sim;
  Brick::Lib::Block block;
};

void transfer(benchmark::State& state, Link link, bool upload) {
  Rig rig(link);
  Brick::Lib::Files files(rig.block);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(state.range(0)), 0x5A);
  std::vector<std::uint8_t> back;
  if (!upload) {
    files.upload("bench.bin", data);
  }
  double before = rig.seconds;
  std::size_t moved = 0;
  for (auto _ : state) {
    long code = upload ? files.upload("bench.bin", data) : files.download("bench.bin", back);
    if (code != 0) {
      state.SkipWithError("transfer failed");
      break;
    }
    moved += data.size();
    if (upload) {
      state.PauseTiming();
      files.remove("bench.bin");
      state.ResumeTiming();
    }
  }
  // Link time of the transfers alone: an upload run also paid for its deletes.
  double linkSeconds = rig.seconds - before;
  if (upload) {
    linkSeconds -= static_cast<double>(state.iterations()) *
                   (legSeconds(link, 22, true) + legSeconds(link, 23, false));
  }
  double rate = linkSeconds > 0 ? static_cast<double>(moved) / linkSeconds : 0;
  state.counters["link_bytes_per_s"] = rate;
  state.counters["of_line_rate"] = rate / lineBytesPerSecond(link);
}

void BM_UploadUsb(benchmark::State& s) {
  transfer(s, Link::Usb, true);
}
void BM_DownloadUsb(benchmark::State& s) {
  transfer(s, Link::Usb, false);
}
void BM_UploadBluetooth(benchmark::State& s) {
  transfer(s, Link::Bluetooth, true);
}
void BM_DownloadBluetooth(benchmark::State& s) {
  transfer(s, Link::Bluetooth, false);
}

}  // namespace

BENCHMARK(BM_UploadUsb)->Arg(4096)->Arg(65536);
BENCHMARK(BM_DownloadUsb)->Arg(4096)->Arg(65536);
BENCHMARK(BM_UploadBluetooth)->Arg(4096)->Arg(65536);
BENCHMARK(BM_DownloadBluetooth)->Arg(4096)->Arg(65536);

BENCHMARK_MAIN();
