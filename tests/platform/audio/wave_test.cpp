// WAVE reader: chunk walking, short and long fmt chunks, PCM checks, truncation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/wave.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Tag(Bytes& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

struct FmtSpec {
  uint32_t chunkSize;  // 16 or 18 (or less, for the broken case)
  uint16_t tag, channels;
  uint32_t rate;
  uint16_t bits;
};

// RIFF image with a "fmt " chunk, optional chunks between, and a data chunk of `dataBytes`
// (declared size `declared`, 0 meaning the real size).
Bytes MakeWave(const FmtSpec& f, const Bytes& between, size_t dataBytes, uint32_t declared = 0) {
  Bytes b;
  Tag(b, "RIFF");
  Put32(b, 0);
  Tag(b, "WAVE");
  Tag(b, "fmt ");
  Put32(b, f.chunkSize);
  Bytes fmt;
  Put16(fmt, f.tag);
  Put16(fmt, f.channels);
  Put32(fmt, f.rate);
  Put32(fmt, f.rate * f.channels * f.bits / 8);
  Put16(fmt, uint16_t(f.channels * f.bits / 8));
  Put16(fmt, f.bits);
  Put16(fmt, 0x7777);  // cbSize; only read when the chunk says 18
  fmt.resize(f.chunkSize);
  b.insert(b.end(), fmt.begin(), fmt.end());
  b.insert(b.end(), between.begin(), between.end());
  Tag(b, "data");
  Put32(b, declared ? declared : uint32_t(dataBytes));
  for (size_t i = 0; i < dataBytes; ++i) b.push_back(uint8_t(i));
  return b;
}

struct WaveCase {
  const char* name;
  Bytes image;
  plat::WaveError error;
  uint16_t channels, bits, cbSize;
  size_t dataSize;
};

class WaveParse : public ::testing::TestWithParam<WaveCase> {};

TEST_P(WaveParse, ReadsOrRejects) {
  const WaveCase& c = GetParam();
  plat::WaveInfo info;
  ASSERT_EQ(plat::ParseWave(c.image.data(), c.image.size(), info), c.error) << c.name;
  if (c.error != plat::WaveError::kNone) return;
  EXPECT_EQ(info.channels, c.channels);
  EXPECT_EQ(info.bits, c.bits);
  EXPECT_EQ(info.cbSize, c.cbSize);
  EXPECT_EQ(info.dataSize, c.dataSize);
  ASSERT_LE(info.dataOffset + info.dataSize, c.image.size());
  EXPECT_EQ(std::memcmp(c.image.data() + info.dataOffset, "\x00\x01\x02\x03", 4), 0);
}

Bytes OddChunk() {
  Bytes b;
  Tag(b, "LIST");
  Put32(b, 3);  // odd: one pad byte follows
  b.insert(b.end(), {'a', 'b', 'c', 0});
  return b;
}

Bytes Truncate(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

Bytes NotRiff() {
  Bytes b = MakeWave({16, 1, 1, 8000, 8}, {}, 8);
  std::memcpy(b.data(), "RIFX", 4);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveParse,
    ::testing::Values(
        // A 16-byte fmt chunk must not borrow its cbSize from the next chunk's bytes.
        WaveCase{"fmt16", MakeWave({16, 1, 2, 22050, 16}, {}, 16), plat::WaveError::kNone, 2, 16, 0, 16},
        WaveCase{"fmt18", MakeWave({18, 1, 1, 44100, 16}, {}, 8), plat::WaveError::kNone, 1, 16, 0x7777, 8},
        WaveCase{"u8mono", MakeWave({16, 1, 1, 11025, 8}, {}, 5), plat::WaveError::kNone, 1, 8, 0, 5},
        WaveCase{"paddedChunkBetween", MakeWave({16, 1, 1, 8000, 16}, OddChunk(), 6), plat::WaveError::kNone, 1, 16, 0,
                 6},
        // Partial frames at the end are dropped.
        WaveCase{"partialFrame", MakeWave({16, 1, 2, 8000, 16}, {}, 10), plat::WaveError::kNone, 2, 16, 0, 8},
        WaveCase{"notPcm", MakeWave({18, 3, 2, 44100, 16}, {}, 8), plat::WaveError::kNotPcm, 0, 0, 0, 0},
        WaveCase{"threeChannels", MakeWave({16, 1, 3, 44100, 16}, {}, 12), plat::WaveError::kBadFormat, 0, 0, 0, 0},
        WaveCase{"24bit", MakeWave({16, 1, 2, 44100, 24}, {}, 12), plat::WaveError::kBadFormat, 0, 0, 0, 0},
        WaveCase{"shortFmt", MakeWave({14, 1, 2, 44100, 16}, {}, 8), plat::WaveError::kNoFormat, 0, 0, 0, 0},
        WaveCase{"dataPastEnd", MakeWave({16, 1, 1, 8000, 8}, {}, 8, 4000), plat::WaveError::kTruncated, 0, 0, 0, 0},
        WaveCase{"noData", Truncate(MakeWave({16, 1, 1, 8000, 8}, {}, 0), 36), plat::WaveError::kNoData, 0, 0, 0, 0},
        WaveCase{"notRiff", NotRiff(), plat::WaveError::kNotRiff, 0, 0, 0, 0},
        WaveCase{"empty", Bytes{}, plat::WaveError::kNotRiff, 0, 0, 0, 0},
        WaveCase{"headerOnly", Truncate(MakeWave({16, 1, 1, 8000, 8}, {}, 0), 20), plat::WaveError::kNoFormat, 0, 0, 0,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveImage, HeaderIs46BytesWithTheRequestedFormat) {
  const uint8_t pcm[6] = {1, 2, 3, 4, 5, 6};
  const Bytes img = plat::BuildWaveImage(1, 22050, 8, pcm, sizeof pcm);
  ASSERT_EQ(img.size(), 46u + 6u);
  EXPECT_EQ(std::memcmp(img.data(), "RIFF", 4), 0);
  EXPECT_EQ(img[4], 6 + 38);
  EXPECT_EQ(std::memcmp(img.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(img[16], 18);
  plat::WaveInfo info;
  ASSERT_EQ(plat::ParseWave(img.data(), img.size(), info), plat::WaveError::kNone);
  EXPECT_EQ(info.rate, 22050u);
  EXPECT_EQ(info.byteRate, 22050u);
  EXPECT_EQ(info.blockAlign, 1);  // 8-bit: half the alignment of 16-bit
  EXPECT_EQ(info.bits, 8);
  EXPECT_EQ(info.dataOffset, 46u);
  EXPECT_EQ(info.dataSize, 6u);
}

}  // namespace
