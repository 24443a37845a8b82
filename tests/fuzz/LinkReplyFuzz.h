// Feeds arbitrary bytes to the link as if a brick had sent them, and checks that no reply can
// write past the caller's buffer or leave a name unterminated. Shared by the libFuzzer target
// and the regression test that replays what the fuzzer found.
#ifndef TESTS_FUZZ_LINKREPLYFUZZ_H
#define TESTS_FUZZ_LINKREPLYFUZZ_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Returns 0; aborts when a guard byte was overwritten.
int linkReply(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif
