// The data tool's sound commands, run as the build runs them: synth -> WAVE, voi encode, spl pack.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class SoundTools : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
  }
  int Run(const std::string& args) {
    const std::string cmd = std::string(V4DATA_EXE) + " " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str());
  }
  std::vector<uint8_t> Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  void WriteBytes(const fs::path& p, const std::vector<uint8_t>& b) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
  }
  v4test::TempFolder temp_{"v4_sound_tools"};
  fs::path dir_;
};

TEST_F(SoundTools, VoiEncodeMakes44kStereoBehindThe32ByteHeader) {
  struct {
    int channels, rate, bits;
    size_t frames, expectFrames;
  } const cases[] = {{1, 22050, 8, 11025, 22050}, {2, 44100, 16, 4410, 4410}, {1, 44100, 16, 1000, 1000}};
  for (const auto& c : cases) {
    std::vector<uint8_t> pcm(c.frames * size_t(c.channels) * size_t(c.bits / 8));
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(i * 7);
    WriteBytes(dir_ / "in.wav", plat::BuildWaveImage(c.channels, c.rate, c.bits, pcm.data(), pcm.size()));
    ASSERT_EQ(Run("voi encode " + (dir_ / "in.wav").string() + " " + (dir_ / "out.voi").string()), 0);
    const auto voi = Read(dir_ / "out.voi");
    size_t base = 0;
    ASSERT_TRUE(plat::ParseVoiHeader(voi.data(), voi.size(), base));
    EXPECT_EQ(base, 32u);
    EXPECT_EQ(std::memcmp(voi.data() + 32, "OggS", 4), 0);
    plat::DecodedSound d;
    ASSERT_TRUE(plat::DecodeVorbisMemory(voi.data() + base, voi.size() - base, 2, d));
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.pcm.size(), c.expectFrames * 4);
  }
  // A damaged block-alignment field (0, or smaller than a sample frame) must not drive the sample
  // reader: frames follow from the channels and the sample width.
  for (const uint16_t blockAlign : {0, 1, 3, 9}) {
    std::vector<int16_t> pcm(2 * 2000, 1000);
    auto wav = plat::BuildWaveImage(2, 44100, 16, pcm.data(), pcm.size() * 2);
    wav[32] = uint8_t(blockAlign);
    wav[33] = 0;
    WriteBytes(dir_ / "align.wav", wav);
    ASSERT_EQ(Run("voi encode " + (dir_ / "align.wav").string() + " " + (dir_ / "align.voi").string()), 0)
        << "block align " << blockAlign;
    const auto voi = Read(dir_ / "align.voi");
    size_t base = 0;
    ASSERT_TRUE(plat::ParseVoiHeader(voi.data(), voi.size(), base));
    plat::DecodedSound d;
    ASSERT_TRUE(plat::DecodeVorbisMemory(voi.data() + base, voi.size() - base, 2, d));
    EXPECT_EQ(d.pcm.size(), 2000u * 4) << "block align " << blockAlign;
  }
  EXPECT_NE(Run("voi encode " + (dir_ / "missing.wav").string() + " " + (dir_ / "x.voi").string()), 0);
  WriteBytes(dir_ / "junk.wav", std::vector<uint8_t>(100, 1));
  EXPECT_NE(Run("voi encode " + (dir_ / "junk.wav").string() + " " + (dir_ / "x.voi").string()), 0);
}

TEST_F(SoundTools, SplPackTakesEveryVoiUnderTheFolder) {
  const std::vector<uint8_t> a(3000, 0xA1), b(10, 0xB2);
  WriteBytes(dir_ / "src" / "005a.voi", a);
  WriteBytes(dir_ / "src" / "sub" / "005B.VOI", b);
  WriteBytes(dir_ / "src" / "notes.txt", {1, 2, 3});
  ASSERT_EQ(Run("spl pack " + (dir_ / "src").string() + " " + (dir_ / "005").string()), 0);
  const auto spl = Read(dir_ / "005.SPL"), spd = Read(dir_ / "005.SPD");
  std::vector<plat::SoundPackEntry> e;
  ASSERT_TRUE(plat::ParseSoundPackIndex(spl.data(), spl.size(), spd.size(), e));
  ASSERT_EQ(e.size(), 2u);
  const plat::SoundPackEntry* ea = plat::FindPackEntry(e, "Data\\slg_v\\005\\005A.voi");
  const plat::SoundPackEntry* eb = plat::FindPackEntry(e, "005b.voi");
  ASSERT_NE(ea, nullptr);
  ASSERT_NE(eb, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(spd.begin() + long(ea->offset), spd.begin() + long(ea->offset + ea->size)), a);
  EXPECT_EQ(std::vector<uint8_t>(spd.begin() + long(eb->offset), spd.begin() + long(eb->offset + eb->size)), b);

  // Two files whose names differ only in case cannot share one pack.
  WriteBytes(dir_ / "src" / "other" / "005A.voi", b);
  EXPECT_NE(Run("spl pack " + (dir_ / "src").string() + " " + (dir_ / "dup").string()), 0);
}

TEST_F(SoundTools, SynthWritesTheDescribedLength) {
  const std::string json = R"({"tempo": 120, "beats": 4, "loop": true, "channels": 1,
    "voices": [{"wave": "square", "notes": [[3.5, 1, "A4"], [0, 1, 60]]}]})";
  std::ofstream(dir_ / "d.json") << json;
  ASSERT_EQ(Run("synth " + (dir_ / "d.json").string() + " " + (dir_ / "d.wav").string()), 0);
  const auto wav = Read(dir_ / "d.wav");
  plat::WaveInfo info;
  ASSERT_EQ(plat::ParseWave(wav.data(), wav.size(), info), plat::WaveError::kNone);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.dataSize, 88200u * 2);  // 4 beats at 120 bpm = 2 s
  // The note at beat 3.5 runs past the end and wraps: the first samples are not silent.
  const auto* s = reinterpret_cast<const int16_t*>(wav.data() + info.dataOffset);
  EXPECT_NE(s[100], 0);
  std::ofstream(dir_ / "bad.json") << "{\"voices\": [{\"notes\": [[0, 1, \"H9\"]]}]}";
  EXPECT_NE(Run("synth " + (dir_ / "bad.json").string() + " " + (dir_ / "bad.wav").string()), 0);
}

}  // namespace
