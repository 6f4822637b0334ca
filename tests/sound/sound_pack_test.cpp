// Sound packs: lookup beside the program (never the working directory), damaged packs, the decoded
// WAVE image.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "core/game_file.h"
#include "sound/sound.h"
#include "sound/sound_pack.h"
#include "sound_fixture.h"
#include "tests/support/log_lines.h"

namespace {

class SoundPackTest : public soundtest::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    a_ = soundtest::VoiOf(soundtest::Signal(3000, 1));
    b_ = soundtest::VoiOf(soundtest::Signal(5000, 2));
    std::vector<uint8_t> spl, spd;
    plat::BuildSoundPack({{"091a.voi", a_}, {"091B.voi", b_}}, 2048, spl, spd);
    Write("Data/slg_v/091.SPL", spl);
    Write("Data/slg_v/091.SPD", spd);
    spl_ = spl;
    // Resolve from elsewhere: packs must not depend on the working directory.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir("/"), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(oldCwd_.c_str()), 0);
    SoundTest::TearDown();
  }
  std::string Full(const char* rel) { return std::string(GetModuleDir()) + rel; }

  std::vector<uint8_t> a_, b_, spl_;
  std::string oldCwd_;
};

TEST_F(SoundPackTest, FindsEntriesIgnoringCaseUnderTheProgramDirectory) {
  struct {
    const char* rel;
    const std::vector<uint8_t>* voi;
  } const cases[] = {{"Data\\slg_v\\091\\091a.voi", &a_},
                     {"Data\\slg_v\\091\\091A.VOI", &a_},
                     {"Data/slg_v/091/091b.voi", &b_},
                     {"DATA\\SLG_V\\091\\091b.Voi", &b_}};
  for (const auto& c : cases) {
    std::vector<uint8_t> image;
    const int32_t n = LoadSoundPack(Full(c.rel).c_str(), 2, image);
    const auto want = soundtest::DecodeVoi(*c.voi);
    ASSERT_EQ(n, int32_t(46 + want.size() * 2)) << c.rel;
    ASSERT_EQ(image.size(), size_t(n));
    EXPECT_EQ(std::memcmp(image.data() + 46, want.data(), want.size() * 2), 0) << c.rel;
  }
}

TEST_F(SoundPackTest, LooseFileWinsOverThePack) {
  const auto loose = soundtest::VoiOf(soundtest::Signal(1234, 7));
  Write("Data/slg_v/091/091a.voi", loose);
  std::vector<uint8_t> image;
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\091\\091a.voi").c_str(), 2, image), int32_t(46 + 1234 * 4));
}

TEST_F(SoundPackTest, ImageHeaderAndEightBitSamples) {
  std::vector<uint8_t> image;
  const int32_t n = LoadSoundPack(Full("Data\\slg_v\\091\\091a.voi").c_str(), 1, image);
  ASSERT_EQ(n, 46 + 3000 * 2);
  plat::WaveInfo info;
  ASSERT_EQ(plat::ParseWave(image.data(), image.size(), info), plat::WaveError::kNone);
  EXPECT_EQ(info.bits, 8);
  EXPECT_EQ(info.blockAlign, 2);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.rate, 44100u);
  EXPECT_EQ(std::memcmp(image.data(), "RIFF", 4), 0);
  EXPECT_EQ(image[4] | (image[5] << 8), 3000 * 2 + 38);
}

TEST_F(SoundPackTest, MissingOrDamagedGivesMinusOne) {
  std::vector<uint8_t> image;
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\091\\091c.voi").c_str(), 2, image), -1);  // not in pack
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\092\\092a.voi").c_str(), 2, image), -1);  // no pack
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\091\\091a.voi").c_str(), 3, image), -1);  // bad width
  EXPECT_EQ(LoadSoundPack(nullptr, 2, image), -1);

  auto bad = spl_;
  bad[bad.size() - 1] = 'x';  // last name loses its terminator
  Write("Data/slg_v/091.SPL", bad);
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\091\\091b.voi").c_str(), 2, image), -1);

  Write("Data/slg_v/091.SPL", spl_);
  Write("Data/slg_v/091.SPD", std::vector<uint8_t>(100, 0));  // data file cut short
  EXPECT_EQ(LoadSoundPack(Full("Data\\slg_v\\091\\091b.voi").c_str(), 2, image), -1);
  EXPECT_TRUE(image.empty());
}

// A damaged sound is refused with one log line naming it and why, however often it is asked for.
TEST_F(SoundPackTest, DamagedSoundsAreLoggedOncePerFileWithTheReason) {
  std::vector<uint8_t> noise(400);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 57 + 11);
  std::vector<uint8_t> cut(a_.begin(), a_.begin() + static_cast<long>(a_.size() / 2));
  struct Case {
    const char* file;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty.voi", {}, ".voi header"},
      {"noise.voi", noise, ".voi header"},
      {"cut.voi", cut, ""},
  };
  for (const Case& c : cases) {
    Write(std::string("Data/se/") + c.file, c.bytes);
    const std::string path = Full("Data\\se\\") + c.file;
    testing::internal::CaptureStderr();
    std::vector<uint8_t> image;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(LoadSoundPack(path.c_str(), 2, image), -1) << c.file;
    const std::vector<std::string> lines = v4test::LogLinesNaming(testing::internal::GetCapturedStderr(), path);
    ASSERT_EQ(lines.size(), 1u) << c.file;
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
    EXPECT_GT(lines[0].size(), path.size() + 10) << "no reason: " << lines[0];
  }
}

TEST_F(SoundPackTest, PackedVoicePlaysOnTheVoiceChannel) {
  PlaySound(2, "Data\\slg_v\\091\\091A.voi", 0, 0, 0);
  EXPECT_TRUE(IsChannelPlaying(2));
  Pull(4000);
  EXPECT_FALSE(IsChannelPlaying(2));  // 3000 frames, once
}

TEST(SoundPackNames, AreTheFolderBesideTheProgram) {
  ASSERT_TRUE(SetModuleDir("\\game\\"));
  std::string spl, spd;
  ASSERT_TRUE(SoundPackNames("\\game\\Data\\slg_v\\091\\091a.voi", spl, spd));
  EXPECT_EQ(spl, "\\game\\Data\\slg_v\\091.SPL");
  EXPECT_EQ(spd, "\\game\\Data\\slg_v\\091.SPD");
  EXPECT_FALSE(SoundPackNames("\\game\\x.voi", spl, spd));
}

}  // namespace
