// Music streams through the capture output: intro/loop joins, the end countdown, halt and stop,
// fades between the two players, and the worker's behaviour on broken input.
#include <gtest/gtest.h>

#include <algorithm>

#include "sound/sound.h"
#include "sound/sound_stream.h"
#include "sound_fixture.h"
#include "tests/support/log_lines.h"

namespace {

using soundtest::SoundTest;

class SoundStreamTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    SetChannelVolumeLevel(0, 9);  // 10000: samples pass unchanged
  }
  // A generated track of `frames` stereo frames written as Data/bgm/<name>.voi and played on
  // channel 0 (loop 1: it loops); its decoded samples, once the workers are idle.
  std::vector<int16_t> PlayTrack(const std::string& name, size_t frames, int seed, int loop) {
    const auto voi = soundtest::VoiOf(soundtest::Signal(frames, seed));
    Write("Data/bgm/" + name + ".voi", voi);
    PlaySound(0, ("Data\\bgm\\" + name + ".voi").c_str(), loop, 0, 0);
    WaitSoundStreamsIdle();
    return soundtest::DecodeVoi(voi);
  }
  // Two different tracks of `frames` frames, Data/bgm/A.voi and B.voi.
  void WriteTracksAB(size_t frames) {
    Write("Data/bgm/A.voi", soundtest::VoiOf(soundtest::Signal(frames, 1)));
    Write("Data/bgm/B.voi", soundtest::VoiOf(soundtest::Signal(frames, 2)));
  }
};

// First index where two sample runs differ, or -1.
long FirstDiff(const std::vector<int16_t>& got, const std::vector<int16_t>& want, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (got[i] != want[i]) return long(i);
  return -1;
}

bool Silent(std::vector<int16_t>::const_iterator from, std::vector<int16_t>::const_iterator to) {
  return std::all_of(from, to, [](int16_t v) { return v == 0; });
}

// got starts with the whole of track, sample for sample, and is silent after it.
::testing::AssertionResult TrackThenSilence(const std::vector<int16_t>& got, const std::vector<int16_t>& track) {
  if (got.size() < track.size()) return ::testing::AssertionFailure() << "only " << got.size() << " samples";
  if (const long d = FirstDiff(got, track, track.size()); d != -1)
    return ::testing::AssertionFailure() << "differs from the track at sample " << d;
  if (!Silent(got.begin() + long(track.size()), got.end()))
    return ::testing::AssertionFailure() << "not silent after the track";
  return ::testing::AssertionSuccess();
}

TEST_F(SoundStreamTest, IntroThenLoopJoinWithoutGapOrRepeat) {
  // Lengths chosen so the joins fall inside buffer halves and across them.
  const auto intro = soundtest::VoiOf(soundtest::Signal(30001, 1));
  const auto body = soundtest::VoiOf(soundtest::Signal(50017, 2));
  Write("Data/bgm/T_intro.voi", intro);
  Write("Data/bgm/T.voi", body);
  PlaySoundFile(0, "Data\\bgm\\T_intro.voi", "Data\\bgm\\T.voi", 1, 0, 0);
  WaitSoundStreamsIdle();

  const auto a = soundtest::DecodeVoi(intro), b = soundtest::DecodeVoi(body);
  ASSERT_EQ(a.size(), 30001u * 2);
  ASSERT_EQ(b.size(), 50017u * 2);
  std::vector<int16_t> want(a);
  while (want.size() < 44100 * 2 * 5) want.insert(want.end(), b.begin(), b.end());
  const auto got = Pull(44100 * 5);
  EXPECT_EQ(FirstDiff(got, want, got.size()), -1);
  EXPECT_TRUE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, AWholeFileLoopsOnItselfWithoutASecondFile) {
  const auto b = PlayTrack("L", 20000, 5, 1);
  std::vector<int16_t> want;
  while (want.size() < 44100 * 2 * 3) want.insert(want.end(), b.begin(), b.end());
  const auto got = Pull(44100 * 3);
  EXPECT_EQ(FirstDiff(got, want, got.size()), -1);
}

TEST_F(SoundStreamTest, ShortTrackEndsInSilenceAfterTheCountdown) {
  const auto a = PlayTrack("S", 10000, 3, 0);
  auto got = Pull(44000);
  EXPECT_TRUE(TrackThenSilence(got, a));
  // Notification at the start (countdown 2 -> 1), then at the half (1 -> 0): the buffer stops.
  EXPECT_TRUE(IsChannelPlaying(0));
  got = Pull(200);
  EXPECT_FALSE(IsChannelPlaying(0));
  got = Pull(44100 * 2);
  EXPECT_TRUE(Silent(got.begin(), got.end()));
  EXPECT_FALSE(GetChannelStream(0)->HasFile());
}

TEST_F(SoundStreamTest, ATrackEndingLaterPlaysItsTailThenStops) {
  const auto a = PlayTrack("M", 100000, 4, 0);
  EXPECT_TRUE(TrackThenSilence(Pull(44100 * 4), a));
  EXPECT_FALSE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, ANewTrackRightAfterTheEndIsNotSwallowedByTheCountdown) {
  Write("Data/bgm/S.voi", soundtest::VoiOf(soundtest::Signal(1000, 3)));
  PlaySound(0, "Data\\bgm\\S.voi", 0, 0, 0);
  WaitSoundStreamsIdle();
  // Both players now: the first has just ended (countdown running); play on the same player again.
  SoundStream* first = GetChannelStream(0);
  ASSERT_EQ(first->Open((std::string(GetModuleDir()) + "Data\\bgm\\S.voi").c_str(), nullptr), 0);
  first->Play(false);
  WaitSoundStreamsIdle();
  EXPECT_TRUE(first->IsPlaying());
  const auto got = Pull(500);
  EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](int16_t v) { return v != 0; }));
}

TEST_F(SoundStreamTest, HaltKeepsThePlaceAndResumeContinues) {
  const auto a = PlayTrack("H", 150000, 6, 1);
  auto got = Pull(30000);
  StopAllSound();  // music halts
  WaitSoundStreamsIdle();
  EXPECT_EQ(GetSoundChannelRecord(0).wasPlaying, 1u);
  EXPECT_FALSE(IsChannelPlaying(0));
  const auto silent = Pull(5000);
  EXPECT_TRUE(Silent(silent.begin(), silent.end()));
  GetChannelStream(0)->Resume();
  WaitSoundStreamsIdle();
  const auto more = Pull(40000);
  got.insert(got.end(), more.begin(), more.end());
  EXPECT_EQ(FirstDiff(got, a, got.size()), -1);

  StopChannel(0);  // stop: not resumable state, silence
  WaitSoundStreamsIdle();
  EXPECT_FALSE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, NewTrackAtSpeedZeroStopsTheOldOneOnTheNextTick) {
  WriteTracksAB(88200);
  PlaySound(0, "Data\\bgm\\A.voi", 1, 0, 0);
  WaitSoundStreamsIdle();
  SoundStream* a = GetChannelStream(0);
  PlaySound(0, "Data\\bgm\\B.voi", 1, 0, 0);
  WaitSoundStreamsIdle();
  EXPECT_EQ(GetChannelStream(1), a);  // the players swapped
  EXPECT_TRUE(IsChannelPlaying(1));
  EXPECT_EQ(GetChannelVolume(0), 10000);
  UpdateSoundFades();
  WaitSoundStreamsIdle();
  EXPECT_FALSE(IsChannelPlaying(1));
  EXPECT_TRUE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, DeactivationStopsTheOldTrackAndNewMusicStartsInaudibly) {
  WriteTracksAB(88200);
  PlaySound(0, "Data\\bgm\\A.voi", 1, 0, 0);
  PlaySound(0, "Data\\bgm\\B.voi", 1, 0, 0);  // A waits for the next tick to stop
  WaitSoundStreamsIdle();
  SilenceAllSound();
  WaitSoundStreamsIdle();
  EXPECT_FALSE(IsChannelPlaying(1));
  EXPECT_TRUE(IsChannelPlaying(0));
  EXPECT_EQ(GetChannelVolume(0), 0);
  PlaySound(0, "Data\\bgm\\A.voi", 1, 2, 0);
  WaitSoundStreamsIdle();
  EXPECT_EQ(GetChannelVolume(0), 1);
  EXPECT_FALSE(IsChannelPlaying(1));  // the fade-out of an inactive window stops at once
  for (int i = 0; i < 3; ++i) UpdateSoundFades();
  EXPECT_EQ(GetChannelVolume(0), 1);
  RestoreAllSound();
  EXPECT_EQ(GetChannelVolume(0), 10000);
}

TEST_F(SoundStreamTest, NewTrackAtSpeedTwoCrossFades) {
  SetChannelVolumeLevel(0, 4);  // 8500
  WriteTracksAB(88200);
  PlaySound(0, "Data\\bgm\\A.voi", 1, 0, 0);
  PlaySound(0, "Data\\bgm\\B.voi", 1, 2, 0);
  WaitSoundStreamsIdle();
  EXPECT_EQ(GetChannelVolume(0), 5000);
  EXPECT_EQ(GetChannelVolume(1), 8500);
  for (int tick = 1; tick <= 36; ++tick) {
    UpdateSoundFades();
    WaitSoundStreamsIdle();
    EXPECT_EQ(GetChannelVolume(0), std::min(5000 + 100 * tick, 8500)) << tick;
    if (tick < 36) {
      EXPECT_EQ(GetChannelVolume(1), 8500 - 100 * tick) << tick;
      EXPECT_TRUE(IsChannelPlaying(1)) << tick;
    }
  }
  EXPECT_FALSE(IsChannelPlaying(1));
  EXPECT_TRUE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, OpeningWhilePlayingIsSafe) {
  WriteTracksAB(30000);
  for (int i = 0; i < 40; ++i) {
    PlaySound(0, i % 2 ? "Data\\bgm\\A.voi" : "Data\\bgm\\B.voi", 1, i % 3, 0);
    capture_->Pull(size_t(997 * (i % 5)));  // tracks change while the workers are still busy
    UpdateSoundFades();
  }
  WaitSoundStreamsIdle();
  EXPECT_TRUE(IsChannelFile(0, "Data\\bgm\\A.voi"));
  Pull(44100);
  EXPECT_TRUE(IsChannelPlaying(0));
}

// Broken loop files end the stream instead of spinning the worker.
struct BrokenLoop {
  const char* name;
  std::vector<uint8_t> (*loopFile)();  // null: missing
};

std::vector<uint8_t> EmptyLoop() { return soundtest::VoiOf({}); }
std::vector<uint8_t> GarbageLoop() { return plat::BuildVoiFile(std::vector<uint8_t>(4000, 0x33)); }
std::vector<uint8_t> BadHeaderLoop() {
  auto v = soundtest::VoiOf(soundtest::Signal(5000, 1));
  v[30] = 0xF0;  // negative extra length
  return v;
}

class SoundStreamBrokenLoop : public SoundStreamTest, public ::testing::WithParamInterface<BrokenLoop> {};

TEST_P(SoundStreamBrokenLoop, EndsTheStreamAfterTheIntro) {
  const auto intro = soundtest::VoiOf(soundtest::Signal(8000, 2));
  Write("Data/bgm/I.voi", intro);
  if (GetParam().loopFile) Write("Data/bgm/Loop.voi", GetParam().loopFile());
  PlaySoundFile(0, "Data\\bgm\\I.voi", "Data\\bgm\\Loop.voi", 1, 0, 0);
  WaitSoundStreamsIdle();  // would never return if the worker spun
  EXPECT_TRUE(TrackThenSilence(Pull(44100 * 2), soundtest::DecodeVoi(intro)));
  EXPECT_FALSE(IsChannelPlaying(0));
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundStreamBrokenLoop,
                         ::testing::Values(BrokenLoop{"empty", &EmptyLoop}, BrokenLoop{"garbage", &GarbageLoop},
                                           BrokenLoop{"badHeader", &BadHeaderLoop}, BrokenLoop{"missing", nullptr}),
                         [](const auto& i) { return std::string(i.param.name); });

// Damaged music is refused with one log line naming the file and why, however often it is asked for.
TEST_F(SoundStreamTest, DamagedMusicIsLoggedOncePerFileWithTheReason) {
  Write("Data/bgm/Damaged.voi", GarbageLoop());
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) {
    PlaySound(0, "Data\\bgm\\Damaged.voi", 1, 0, 0);
    WaitSoundStreamsIdle();
  }
  const std::vector<std::string> lines = v4test::LogLinesNaming(testing::internal::GetCapturedStderr(), "Damaged.voi");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("not a playable .voi"), std::string::npos) << lines[0];
  EXPECT_FALSE(IsChannelPlaying(0));
}

TEST_F(SoundStreamTest, MissingMusicLeavesThePlayerWithoutAFile) {
  PlaySound(0, "Data\\bgm\\none.voi", 1, 0, 0);
  WaitSoundStreamsIdle();
  EXPECT_FALSE(GetChannelStream(0)->HasFile());
  EXPECT_FALSE(IsChannelPlaying(0));
  EXPECT_TRUE(boxes_.boxes.empty());
}

}  // namespace
