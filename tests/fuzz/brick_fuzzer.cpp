// libFuzzer entry point: build with clang and -fsanitize=fuzzer,address,undefined.
#include <cstddef>
#include <cstdint>

#include "SimFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::brickInput(data, size);
}
