// The virtual brick's file system as the brick's own firmware answers it, case by case: raw
// telegrams over the pseudo-terminal (the Bluetooth framing), in hex, and the reply to each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrickFixture.h"
#include "WireClient.h"
#include "sim/FlashStore.h"

namespace {

using test::counting;
using test::hex;
using test::nameField;
using test::PtyPeer;
using test::zeros;

struct Row {
  std::string telegram;
  std::string reply;
};

// A size or a count in 4 little-endian bytes, as hex.
std::string u32(std::uint32_t v) {
  return hex(Sim::Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
}

std::string openWrite(const std::string& name, std::uint32_t size, const char* op = "81") {
  return std::string("01 ") + op + " " + nameField(name) + " " + u32(size);
}

// A FIND FIRST or FIND NEXT reply that found `name` of `size` bytes with `handle`.
std::string found(const char* op, const char* handle, const std::string& name, std::uint32_t size) {
  return std::string("02 ") + op + " 00 " + handle + " " + nameField(name) + " " + u32(size);
}

class FirmwareFiles : public PtyPeer {
 protected:
  void run(const std::vector<Row>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(exchange(rows[i].telegram), rows[i].reply)
          << "row " << i << ": " << rows[i].telegram.substr(0, 40);
    }
  }
  void store(const std::string& name, const Sim::Bytes& data) {
    auto guard = server.lock();
    ASSERT_TRUE(sim.flash.store(name, data)) << name;
  }
};

// Only a name's length is checked (at most 19 characters), and names compare in any case: one
// flash cannot hold "hello.rxe" and "Hello.rxe". No program or system file is a data file.
TEST_F(FirmwareFiles, NamesAreCheckedByLengthOnlyAndCompareInAnyCase) {
  run({
      {openWrite("noext", 1), "02 81 00 00"},
      {"01 83 00 41", "02 83 00 00 01 00"},
      {"01 84 00", "02 84 00 00"},
      {openWrite("abcdefghijklmnop.tx", 0), "02 81 00 00"},  // 19 characters
      {"01 84 00", "02 84 00 00"},
      {openWrite("w3.rxe.txt", 0), "02 81 00 00"},
      {"01 84 00", "02 84 00 00"},
      {openWrite("abcdefghijklmnop.txt", 0), "02 81 92 00"},  // 20: the field holds no NUL
      {openWrite("hello.rxe", 2), "02 81 00 00"},
      {"01 83 00 68 69", "02 83 00 00 02 00"},
      {"01 84 00", "02 84 00 00"},
      {openWrite("Hello.rxe", 2), "02 81 8F 00"},
      {"01 80 " + nameField("HELLO.RXE"), "02 80 00 00 02 00 00 00"},
      {"01 82 00 02 00", "02 82 00 00 02 00 68 69"},
      {"01 84 00", "02 84 00 00"},
      {openWrite("log.rxe", 10, "8B"), "02 8B 92 00"},
      {openWrite("log.SYS", 10, "8B"), "02 8B 92 00"},
      {openWrite("log.txt", 10, "8B"), "02 8B 00 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 85 " + nameField("NOEXT"), "02 85 00 " + nameField("NOEXT")},
      {"01 80 " + nameField("noext"), "02 80 87" + zeros(5)},
  });
}

// "*.*", "NAME.*", "*.EXT" (".EXT" anywhere in the name) or a whole name, in any case. FIND NEXT
// that finds no more keeps its handle until the client's CLOSE; a FIND FIRST that finds nothing
// leaves none open.
TEST_F(FirmwareFiles, SearchesFollowTheBricksPatternsAndStayOpenUntilClosed) {
  store("w2.rxe", Sim::Bytes{1});
  store("w3.rxe.txt", {});
  store("Prog.txt", {});
  store("noext", {});
  const std::string none = "02 87 87 00" + zeros(24);
  run({
      {"01 86 " + nameField("*.*"), found("86", "00", "w2.rxe", 1)},
      {"01 87 00", found("87", "00", "w3.rxe.txt", 0)},
      {"01 87 00", found("87", "00", "Prog.txt", 0)},
      {"01 87 00", found("87", "00", "noext", 0)},
      {"01 87 00", none},
      {"01 87 00", none},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("*.rx"), found("86", "00", "w2.rxe", 1)},
      {"01 87 00", found("87", "00", "w3.rxe.txt", 0)},
      {"01 87 00", none},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("*.TXT"), found("86", "00", "w3.rxe.txt", 0)},
      {"01 87 00", found("87", "00", "Prog.txt", 0)},
      {"01 87 00", none},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("PROG.*"), found("86", "00", "Prog.txt", 0)},
      {"01 87 00", none},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("W3.RXE.TXT"), found("86", "00", "w3.rxe.txt", 0)},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("w*.rxe"), "02 86 87 00" + zeros(24)},  // no pattern: a name
      {"01 84 00", "02 84 88 00"},
  });
}

// 16 handles, of which 4 may write. A wrong handle, a closed one or one open the other way
// answers 0x93 in the reply's full length; CLOSE checks no handle above 15.
TEST_F(FirmwareFiles, SixteenHandlesFourWritersAndWrongHandles) {
  store("a.txt", Sim::Bytes{1, 2, 3, 4});
  std::vector<Row> rows;
  for (int i = 0; i < 4; ++i) {
    rows.push_back({openWrite("w" + std::to_string(i) + ".txt", 1),
                    "02 81 00 " + hex(Sim::Bytes{static_cast<std::uint8_t>(i)})});
  }
  rows.push_back({openWrite("w4.txt", 1), "02 81 8C 00"});
  for (int i = 4; i < 16; ++i) {
    rows.push_back({"01 80 " + nameField("a.txt"),
                    "02 80 00 " + hex(Sim::Bytes{static_cast<std::uint8_t>(i)}) + " 04 00 00 00"});
  }
  const std::vector<Row> more = {
      {"01 80 " + nameField("a.txt"), "02 80 81" + zeros(5)},
      {"01 86 " + nameField("*.*"), "02 86 81" + zeros(25)},
      {"01 84 10", "02 84 00 10"},
      {"01 84 FF", "02 84 00 FF"},
      {"01 82 00 03 00", "02 82 93 00 03 00 00 00 00"},  // open for writing
      {"01 83 04 41", "02 83 93 04 00 00"},              // open for reading
      {"01 82 10 02 00", "02 82 93 10 02 00 00 00"},
      {"01 83 10 41", "02 83 93 10 00 00"},
      {"01 87 04", "02 87 93 04" + zeros(24)},  // no search
      {"01 84 04", "02 84 00 04"},
      {"01 84 04", "02 84 88 04"},
      {"01 82 04 02 00", "02 82 93 04 02 00 00 00"},
      {"01 83 04 41", "02 83 93 04 00 00"},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  run(rows);
}

// READ past the end: 0x85, as many bytes as asked, zeros for the missing ones. WRITE past the
// declared size writes what fits, answers 0x84, and the file is dropped at CLOSE. A file enters
// the table only at CLOSE and only complete; a data file keeps what it was given, and is
// appended to.
TEST_F(FirmwareFiles, EndOfFileAndFilesEnterTheTableAtCloseWhenComplete) {
  run({
      {openWrite("four.txt", 4), "02 81 00 00"},
      {"01 83 00 01 02 03 04", "02 83 00 00 04 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + nameField("four.txt"), "02 80 00 00 04 00 00 00"},
      {"01 82 00 0A 00", "02 82 85 00 0A 00 01 02 03 04" + zeros(6)},
      {"01 82 00 02 00", "02 82 85 00 02 00 00 00"},
      {"01 85 " + nameField("four.txt"), "02 85 8B " + nameField("four.txt")},  // open
      {"01 84 00", "02 84 00 00"},
      {openWrite("over.txt", 4), "02 81 00 00"},
      {"01 83 00 " + counting(6), "02 83 84 00 04 00"},
      {"01 83 00 41", "02 83 84 00 00 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + nameField("over.txt"), "02 80 87" + zeros(5)},
      {openWrite("part.txt", 10), "02 81 00 00"},
      {"01 83 00 " + counting(4), "02 83 00 00 04 00"},
      {"01 80 " + nameField("part.txt"), "02 80 87" + zeros(5)},
      {"01 86 " + nameField("part.txt"), "02 86 87 01" + zeros(24)},
      {"01 85 " + nameField("part.txt"), "02 85 8B " + nameField("part.txt")},
      {openWrite("PART.TXT", 10), "02 81 8B 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + nameField("part.txt"), "02 80 87" + zeros(5)},
      {openWrite("log.txt", 10, "8B"), "02 8B 00 00"},
      {"01 83 00 " + counting(4), "02 83 00 00 04 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 86 " + nameField("log.txt"), found("86", "00", "log.txt", 4)},
      {"01 84 00", "02 84 00 00"},
      {"01 8C " + nameField("LOG.TXT"), "02 8C 00 00 06 00 00 00"},
      {"01 83 00 " + counting(6, 4), "02 83 00 00 06 00"},
      {"01 84 00", "02 84 00 00"},
      {"01 80 " + nameField("log.txt"), "02 80 00 00 0A 00 00 00"},
      {"01 82 00 0A 00", "02 82 00 00 0A 00 " + counting(10)},
      {"01 84 00", "02 84 00 00"},
      {"01 8C " + nameField("none.txt"), "02 8C 87" + zeros(5)},
      {"01 8C " + nameField("four.txt"), "02 8C 8D" + zeros(5)},
      {"01 85 " + nameField("gone.txt"), "02 85 87 " + nameField("gone.txt")},
  });
}

// Each file takes sectors of 256 bytes of its own, with a 36-byte header: a 220-byte file one,
// a 221-byte file two. GET DEVICE INFO's free flash is the largest file OPEN WRITE still takes.
TEST_F(FirmwareFiles, FlashIsCountedInSectorsWithAHeader) {
  const std::uint32_t free = Sim::FlashStore::kCapacity - 36;  // 112604
  std::string info = exchange("01 9B");
  ASSERT_EQ(info.size(), 33u * 3 - 1);
  EXPECT_EQ(info.substr(info.size() - 11), u32(free));
  const std::uint32_t allButOne = free - 256;
  run({
      {openWrite("big.bin", free + 1), "02 81 82 00"},
      {openWrite("big.bin", free), "02 81 00 00"},
      {"01 84 00", "02 84 00 00"},  // incomplete: gone, and its sectors with it
      {openWrite("a.txt", 221), "02 81 00 00"},
      {openWrite("b.bin", allButOne), "02 81 82 00"},
      {"01 84 00", "02 84 00 00"},
      {openWrite("a.txt", 220), "02 81 00 00"},
      {openWrite("b.bin", allButOne), "02 81 00 01"},
      {"01 84 00", "02 84 00 00"},
      {"01 84 01", "02 84 00 01"},
  });
  for (int i = 0; i < 127; ++i) {
    store("f" + std::to_string(i), {});
  }
  EXPECT_EQ(exchange(openWrite("one.more", 0)), "02 81 83 00");
}

}  // namespace
