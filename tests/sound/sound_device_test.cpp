// The real audio device (SDL; the dummy driver in CI): sounds and music play to their end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "sound/sound.h"
#include "sound/sound_stream.h"
#include "sound_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

class SoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // No sound hardware in CI: the dummy driver is a real SDL device that plays into nothing. An
    // explicit choice in the environment wins.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
    std::filesystem::create_directories(dir_ / "Data" / "se");
    ASSERT_TRUE(SetModuleDirFromHost(dir_.string() + "/"));
    SetErrorBoxPresenter(&boxes_);
  }
  void TearDown() override {
    ReleaseSound();
    SetErrorBoxPresenter(nullptr);
  }
  // Waits (without asserting any duration) until the channel is silent or a generous deadline.
  static bool WaitUntilStopped(int channel) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (IsChannelPlaying(channel)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  v4test::TempFolder temp_{"v4_sound_dev"};
  std::filesystem::path dir_;
  v4test::RecordingBoxes boxes_;
};

TEST_F(SoundDeviceTest, PlaysAVoiEffectAndAMusicTrackToTheirEnd) {
  ASSERT_TRUE(InitSound()) << "no audio device (set SDL_AUDIODRIVER=dummy)";
  StartSoundStreams();
  for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);
  const auto voi = soundtest::VoiOf(soundtest::Signal(11025, 1));  // a quarter second
  std::ofstream((dir_ / "Data/se/blip.voi").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(voi.data()), long(voi.size()));
  std::ofstream((dir_ / "Data/se/tune.voi").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(voi.data()), long(voi.size()));
  plat::InvalidateDirectoryCache();

  PlaySound(3, "Data\\se\\blip.voi", 0, 0, 0);
  EXPECT_TRUE(IsChannelPlaying(3));
  EXPECT_TRUE(WaitUntilStopped(3));

  PlaySound(0, "Data\\se\\tune.voi", 0, 0, 0);
  WaitSoundStreamsIdle();
  EXPECT_TRUE(IsChannelPlaying(0));
  EXPECT_TRUE(WaitUntilStopped(0));
  EXPECT_FALSE(GetChannelStream(0)->HasFile());
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(SoundDeviceTest, WithoutADeviceEveryCallIsANoOp) {
  // Not initialised: the game runs silent.
  StartSoundStreams();
  PlaySound(0, "Data\\se\\none.voi", 1, 2, 0);
  PlaySound(3, "Data\\se\\none.voi", 0, 0, 0);
  StartChannelSound(4, 0, 0, 0);  // no "empty buffer" box without a device
  UpdateSoundFades();
  StopAllSound();
  EXPECT_FALSE(IsChannelPlaying(0));
  EXPECT_EQ(GetChannelVolume(3), 0);
  EXPECT_TRUE(boxes_.boxes.empty());
}

}  // namespace
