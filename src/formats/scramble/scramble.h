// The byte scramble used by tables, scripts, layouts, settings, saves and "tig"/"tds" images.
// A seeded linear congruential stream: writing adds one stream byte to each data byte, reading
// subtracts it. The stream restarts from the seed at every call; the state is local to the call.
#pragma once
#include <cstddef>
#include <cstdint>

namespace v4fmt {

// Seed of scenario and common tables, scripts and labels, layout scripts, settings, play record,
// save slots and cbl.dat.
inline constexpr uint32_t kScrambleSeedCommon = 271945638u;
// Seed of the "tig" and "tds" images.
inline constexpr uint32_t kScrambleSeedImage = 0x5C3A91E7u;

// The generator: state = state * 214013 + 2531011 (mod 2^32); the result is bits 16..30.
// The scramblers use the low 8 bits of the result (bits 16..23 of the new state).
struct ScrambleRand {
  uint32_t state = 0;
  explicit constexpr ScrambleRand(uint32_t seed) : state(seed) {}
  constexpr uint32_t Next() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFFu;
  }
  constexpr uint8_t NextByte() { return static_cast<uint8_t>(Next() & 0xFFu); }
};

// In place; nothing happens for a null buffer.
void ScrambleInPlace(uint8_t* data, size_t size, uint32_t seed);
void DescrambleInPlace(uint8_t* data, size_t size, uint32_t seed);

}  // namespace v4fmt
