#include "formats/scramble/scramble.h"

namespace v4fmt {

void ScrambleInPlace(uint8_t* data, size_t size, uint32_t seed) {
  if (!data) return;
  ScrambleRand rand(seed);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(data[i] + rand.NextByte());
}

void DescrambleInPlace(uint8_t* data, size_t size, uint32_t seed) {
  if (!data) return;
  ScrambleRand rand(seed);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(data[i] - rand.NextByte());
}

}  // namespace v4fmt
