// Feeds arbitrary bytes to the virtual brick as a client would send them, and arbitrary text
// to the world-file reader, and aborts when an invariant of theirs breaks. Shared by the
// libFuzzer targets and the regression test that replays what the fuzzers found.
#ifndef TESTS_FUZZ_SIMFUZZ_H
#define TESTS_FUZZ_SIMFUZZ_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Byte 0 picks the way in: bit 0, a robot in the built-in arena around the brick (its
// sensors and motors, on a stepped clock) or the bare brick; bit 1, the rest read as the
// server reads a client's stream (2-byte length prefixes, cut into deliveries) or as telegrams
// each led by a 1-byte length. Replies are never read back: a flood is answered and dropped.
// Returns 0; aborts when a reply is malformed or a record outgrows its bound.
int brickInput(const std::uint8_t* data, std::size_t size);

// The input as a world file. One that loads must be safe to drive in and to draw: a robot
// with every kind of sensor drives a few seconds in it, and its picture must be well formed.
// Returns 0; aborts when a refusal gives no reason or the picture breaks.
int worldFile(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif
