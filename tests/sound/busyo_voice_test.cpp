// Generals' voices, numbered effects and strategy music.
#include <gtest/gtest.h>

#include <cstring>

#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "sound/sound_device.h"
#include "sound/sound_stream.h"
#include "sound_fixture.h"

namespace {

struct VoiceName {
  int voice, line;
  const char* path;
};

class GeneralVoiceName : public ::testing::TestWithParam<VoiceName> {};

TEST_P(GeneralVoiceName, EncodesTheLineInLetters) {
  char out[64];
  FormatGeneralVoicePath(out, sizeof out, GetParam().voice, GetParam().line);
  EXPECT_STREQ(out, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GeneralVoiceName,
    ::testing::Values(VoiceName{5, 0, "Data\\slg_v\\005\\005a.voi"}, VoiceName{5, 25, "Data\\slg_v\\005\\005z.voi"},
                      VoiceName{5, 26, "Data\\slg_v\\005\\005aa.voi"}, VoiceName{5, 51, "Data\\slg_v\\005\\005az.voi"},
                      VoiceName{5, 52, "Data\\slg_v\\005\\005ba.voi"}, VoiceName{5, 701, "Data\\slg_v\\005\\005zz.voi"},
                      // From 702 on the one-letter form comes back (lines alias).
                      VoiceName{5, 702, "Data\\slg_v\\005\\005a.voi"}, VoiceName{5, 703, "Data\\slg_v\\005\\005b.voi"},
                      VoiceName{91, 0, "Data\\slg_v\\091\\091a.voi"},
                      VoiceName{123, 17, "Data\\slg_v\\123\\123r.voi"}));

TEST(SlgSeName, UsesTheEffectNumberPlusOne) {
  char out[64];
  FormatSlgSePath(out, sizeof out, 0);
  EXPECT_STREQ(out, "Data\\slg_se\\slg_se001.voi");
  FormatSlgSePath(out, sizeof out, 28);
  EXPECT_STREQ(out, "Data\\slg_se\\slg_se029.voi");
  char tiny[8];
  FormatSlgSePath(tiny, sizeof tiny, 5);  // cut, terminated, no overflow
  EXPECT_EQ(std::strlen(tiny), 7u);
}

class BusyoVoiceTest : public soundtest::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    Write("Data/slg_v/005/005a.voi", soundtest::VoiOf(soundtest::Signal(3000, 1)));
    Write("Data/slg_se/slg_se001.voi", soundtest::VoiOf(soundtest::Signal(3000, 2)));
    Write("Data/bgm/M01.voi", soundtest::VoiOf(soundtest::Signal(44100, 3)));
    Write("Data/bgm/M02.voi", soundtest::VoiOf(soundtest::Signal(44100, 4)));
    ClearLastVoiceName();
  }
  void TearDown() override {
    SetSoundSettings(SoundSettings{});
    SoundTest::TearDown();
  }
  void Options(bool voices, bool effects) {
    SoundSettings s;
    s.voicesOn = voices;
    s.effectsOn = effects;
    SetSoundSettings(s);
  }
};

TEST_F(BusyoVoiceTest, VoicesAndEffectsFollowTheirOptions) {
  struct {
    bool voices, effects, voicePlays, effectPlays;
  } const cases[] = {
      {true, true, true, true}, {false, true, false, true}, {true, false, true, false}, {false, false, false, false}};
  for (const auto& c : cases) {
    ReleaseSound();
    InitSoundCapture();
    StartSoundStreams();
    for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);
    Options(c.voices, c.effects);
    PlayGeneralVoice(2, 5, 0);
    PlaySlgSe(3, 0, 0);
    // Off means not even loaded.
    EXPECT_EQ(SoundDeviceInstance->SlotHasData(2), c.voicePlays);
    EXPECT_EQ(IsChannelPlaying(2), c.voicePlays);
    EXPECT_EQ(SoundDeviceInstance->SlotHasData(3), c.effectPlays);
    EXPECT_EQ(IsChannelPlaying(3), c.effectPlays);
  }
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(BusyoVoiceTest, VoiceLevelOffLoadsNothingEvenWithVoicesOn) {
  SetChannelVolumeLevel(2, -1);
  PlayGeneralVoice(2, 5, 0);
  EXPECT_FALSE(SoundDeviceInstance->SlotHasData(2));
}

TEST_F(BusyoVoiceTest, BgmIsStartedOnceWhenUnchanged) {
  PlaySlgBgm("Data\\bgm\\M01.voi", 1);
  WaitSoundStreamsIdle();
  SoundStream* first = GetChannelStream(0);
  EXPECT_TRUE(IsChannelPlaying(0));
  EXPECT_STREQ(LastVoiceName, "Data\\bgm\\M01.voi");
  EXPECT_EQ(g_SoundChannelState.fadeSpeed[0], 1);  // strategy music fades in at speed 1
  PlaySlgBgm("data\\BGM\\m01.VOI", 1);             // same music, other case: nothing happens
  EXPECT_EQ(GetChannelStream(0), first);
  PlaySlgBgm("Data\\bgm\\M01.voi", 0);  // forced: restarts on the other player
  EXPECT_NE(GetChannelStream(0), first);
  PlaySlgBgm("Data\\bgm\\M02.voi", 1);
  EXPECT_STREQ(LastVoiceName, "Data\\bgm\\M02.voi");
  EXPECT_TRUE(IsChannelFile(0, "Data\\bgm\\M02.voi"));
}

}  // namespace
