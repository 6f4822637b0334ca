// Channels: levels, fades, loading by extension, disabled channels, window activity, StopAllSound.
#include <gtest/gtest.h>

#include "sound/sound.h"
#include "sound/sound_device.h"
#include "sound/sound_stream.h"
#include "sound_fixture.h"

namespace {

using soundtest::SoundTest;

// One second of a looping effect.
std::vector<uint8_t> Effect() { return soundtest::Wave16(soundtest::Signal(44100, 1), 2, 44100); }

TEST(SoundLevels, MapToConfiguredVolumes) {
  struct {
    int level;
    int32_t configured, recorded;
  } const cases[] = {{-1, 0, 0},
                     {0, 1, 0},
                     {1, 7600, 1},
                     {5, 8800, 5},
                     {9, 10000, 9},
                     // Out-of-range levels from settings or scripts are clamped, never used as an index.
                     {10, 10000, 9},
                     {1000000, 10000, 9},
                     {-2, 0, 0},
                     {-99999, 0, 0}};
  for (const auto& c : cases) {
    SetChannelVolumeLevel(3, c.level);
    EXPECT_EQ(ChannelActiveFlags[3], c.configured) << c.level;
    EXPECT_EQ(g_SoundChannelState.level[3], c.recorded) << c.level;
  }
  SetChannelVolumeLevel(2, -1);
  EXPECT_FALSE(IsChannelEnabled(2));
  SetChannelVolumeLevel(2, 0);  // inaudible but on
  EXPECT_TRUE(IsChannelEnabled(2));
  SetChannelVolumeLevel(3, -1);
  EXPECT_TRUE(IsChannelEnabled(3));  // effect channels play even when off (at volume 0)
  SetChannelVolumeLevel(0, -1);
  EXPECT_FALSE(IsChannelEnabled(0));
  SetChannelVolumeLevel(99, 5);  // unknown channel: nothing
  EXPECT_FALSE(IsChannelEnabled(7));
}

TEST(SoundLevels, DefaultsBeforeTheSettingsAreApplied) {
  ReleaseSound();  // back to the start-up state
  const int32_t expect[kSoundChannelCount] = {8500, 0, 8500, 8500, 8500, 8500, 8500};
  for (int ch = 0; ch < kSoundChannelCount; ++ch) EXPECT_EQ(ChannelActiveFlags[ch], expect[ch]) << ch;
  EXPECT_TRUE(IsChannelEnabled(0));  // music is loaded even before the settings exist
  EXPECT_TRUE(IsChannelEnabled(2));
}

TEST(SoundLevels, VoiceSettingFollowsTheVoiceMode) {
  struct {
    int mode, force, level;
    int32_t expect;
  } const cases[] = {{1, 0, 5, 8800}, {1, 1, 5, 8800}, {0, 1, 5, 8800}, {0, 0, 5, 0}, {2, 1, 5, 0}};
  for (const auto& c : cases) {
    SoundSettings s;
    s.voiceMode = c.mode;
    s.voiceLevel = c.level;
    SetSoundSettings(s);
    ApplyVoiceVolumeSetting(c.force);
    EXPECT_EQ(ChannelActiveFlags[2], c.expect) << c.mode << "/" << c.force;
  }
  SetSoundSettings(SoundSettings{});
}

// Fade-out from the configured 8500: the step of each speed, stopping on the tick that would fall
// below 5000.
struct FadeOut {
  int speed, step, stopTick;
};

class SoundFadeOut : public SoundTest, public ::testing::WithParamInterface<FadeOut> {};

TEST_P(SoundFadeOut, StepsDownAndStopsBelowTheAudibleLimit) {
  const FadeOut f = GetParam();
  Write("Data/se/loop.wav", Effect());
  PlaySound(3, "Data\\se\\loop.wav", 1, 0, 0);
  ASSERT_TRUE(IsChannelPlaying(3));
  ASSERT_EQ(GetChannelVolume(3), 8500);
  EXPECT_EQ(SetChannelFade(3, -f.speed, -1), f.speed);
  for (int tick = 1; tick <= f.stopTick; ++tick) {
    UpdateSoundFades();
    if (tick < f.stopTick) {
      ASSERT_EQ(GetChannelVolume(3), 8500 - f.step * tick) << tick;
      ASSERT_TRUE(IsChannelPlaying(3)) << tick;
    }
  }
  EXPECT_FALSE(IsChannelPlaying(3));
  EXPECT_EQ(GetChannelVolume(3), 0);
  EXPECT_EQ(g_SoundChannelState.fadeSpeed[3], 0);
}

INSTANTIATE_TEST_SUITE_P(Speeds, SoundFadeOut,
                         ::testing::Values(FadeOut{1, 50, 71}, FadeOut{2, 100, 36}, FadeOut{3, 200, 18},
                                           FadeOut{4, 300, 12}));

struct FadeIn {
  int level, speed;
  std::vector<int> volumes;  // after each tick, from 5000
};

class SoundFadeIn : public SoundTest, public ::testing::WithParamInterface<FadeIn> {};

TEST_P(SoundFadeIn, RisesByTheStepAndLandsExactlyOnTheTarget) {
  const FadeIn& f = GetParam();
  SetChannelVolumeLevel(4, f.level);
  Write("Data/se/loop.wav", Effect());
  PlaySound(4, "Data\\se\\loop.wav", 1, f.speed, 0);
  EXPECT_EQ(GetChannelVolume(4), 5000);
  for (size_t i = 0; i < f.volumes.size(); ++i) {
    UpdateSoundFades();
    EXPECT_EQ(GetChannelVolume(4), f.volumes[i]) << i;
  }
  // Landing exactly keeps the speed for one more tick, which then finds the target reached.
  UpdateSoundFades();
  EXPECT_EQ(GetChannelVolume(4), f.volumes.back());
  EXPECT_EQ(g_SoundChannelState.fadeSpeed[4], 0);
}

std::vector<int> Ramp(int from, int step, int target) {
  std::vector<int> v;
  for (int x = from + step; x <= target; x += step) v.push_back(x);
  if (v.empty() || v.back() != target) v.push_back(target);
  return v;
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundFadeIn,
                         ::testing::Values(FadeIn{4, 1, Ramp(5000, 50, 8500)}, FadeIn{4, 4, Ramp(5000, 300, 8500)},
                                           // 7400 + 300 would pass 7600: the last step lands on it.
                                           FadeIn{1, 4, {5300, 5600, 5900, 6200, 6500, 6800, 7100, 7400, 7600}},
                                           FadeIn{9, 3, Ramp(5000, 200, 10000)}));

TEST_F(SoundTest, LoadsByTheLastThreeLettersOfTheName) {
  Write("Data/se/LOUD.WAV", Effect());
  EXPECT_TRUE(LoadChannelSound(3, "Data\\se\\loud.WAV"));
  EXPECT_TRUE(SoundDeviceInstance->SlotHasData(3));
  EXPECT_TRUE(boxes_.boxes.empty());

  Write("Data/se/x.ogg", Effect());
  EXPECT_FALSE(LoadChannelSound(4, "Data\\se\\x.ogg"));
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].title, "サウンドファイルは.wavと.voiのみです");
  EXPECT_NE(boxes_.boxes[0].text.find("x.ogg"), std::string::npos);
}

TEST_F(SoundTest, WaveErrorsShowTheirBoxesAndLeaveTheChannelSilent) {
  EXPECT_FALSE(LoadChannelSound(3, "Data\\se\\missing.wav"));
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].title, "FILE LOAD ERROR");

  auto notPcm = Effect();
  notPcm[20] = 3;  // float format tag
  Write("Data/se/float.wav", notPcm);
  EXPECT_FALSE(LoadChannelSound(3, "Data\\se\\float.wav"));
  ASSERT_EQ(boxes_.boxes.size(), 2u);
  EXPECT_EQ(boxes_.boxes[1].title, "WAVEファイルはPCMフォーマットではありません");

  auto cut = Effect();
  cut.resize(200);  // data chunk says one second
  Write("Data/se/cut.wav", cut);
  EXPECT_FALSE(LoadChannelSound(3, "Data\\se\\cut.wav"));
  EXPECT_FALSE(SoundDeviceInstance->SlotHasData(3));
  PlaySound(3, "Data\\se\\cut.wav", 0, 0, 0);
  EXPECT_FALSE(IsChannelPlaying(3));
}

TEST_F(SoundTest, MissingVoiPlaysSilentlyAndNeverReplaysTheOldSound) {
  Write("Data/se/a.voi", soundtest::VoiOf(soundtest::Signal(20000, 2)));
  PlaySound(5, "Data\\se\\a.voi", 1, 0, 0);
  EXPECT_TRUE(IsChannelPlaying(5));
  PlaySound(5, "Data\\se\\nothing.voi", 1, 0, 0);
  EXPECT_FALSE(IsChannelPlaying(5));
  EXPECT_TRUE(boxes_.boxes.empty());
  const auto s = Pull(2000);
  for (int16_t v : s) ASSERT_EQ(v, 0);
}

TEST_F(SoundTest, PlayingAnEmptySlotShowsTheBufferBox) {
  StartChannelSound(4, 0, 0, 0);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].text, "SEバッファ2はデータがありません。");
  EXPECT_EQ(boxes_.boxes[0].title, "SEエラー");
}

TEST_F(SoundTest, DisabledChannelsLoadNothing) {
  Write("Data/v/a.voi", soundtest::VoiOf(soundtest::Signal(4000, 3)));
  SetChannelVolumeLevel(2, -1);
  EXPECT_FALSE(LoadChannelSound(2, "Data\\v\\a.voi"));
  PlaySound(2, "Data\\v\\a.voi", 0, 0, 0);
  EXPECT_FALSE(SoundDeviceInstance->SlotHasData(2));
  SetChannelVolumeLevel(0, -1);
  PlaySound(0, "Data\\v\\a.voi", 1, 0, 0);
  EXPECT_FALSE(GetChannelStream(0)->HasFile());
  EXPECT_FALSE(GetChannelStream(1)->HasFile());
  EXPECT_TRUE(IsChannelFile(0, "data\\V\\A.VOI"));  // still recorded for the save
}

TEST_F(SoundTest, EightBitWaveIsUnsignedAndPanned) {
  // 0xC0 is +64 steps above the 8-bit midpoint.
  std::vector<uint8_t> pcm(2000, 0xC0);
  SetChannelVolumeLevel(6, 9);
  Write("Data/se/u8.wav", plat::BuildWaveImage(1, 22050, 8, pcm.data(), pcm.size()));
  PlaySound(6, "Data\\se\\u8.wav", 0, 0, 10000);  // hard right
  const auto s = Pull(1000);
  EXPECT_EQ(s[2 * 500], 0);
  EXPECT_EQ(s[2 * 500 + 1], 64 * 256);
}

TEST_F(SoundTest, StopAllSoundRecordsWhatWasPlaying) {
  Write("Data/se/loop.wav", Effect());
  Write("Data/bgm/m.voi", soundtest::VoiOf(soundtest::Signal(88200, 4)));
  PlaySound(0, "Data\\bgm\\m.voi", 1, 0, 0);
  PlaySound(3, "Data\\se\\loop.wav", 1, 0, 0);
  PlaySound(5, "Data\\se\\loop.wav", 0, 0, 0);
  WaitSoundStreamsIdle();
  StopAllSound();
  WaitSoundStreamsIdle();
  const uint32_t expect[kSoundChannelCount] = {1, 0, 0, 1, 0, 1, 0};
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    EXPECT_EQ(GetSoundChannelRecord(ch).wasPlaying, expect[ch]) << ch;
    EXPECT_FALSE(IsChannelPlaying(ch)) << ch;
  }
  EXPECT_EQ(GetSoundChannelRecord(0).loop, 1u);
  EXPECT_STREQ(GetSoundChannelRecord(0).file, "Data\\bgm\\m.voi");
  StopAllSound();  // nothing plays now: every flag cleared
  for (int ch = 0; ch < kSoundChannelCount; ++ch) EXPECT_EQ(GetSoundChannelRecord(ch).wasPlaying, 0u);
}

TEST_F(SoundTest, InactiveWindowSilencesAndActivationRestores) {
  Write("Data/se/loop.wav", Effect());
  PlaySound(3, "Data\\se\\loop.wav", 1, 0, 0);
  PlaySound(4, "Data\\se\\loop.wav", 1, 0, 0);
  SetChannelFade(4, -1, -1);  // fading out towards 0
  UpdateSoundFades();
  SilenceAllSound();
  EXPECT_EQ(GetChannelVolume(3), 0);
  EXPECT_TRUE(IsChannelPlaying(3));
  EXPECT_FALSE(IsChannelPlaying(4));  // a fade-out stops at once
  for (int i = 0; i < 5; ++i) UpdateSoundFades();
  EXPECT_EQ(GetChannelVolume(3), 0);  // no fade creeps back while inactive
  // A new fade-out while inactive stops at once; new music starts inaudibly.
  PlaySound(5, "Data\\se\\loop.wav", 1, 0, 0);
  SetChannelFade(5, -2, -1);
  EXPECT_FALSE(IsChannelPlaying(5));

  RequestSoundActivation(true);
  UpdateSoundFades();
  EXPECT_EQ(GetChannelVolume(3), 8500);
  EXPECT_TRUE(IsSoundWindowActive());
}

TEST_F(SoundTest, BgmVolumeReachesTheMovieListener) {
  static int heard = -1;
  SetBgmVolumeListener([](SoundVolume v) { heard = v; });
  SetChannelVolumeLevel(0, 6);
  ApplyBgmVolume();
  EXPECT_EQ(heard, 9100);
  SetBgmVolumeListener(nullptr);
}

}  // namespace
