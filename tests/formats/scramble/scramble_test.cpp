// The scramble stream against known answers worked out from its definition.
#include "formats/scramble/scramble.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct StreamCase {
  uint32_t seed;
  std::array<uint8_t, 8> first;  // first stream bytes: scrambling zeros yields them
};

const StreamCase kStreams[] = {
    {271945638u, {0xA0, 0xCD, 0xB0, 0xB5, 0xC7, 0x9E, 0x9F, 0xFC}},
    {0x5C3A91E7u, {0xED, 0xE0, 0x54, 0xBE, 0x1E, 0x56, 0x15, 0x53}},
};

TEST(Scramble, KnownStreamsAndRoundTrip) {
  EXPECT_EQ(v4fmt::kScrambleSeedCommon, 271945638u);
  EXPECT_EQ(v4fmt::kScrambleSeedImage, 0x5C3A91E7u);
  for (const StreamCase& c : kStreams) {
    SCOPED_TRACE(c.seed);
    std::array<uint8_t, 8> zeros{};
    v4fmt::ScrambleInPlace(zeros.data(), zeros.size(), c.seed);
    EXPECT_EQ(zeros, c.first);
    // Subtraction on the way back: stream byte minus itself is zero again.
    v4fmt::DescrambleInPlace(zeros.data(), zeros.size(), c.seed);
    EXPECT_EQ(zeros, (std::array<uint8_t, 8>{}));
    // Addition wraps modulo 256.
    std::array<uint8_t, 2> ff = {0xFF, 0x10};
    v4fmt::ScrambleInPlace(ff.data(), ff.size(), c.seed);
    EXPECT_EQ(ff[0], static_cast<uint8_t>(0xFF + c.first[0]));
    EXPECT_EQ(ff[1], static_cast<uint8_t>(0x10 + c.first[1]));
  }
}

TEST(Scramble, GeneratorReturnsBits16To30) {
  v4fmt::ScrambleRand r(0);
  EXPECT_EQ(r.Next(), 38u);  // state 2531011
  EXPECT_EQ(r.state, 2531011u);
}

TEST(Scramble, WrongSeedDoesNotRestoreAndNullIsIgnored) {
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> original = data;
  v4fmt::ScrambleInPlace(data.data(), data.size(), 271945638u);
  EXPECT_NE(data, original);
  std::vector<uint8_t> wrong = data;
  v4fmt::DescrambleInPlace(wrong.data(), wrong.size(), 271945639u);
  EXPECT_NE(wrong, original);
  v4fmt::DescrambleInPlace(data.data(), data.size(), 271945638u);
  EXPECT_EQ(data, original);
  v4fmt::ScrambleInPlace(nullptr, 10, 1);
  v4fmt::DescrambleInPlace(nullptr, 10, 1);
}

}  // namespace
