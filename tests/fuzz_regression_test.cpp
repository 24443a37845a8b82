// Replays every input kept from fuzzing the link's reply reader, seeds and past findings alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/LinkReplyFuzz.h"

namespace fs = std::filesystem;

TEST(FuzzRegression, EveryKeptInputRunsClean) {
  int replayed = 0;
  for (const char* dir : {"corpus", "regression"}) {
    fs::path folder = fs::path(FUZZ_DIR) / dir;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      EXPECT_EQ(fuzz::linkReply(bytes.data(), bytes.size()), 0) << entry.path();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}
