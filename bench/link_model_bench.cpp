// What the virtual brick's link models make of bursts and uploads, on the stepped clock: world
// seconds, the same on any machine. Prints one line per figure, tab-separated: name, measured
// seconds, the model's figure in seconds (or "-" where there is none to compare with).
//
//   64 KiB uploaded over Bluetooth in extended WRITEs (65532 data bytes, the most one length
//   prefix says, then the 4 left) against 61-byte WRITEs, each answered before the next;
//   ten GETBATTERYLEVEL in one write against ten sent one after the other's reply, per model.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/LinkModel.h"
#include "sim/PtyServer.h"
#include "sim/SteppedClock.h"
#include "sim/VirtualBrick.h"

namespace {

using Sim::Bytes;
using Kind = Sim::LinkModel::Kind;

struct Rig {
  explicit Rig(Kind kind) : clock(0) {
    server.setLinkModel(Sim::LinkModel(kind), [this](double s) {
      auto guard = server.lock();
      clock.step(s);
    });
    server.start();
    fd = ::open(server.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
  }
  ~Rig() {
    ::close(fd);
    server.stop();
  }
  void send(const std::vector<Bytes>& telegrams) {
    Bytes frames;
    for (const Bytes& t : telegrams) {
      frames.push_back(static_cast<std::uint8_t>(t.size() & 0xFF));
      frames.push_back(static_cast<std::uint8_t>(t.size() >> 8));
      frames.insert(frames.end(), t.begin(), t.end());
    }
    std::size_t done = 0;
    while (done < frames.size()) {
      ssize_t put = ::write(fd, frames.data() + done, frames.size() - done);
      if (put <= 0) {
        return;
      }
      done += static_cast<std::size_t>(put);
    }
  }
  Bytes take(std::size_t n) {
    Bytes out;
    while (out.size() < n) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) {
        break;
      }
      std::uint8_t buffer[4096];
      ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, n - out.size()));
      if (got <= 0) {
        break;
      }
      out.insert(out.end(), buffer, buffer + got);
    }
    return out;
  }
  Bytes reply() {
    Bytes prefix = take(2);
    return prefix.size() < 2 ? Bytes() : take(prefix[0] | prefix[1] << 8);
  }
  Bytes exchange(const Bytes& telegram) {
    send({telegram});
    return reply();
  }
  double seconds() {
    auto guard = server.lock();
    return clock.time();
  }

  Sim::SteppedClock clock;
  Sim::VirtualBrick sim;
  Sim::PtyServer server{sim};
  int fd = -1;
};

Bytes openWrite(const std::string& name, std::uint32_t size) {
  Bytes t{0x01, 0x81};
  t.insert(t.end(), name.begin(), name.end());
  t.resize(22, 0);
  for (int i = 0; i < 4; ++i) {
    t.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  }
  return t;
}

Bytes write(std::size_t bytes) {
  Bytes t{0x01, 0x83, 0x00};
  t.resize(3 + bytes, 0x5A);
  return t;
}

// World seconds to upload `size` bytes in WRITEs of at most `chunk` data bytes (OPEN WRITE and
// CLOSE not counted); -1 when the brick refused or did not answer.
double upload(std::size_t size, std::size_t chunk) {
  Rig rig(Kind::Bluetooth);
  if (rig.exchange(openWrite("upload.bin", static_cast<std::uint32_t>(size))) !=
      Bytes{0x02, 0x81, 0x00, 0x00}) {
    return -1;
  }
  double start = rig.seconds();
  for (std::size_t done = 0; done < size; done += chunk) {
    Bytes reply = rig.exchange(write(std::min(chunk, size - done)));
    if (reply.size() != 6 || reply[2] != 0) {
      return -1;
    }
  }
  double took = rig.seconds() - start;
  rig.exchange(Bytes{0x01, 0x84, 0x00});
  return took;
}

// World seconds for ten GETBATTERYLEVEL, in one write or each after the reply to the one before.
double battery(Kind kind, bool together) {
  Rig rig(kind);
  const Bytes telegram{0x00, 0x0B};
  if (together) {
    rig.send(std::vector<Bytes>(10, telegram));
    for (int i = 0; i < 10; ++i) {
      if (rig.reply().size() != 5) {
        return -1;
      }
    }
  } else {
    for (int i = 0; i < 10; ++i) {
      if (rig.exchange(telegram).size() != 5) {
        return -1;
      }
    }
  }
  return rig.seconds();
}

}  // namespace

int main() {
  const double turn = Sim::LinkModel::kRadioTurn;
  const double pass = Sim::LinkModel::kPass;
  auto line = Sim::LinkModel::lineSeconds;
  const std::size_t kib64 = 65536;
  const std::size_t most = 65532;
  // Each extended WRITE alone: the radio turns, its bytes cross, a pass, the radio turns back,
  // the 6-byte reply crosses.
  double extended =
      turn + line(most + 3) + pass + turn + line(6) + turn + line(4 + 3) + pass + turn + line(6);
  double chunks = 0;
  for (std::size_t done = 0; done < kib64; done += 61) {
    chunks += turn + line(3 + std::min<std::size_t>(61, kib64 - done)) + pass + turn + line(6);
  }
  std::printf("upload 64 KiB bluetooth extended WRITE\t%.6f\t%.6f\n", upload(kib64, most),
              extended);
  std::printf("upload 64 KiB bluetooth 61-byte WRITEs\t%.6f\t%.6f\n", upload(kib64, 61), chunks);
  const struct {
    const char* name;
    Kind kind;
    double together;  // the model's figure for ten in one write
    double alone;     // and for one telegram with its reply
  } models[] = {
      {"none", Kind::None, 0, 0},
      {"usb", Kind::Usb, 10 * pass + Sim::LinkModel::kUsbHold, pass + Sim::LinkModel::kUsbHold},
      {"bluetooth", Kind::Bluetooth, turn + line(2) + pass + turn + 10 * line(5),
       turn + line(2) + pass + turn + line(5)},
  };
  for (const auto& m : models) {
    std::printf("10 GETBATTERYLEVEL back to back %s\t%.6f\t%.6f\n", m.name, battery(m.kind, true),
                m.together);
    std::printf("10 GETBATTERYLEVEL one by one %s\t%.6f\t%.6f\n", m.name, battery(m.kind, false),
                10 * m.alone);
  }
  return 0;
}
