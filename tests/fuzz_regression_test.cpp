// Replays every input kept from fuzzing, seeds and past findings alike: the link's reply
// reader, the virtual brick's telegram input and its world-file reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/LinkReplyFuzz.h"
#include "fuzz/SimFuzz.h"

namespace fs = std::filesystem;

TEST(FuzzRegression, EveryKeptInputRunsClean) {
  const struct {
    const char* dir;
    int (*run)(const std::uint8_t*, std::size_t);
  } targets[] = {{"", fuzz::linkReply}, {"brick", fuzz::brickInput}, {"world", fuzz::worldFile}};
  for (const auto& target : targets) {
    int replayed = 0;
    for (const char* dir : {"corpus", "regression"}) {
      fs::path folder = fs::path(FUZZ_DIR) / target.dir / dir;
      for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0) << entry.path();
        ++replayed;
      }
    }
    EXPECT_GT(replayed, 0) << target.dir;
  }
}
