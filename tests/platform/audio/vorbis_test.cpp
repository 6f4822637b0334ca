// Vorbis: our encoder and both decoders agree; lengths are exact; 8-bit output is unsigned.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "tests/support/temp_folder.h"

namespace {

std::vector<int16_t> Tone(size_t frames, int channels, double hz, double amp) {
  std::vector<int16_t> s(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s[i * size_t(channels) + size_t(c)] = int16_t(amp * 32767 * std::sin(2 * M_PI * hz * double(i) / 44100.0 + c));
  return s;
}

std::vector<uint8_t> Encode(const std::vector<int16_t>& pcm, int channels) {
  std::vector<uint8_t> ogg;
  EXPECT_TRUE(plat::EncodeVorbis(pcm.data(), pcm.size() / size_t(channels), channels, 44100, 0.4f, ogg));
  return ogg;
}

struct LengthCase {
  size_t frames;
  int channels;
};

class VorbisLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(VorbisLength, DecodesExactlyTheEncodedFramesCloseToTheInput) {
  const auto [frames, channels] = GetParam();
  const auto pcm = Tone(frames, channels, 440, 0.5);
  const auto ogg = Encode(pcm, channels);
  plat::DecodedSound d;
  ASSERT_TRUE(plat::DecodeVorbisMemory(ogg.data(), ogg.size(), 2, d));
  EXPECT_EQ(d.channels, channels);
  EXPECT_EQ(d.rate, 44100);
  ASSERT_EQ(d.pcm.size(), frames * size_t(channels) * 2);
  if (frames < 1000) return;  // too short for a meaningful error measure; the length is the point
  // Lossy, but close: the error energy is far below the signal's.
  double sig = 0, err = 0;
  const auto* out = reinterpret_cast<const int16_t*>(d.pcm.data());
  for (size_t i = 0; i < pcm.size(); ++i) {
    sig += double(pcm[i]) * pcm[i];
    err += double(out[i] - pcm[i]) * (out[i] - pcm[i]);
  }
  EXPECT_LT(err, sig * 0.01);
}

INSTANTIATE_TEST_SUITE_P(Cases, VorbisLength,
                         ::testing::Values(LengthCase{44100, 2}, LengthCase{1000, 2}, LengthCase{12345, 1},
                                           LengthCase{1, 2}));

TEST(VorbisDecode, EightBitSamplesAreUnsigned) {
  const auto ogg = Encode(std::vector<int16_t>(8000 * 2, 0), 2);  // silence
  plat::DecodedSound d;
  ASSERT_TRUE(plat::DecodeVorbisMemory(ogg.data(), ogg.size(), 1, d));
  EXPECT_EQ(d.bitsPerSample, 8);
  ASSERT_EQ(d.pcm.size(), 8000u * 2);
  for (uint8_t v : d.pcm) ASSERT_NEAR(int(v), 128, 1);  // signed output would read 0 / 255
}

TEST(VorbisDecode, RejectsGarbageAndBadSampleWidths) {
  const std::vector<uint8_t> junk(500, 0x5A);
  plat::DecodedSound d;
  std::string why;
  EXPECT_FALSE(plat::DecodeVorbisMemory(junk.data(), junk.size(), 2, d, &why));
  EXPECT_FALSE(plat::DecodeVorbisMemory(nullptr, 0, 2, d));
  const auto ogg = Encode(Tone(100, 2, 440, 0.5), 2);
  EXPECT_FALSE(plat::DecodeVorbisMemory(ogg.data(), ogg.size(), 3, d, &why));
  EXPECT_EQ(why, "word is error");
  // A stream cut in half decodes what is there or fails; it never reads past the end.
  plat::DecodeVorbisMemory(ogg.data(), ogg.size() / 2, 2, d);
}

// Ogg page checksum: CRC-32, polynomial 0x04C11DB7, not reflected, initial value 0.
uint32_t OggCrc(const uint8_t* p, size_t n) {
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Sets the granule position (the sample count) of the stream's last page, with a valid checksum.
void SetLastGranule(std::vector<uint8_t>& ogg, uint64_t granule) {
  size_t pos = 0, last = 0, lastLen = 0;
  while (pos + 27 <= ogg.size() && std::memcmp(ogg.data() + pos, "OggS", 4) == 0) {
    const size_t segs = ogg[pos + 26];
    size_t len = 27 + segs;
    for (size_t i = 0; i < segs; ++i) len += ogg[pos + 27 + i];
    last = pos;
    lastLen = len;
    pos += len;
  }
  ASSERT_EQ(pos, ogg.size());
  for (int i = 0; i < 8; ++i) ogg[last + 6 + size_t(i)] = uint8_t(granule >> (8 * i));
  std::memset(ogg.data() + last + 22, 0, 4);
  const uint32_t crc = OggCrc(ogg.data() + last, lastLen);
  for (int i = 0; i < 4; ++i) ogg[last + 22 + size_t(i)] = uint8_t(crc >> (8 * i));
}

// A damaged last page that claims millions of samples must not make the decoder set aside memory
// for them: it keeps what really decodes.
TEST(VorbisDecode, AnInflatedLengthDoesNotDriveTheAllocation) {
  const size_t frames = 3 * 44100;  // several pages, so the last granule position is believed
  auto ogg = Encode(Tone(frames, 2, 440, 0.5), 2);
  SetLastGranule(ogg, uint64_t(1) << 26);  // claims 256 MB of 16-bit stereo
  plat::DecodedSound d;
  if (plat::DecodeVorbisMemory(ogg.data(), ogg.size(), 2, d)) {
    EXPECT_GE(d.pcm.size(), frames * 4);
    EXPECT_LE(d.pcm.size(), (frames + 4096) * 4);
  }
  EXPECT_LT(d.pcm.capacity(), size_t(32) << 20);
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
  }
  std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
    const auto p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    return p.string();
  }
  v4test::TempFolder temp_{"v4_vorbis"};
  std::filesystem::path dir_;
};

using VorbisStream = TempDir;

std::vector<int16_t> ReadAll(plat::VorbisFileStream& s) {
  std::vector<int16_t> out;
  char buf[4096];
  for (;;) {
    const long r = s.Read(buf, sizeof buf);
    if (r <= 0) break;
    out.insert(out.end(), reinterpret_cast<int16_t*>(buf), reinterpret_cast<int16_t*>(buf + r));
  }
  return out;
}

TEST_F(VorbisStream, StreamsTheSameSamplesAsTheWholeDecoderAfterTheHeader) {
  const auto ogg = Encode(Tone(30000, 2, 300, 0.4), 2);
  std::vector<uint8_t> voi = plat::BuildVoiFile(ogg);
  voi[30] = 7;  // seven extra header bytes
  voi.insert(voi.begin() + 32, 7, 0xEE);
  const std::string path = Write("x.voi", voi);
  plat::VorbisFileStream s;
  ASSERT_TRUE(s.OpenVoi(path));
  const auto streamed = ReadAll(s);
  plat::DecodedSound d;
  ASSERT_TRUE(plat::DecodeVorbisMemory(ogg.data(), ogg.size(), 2, d));
  ASSERT_EQ(streamed.size() * 2, d.pcm.size());
  EXPECT_EQ(std::memcmp(streamed.data(), d.pcm.data(), d.pcm.size()), 0);
  EXPECT_EQ(s.Read(reinterpret_cast<char*>(const_cast<int16_t*>(streamed.data())), 4), 0);  // stays at the end
}

TEST_F(VorbisStream, WidensMonoToStereo) {
  const auto ogg = Encode(Tone(5000, 1, 500, 0.4), 1);
  plat::VorbisFileStream s;
  ASSERT_TRUE(s.OpenVoi(Write("m.voi", plat::BuildVoiFile(ogg))));
  EXPECT_EQ(s.SourceChannels(), 1);
  const auto out = ReadAll(s);
  ASSERT_EQ(out.size(), 5000u * 2);
  for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);
}

TEST_F(VorbisStream, RefusesDamagedOrMissingFiles) {
  plat::VorbisFileStream s;
  EXPECT_FALSE(s.OpenVoi((dir_ / "missing.voi").string()));
  std::vector<uint8_t> bad = plat::BuildVoiFile(Encode(Tone(100, 2, 440, 0.3), 2));
  bad[30] = 0x80;  // negative extra length
  EXPECT_FALSE(s.OpenVoi(Write("neg.voi", bad)));
  bad[30] = 120;  // base past the end of a small file
  bad.resize(64);
  EXPECT_FALSE(s.OpenVoi(Write("past.voi", bad)));
  EXPECT_FALSE(s.OpenVoi(Write("short.voi", std::vector<uint8_t>(10, 0))));
  EXPECT_FALSE(s.OpenVoi(Write("junk.voi", plat::BuildVoiFile(std::vector<uint8_t>(300, 1)))));
  EXPECT_FALSE(s.IsOpen());
  EXPECT_LT(s.Read(reinterpret_cast<char*>(bad.data()), 4), 0);
}

}  // namespace
