// The protocol's own pieces, without a link: the decoder reads telegrams as traces print them,
// and the length prefix frames and unframes a stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "protocol/LengthPrefix.h"
#include "protocol/TelegramText.h"

namespace {

std::vector<std::uint8_t> hex(const char* text) {
  std::vector<std::uint8_t> bytes;
  unsigned byte = 0;
  int used = 0;
  while (std::sscanf(text, " %2x%n", &byte, &used) == 1) {
    bytes.push_back(static_cast<std::uint8_t>(byte));
    text += used;
  }
  return bytes;
}

struct Decoded {
  const char* telegram;
  const char* text;
};

template <std::size_t N>
void expectDecoded(const Decoded (&rows)[N],
                   std::string (*describe)(const std::uint8_t*, std::size_t)) {
  for (const Decoded& row : rows) {
    std::vector<std::uint8_t> t = hex(row.telegram);
    EXPECT_EQ(describe(t.data(), t.size()), row.text) << row.telegram;
  }
}

TEST(TelegramText, NamesEachFieldOfACommand) {
  const Decoded commands[] = {
      {"00 04 01 4B 05 01 00 20 A0 86 01 00",
       "SETOUTPUTSTATE port=1 power=75 mode=MOTORON|REGULATED regulation=MOTOR_SPEED turn=0 "
       "run=RUNNING limit=100000"},
      {"80 04 FF 9C 00 00 00 00", "SETOUTPUTSTATE (no reply)"},  // too short for its fields
      {"00 05 00 0B 00", "SETINPUTMODE port=0 type=LOWSPEED_9V mode=RAWMODE"},
      {"00 0F 03 02 01 02 42", "LSWRITE port=3 tx=2 rx=1 data=02 42"},
      {"00 0A 02 01", "RESETMOTORPOSITION port=2 relative=TRUE"},
      {"00 03 B8 01 F4 01", "PLAYTONE frequency=440 duration=500"},
      {"01 98 4E 58 54 0A 00", "SETBRICKNAME name=\"NXT\\n\""},
      // C1 controls (NEL, 8-bit CSI), line separators and stray bytes never split a trace line.
      {"01 98 41 C2 85 9B E2 80 A8 E2 80 A9 EF BF BF C3 A9 00",
       "SETBRICKNAME name=\"A\\u0085\\x9B\\u2028\\u2029\\uFFFF\xC3\xA9\""},
      // Bytes that lead no character (0xF5 to 0xFF) do not carry the next ones in with them.
      {"01 98 FE 9B 9B F5 80 80 80 00",
       "SETBRICKNAME name=\"\\xFE\\x9B\\x9B\\xF5\\x80\\x80\\x80\""},
      {"00 06", "GETOUTPUTSTATE"},
      {"01 94 01 00 0A 00 77 00 37 00", "READIOMAP module=0x000A0001 offset=119 count=55"},
      {"01 95 01 00 0C 00 1C 00 01 00 02", "WRITEIOMAP module=0x000C0001 offset=28 count=1"},
      {"01 90 2A 2E 2A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
       "FINDFIRSTMODULE pattern=\"*.*\""},
  };
  expectDecoded(commands, Nxt::describeCommand);
}

TEST(TelegramText, NamesEachFieldOfAReply) {
  const Decoded replies[] = {
      {"02 06 00 01 9C 05 01 00 20 00 00 00 00 F6 FF FF FF 0A 00 00 00 68 01 00 00",
       "reply GETOUTPUTSTATE SUCCESS port=1 power=-100 mode=MOTORON|REGULATED "
       "regulation=MOTOR_SPEED turn=0 run=RUNNING "
       "limit=0 tacho=-10 block=10 rotation=360"},
      {"02 07 00 02 01 00 05 80 FF 03 20 01 2A 00 00 00",
       "reply GETINPUTVALUES SUCCESS port=2 valid=1 type=LIGHT_ACTIVE mode=PCTFULLSCALEMODE "
       "raw=1023 normalized=288 scaled=42"},
      {"02 10 00 01 37 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
       "reply LSREAD SUCCESS count=1 data=37"},
      {"02 0E 20 00", "reply LSGETSTATUS PENDING ready=0"},
      {"02 9B 00 4E 58 54 00 00 00 00 00 00 00 00 00 00 00 00 00 16 53 00 00 01 00 00 00 00 00 "
       "00 00 01 00",
       "reply GETDEVICEINFO SUCCESS name=\"NXT\""},
      {"02 06 BF", "reply GETOUTPUTSTATE INSANE_PACKET"},
      {"02 0B 00 28 23", "reply GETBATTERYLEVEL SUCCESS millivolts=9000"},
      {"02 94 91 01 00 0C 00 00 00 00 00",
       "reply READIOMAP OUT_OF_BOUNDARY module=0x000C0001 count=0"},
      {"02 91 00 00 55 69 2E 6D 6F 64 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 0C 00 00 00 "
       "00 00 28 00",
       "reply FINDNEXTMODULE SUCCESS name=\"Ui.mod\" module=0x000C0001 size=40"},
  };
  expectDecoded(replies, Nxt::describeReply);
}

// Every status a brick gives is named, in the trace as in the libraries' texts and atoms: the
// file codes too (0x8B and 0x8F once printed as UNKNOWN_STATUS).
TEST(TelegramText, NamesEveryStatusTheBrickGives) {
  EXPECT_STREQ(Nxt::statusName(0x8B), "FILE_BUSY");
  EXPECT_STREQ(Nxt::statusName(0x8F), "FILE_EXISTS");
  EXPECT_STREQ(Nxt::statusName(0x41), "UNKNOWN_STATUS");
  int named = 0;
  for (int code = 0; code < 256; ++code) {
    const Nxt::BrickStatus* row = Nxt::findBrickStatus(static_cast<std::uint8_t>(code));
    if (row == nullptr) {
      continue;
    }
    ++named;
    EXPECT_EQ(row->code, code);
    EXPECT_STRNE(row->traceName, "") << code;
    EXPECT_STRNE(row->atom, "") << code;
    EXPECT_STRNE(row->text, "") << code;
  }
  EXPECT_EQ(named, 37);
}

TEST(LengthPrefix, FramesLittleEndianAndTellsAWholeFrameFromAPartOrAnOutOfStepOne) {
  using Nxt::LengthPrefix::Scan;
  std::vector<std::uint8_t> frame(2 + 3);
  const std::uint8_t telegram[] = {0x00, 0x0B, 0x00};
  EXPECT_EQ(Nxt::LengthPrefix::encode(telegram, 3, frame.data()), 5u);
  EXPECT_EQ(frame, hex("03 00 00 0B 00"));
  struct Row {
    const char* stream;
    Scan scan;
    std::size_t length;
  } rows[] = {
      {"", Scan::kNeedMore, 0},
      {"03", Scan::kNeedMore, 0},
      {"03 00 00 0B", Scan::kNeedMore, 3},
      {"03 00 00 0B 00", Scan::kComplete, 3},
      {"03 00 00 0B 00 05", Scan::kComplete, 3},  // the next frame's start waits its turn
      {"40 00", Scan::kNeedMore, 64},
      {"00 00 02", Scan::kOutOfStep, 0},
      {"41 00", Scan::kOutOfStep, 0},  // beyond one telegram
      {"03 01", Scan::kOutOfStep, 0},  // the high byte counts
  };
  for (const Row& row : rows) {
    std::vector<std::uint8_t> bytes = hex(row.stream);
    std::size_t length = 99;
    EXPECT_EQ(Nxt::LengthPrefix::scan(bytes.data(), bytes.size(), length), row.scan) << row.stream;
    EXPECT_EQ(length, row.length) << row.stream;
  }
}

}  // namespace
