// Upload and download speed of Files for a 64 KiB file over bricksim's link models (USB and
// Bluetooth, sim/include/sim/LinkModel.h), in bytes per second of modelled link time, against
// the most file data the link can carry. The figures are the model's time, not this machine's,
// so they are the same on any machine.
//
// The limits: USB takes one 64-byte packet per 1 ms pass of the brick's firmware, 64,000 bytes
// a second. A WRITE is one packet of which 61 bytes are data (type, opcode and handle before
// them): 61,000 B/s up. A READ is one packet in, and its reply one packet out with at most 58
// data bytes (type, opcode, status, handle and a 2-byte count before them); two READs in one
// packet would be read as one telegram, so each READ costs the brick a pass of its own: 58,000
// B/s down. Bluetooth: the radio's serial line, 46,080 bytes a second either way.
//
// Prints, tab-separated: figure, bytes/s, the limit, ratio; each as Files moves a file now, and
// as it does for a host that asked for every reply (setConfirmCommands: USB WRITEs each
// answered) or a brick that refuses long telegrams (Bluetooth: 61/58-byte telegrams).
//
//   transfer_bench [BYTES]     (default 65536)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "brick/Block.h"
#include "brick/Files.h"
#include "comm/LengthPrefixFraming.h"
#include "comm/LinkCode.h"
#include "comm/PacketFraming.h"
#include "comm/Transport.h"
#include "protocol/LengthPrefix.h"
#include "sim/LinkModel.h"
#include "sim/VirtualBrick.h"

namespace {

// The virtual brick behind a link model, in memory. A run of telegrams the host sends without
// waiting is one burst of the model; once the host has read every reply and sends again, it
// waited, and a new burst starts after the time of the last.
class ModelledLink : public Comm::Transport {
 public:
  ModelledLink(Sim::VirtualBrick& brick, Sim::LinkModel::Kind kind)
      : sim(brick), model(kind), usb(kind == Sim::LinkModel::Kind::Usb) {
    sim.setLink(usb ? Sim::VirtualBrick::Link::Usb : Sim::VirtualBrick::Link::Bluetooth);
  }

  long write(const std::uint8_t* data, std::size_t n, const Comm::Deadline&) override {
    const std::uint8_t* t = usb ? data : data + Nxt::LengthPrefix::kPrefixBytes;
    std::size_t length = usb ? n : n - Nxt::LengthPrefix::kPrefixBytes;
    if (pending.empty() && waited) {
      finish();
    }
    model.take(length);
    burstEnd = std::max(burstEnd, model.now());
    Sim::Bytes reply;
    if (!usb && length > Sim::VirtualBrick::kMaxBluetoothTelegram && t[1] == 0x83) {
      sim.beginWrite(t, length, length);
      reply = sim.endWrite();
    } else {
      reply = sim.answer(t, length);
    }
    if (!reply.empty()) {
      burstEnd = std::max(burstEnd, model.give(reply.size()));
      if (usb) {
        packets.push_back(reply);
      } else {
        Sim::Bytes frame(reply.size() + Nxt::LengthPrefix::kPrefixBytes);
        Nxt::LengthPrefix::encode(reply.data(), reply.size(), frame.data());
        pending.insert(pending.end(), frame.begin(), frame.end());
      }
    }
    return Comm::kLinkOk;
  }

  long read(std::uint8_t* data, std::size_t n, const Comm::Deadline&) override {
    if (usb) {
      if (packets.empty()) {
        return Comm::kLinkTimeout;
      }
      Sim::Bytes packet = packets.front();
      packets.pop_front();
      std::size_t k = std::min(n, packet.size());
      std::copy(packet.begin(), packet.begin() + static_cast<long>(k), data);
      waited = packets.empty();
      return static_cast<long>(k);
    }
    if (pending.empty()) {
      return Comm::kLinkTimeout;
    }
    std::size_t k = std::min(n, pending.size());
    std::copy(pending.begin(), pending.begin() + static_cast<long>(k), data);
    pending.erase(pending.begin(), pending.begin() + static_cast<long>(k));
    waited = pending.empty();
    return static_cast<long>(k);
  }

  void discardInput() override {
    pending.clear();
    packets.clear();
  }
  void close() override {}
  bool isPacketBased() const override { return usb; }

  // Ends the burst under way; the link's time so far.
  double finish() {
    seconds += burstEnd;
    burstEnd = 0;
    model.idle();
    waited = false;
    return seconds;
  }

 private:
  Sim::VirtualBrick& sim;
  Sim::LinkModel model;
  bool usb;
  bool waited = false;
  double burstEnd = 0;
  double seconds = 0;
  std::deque<std::uint8_t> pending;  // Bluetooth: the byte stream back to the host
  std::deque<Sim::Bytes> packets;    // USB: one reply per packet
};

struct Figures {
  double up = 0;
  double down = 0;
};

Figures measure(Sim::LinkModel::Kind kind, bool shortTelegrams, std::size_t bytes) {
  Sim::VirtualBrick sim;
  Brick::Lib::Block block;
  auto* link = new ModelledLink(sim, kind);
  Comm::Framing* framing = kind == Sim::LinkModel::Kind::Usb
                               ? static_cast<Comm::Framing*>(new Comm::PacketFraming())
                               : new Comm::LengthPrefixFraming();
  block.getCommunication().attach(link, framing);
  if (shortTelegrams) {
    block.getCommunication().keepToShortTelegrams();
    block.getCommunication().setConfirmCommands(true);
  }
  Brick::Lib::Files files(block);
  std::vector<std::uint8_t> data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    data[i] = static_cast<std::uint8_t>(i * 7);
  }
  Figures rate;
  double start = link->finish();
  if (files.upload("bench.bin", data) != 0) {
    std::fprintf(stderr, "transfer_bench: upload failed\n");
    std::exit(1);
  }
  double uploaded = link->finish();
  std::vector<std::uint8_t> back;
  if (files.download("bench.bin", back) != 0 || back != data) {
    std::fprintf(stderr, "transfer_bench: download failed\n");
    std::exit(1);
  }
  double downloaded = link->finish();
  rate.up = static_cast<double>(bytes) / (uploaded - start);
  rate.down = static_cast<double>(bytes) / (downloaded - uploaded);
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 65536;
  struct Row {
    const char* link;
    Sim::LinkModel::Kind kind;
    double up, down;  // the file data the link carries at most, bytes a second
  };
  const Row rows[] = {{"usb", Sim::LinkModel::Kind::Usb, 61000.0, 58000.0},
                      {"bluetooth", Sim::LinkModel::Kind::Bluetooth, 46080.0, 46080.0}};
  std::printf("figure\tbytes/s\tlimit\tratio\n");
  for (const Row& row : rows) {
    for (bool shortOnes : {false, true}) {
      Figures f = measure(row.kind, shortOnes, bytes);
      const bool usb = row.kind == Sim::LinkModel::Kind::Usb;
      const char* how =
          usb ? (shortOnes ? "each WRITE answered, READs back to back"
                           : "WRITEs unanswered, READs back to back")
              : (shortOnes ? "61/58-byte telegrams, each answered" : "16 KiB WRITEs and READs");
      std::printf("file upload of %zu bytes, %s, %s\t%.0f\t%.0f\t%.3f\n", bytes, row.link, how,
                  f.up, row.up, f.up / row.up);
      std::printf("file download of %zu bytes, %s, %s\t%.0f\t%.0f\t%.3f\n", bytes, row.link, how,
                  f.down, row.down, f.down / row.down);
    }
  }
  return 0;
}
