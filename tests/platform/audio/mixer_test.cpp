// Mixer: gain and pan laws, 8-bit conversion, once/looping, resampling, notifications.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/audio/mixer.h"

namespace {

struct MixerFixture : ::testing::Test {
  plat::Mixer mixer;
  plat::CaptureOutput out{mixer, 100};

  int Constant(int16_t value, size_t frames, int channels = 2, int rate = plat::kMixRate) {
    const int id = mixer.CreateBuffer({channels, rate, 16}, frames);
    std::vector<int16_t> s(frames * size_t(channels), value);
    EXPECT_TRUE(mixer.Write(id, 0, s.data(), s.size() * 2));
    return id;
  }
};

struct GainCase {
  int volume, pan;
  double left, right;  // expected gains
};

class MixerGain : public MixerFixture, public ::testing::WithParamInterface<GainCase> {};

TEST_P(MixerGain, FollowsDecibelVolumeAndPan) {
  const GainCase c = GetParam();
  const int id = Constant(16000, 1000);
  mixer.SetVolume(id, c.volume);
  mixer.SetPan(id, c.pan);
  mixer.Play(id, true);
  const auto s = out.Pull(10);
  EXPECT_NEAR(s[0], 16000 * c.left, 1.0);
  EXPECT_NEAR(s[1], 16000 * c.right, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, MixerGain,
                         ::testing::Values(GainCase{0, 0, 1, 1},
                                           GainCase{-600, 0, std::pow(10, -0.3), std::pow(10, -0.3)},
                                           GainCase{-2000, 0, 0.1, 0.1}, GainCase{-10000, 0, 0, 0},
                                           GainCase{-20000, 0, 0, 0}, GainCase{0, 10000, 0, 1},
                                           GainCase{0, -2000, 1, 0.1}, GainCase{0, 2000, 0.1, 1},
                                           GainCase{-2000, -2000, 0.1, 0.01}, GainCase{0, 99999, 0, 1}));

TEST_F(MixerFixture, EightBitSamplesAreUnsigned) {
  const int id = mixer.CreateBuffer({1, plat::kMixRate, 8}, 3);
  const uint8_t pcm[3] = {0x80, 0xFF, 0x00};
  ASSERT_TRUE(mixer.Write(id, 0, pcm, 3));
  mixer.Play(id, false);
  const auto s = out.Pull(3);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[2], 127 * 256);
  EXPECT_EQ(s[4], -32768);
  EXPECT_EQ(s[5], -32768);  // mono goes to both sides
}

TEST_F(MixerFixture, OnceStopsAtTheEndAndLoopRepeats) {
  const int once = Constant(1000, 150);
  mixer.Play(once, false);
  auto s = out.Pull(300);
  EXPECT_EQ(s[2 * 149], 1000);
  EXPECT_EQ(s[2 * 150], 0);
  EXPECT_FALSE(mixer.IsPlaying(once));
  EXPECT_EQ(mixer.Position(once), 0u);  // rewound for the next play

  mixer.DestroyBuffer(once);
  const int id = mixer.CreateBuffer({1, plat::kMixRate, 16}, 3);
  const int16_t ramp[3] = {1, 2, 3};
  mixer.Write(id, 0, ramp, sizeof ramp);
  mixer.Play(id, true);
  s = out.Pull(250);
  for (size_t i = 0; i < 250; ++i) ASSERT_EQ(s[2 * i], ramp[i % 3]) << i;
  EXPECT_TRUE(mixer.IsPlaying(id));
  mixer.Stop(id);
  EXPECT_FALSE(mixer.IsPlaying(id));
  s = out.Pull(10);
  EXPECT_EQ(s[0], 0);
}

TEST_F(MixerFixture, ResamplesOtherRatesLinearly) {
  // 22050 Hz: each source frame lasts two output frames; the odd ones are midpoints.
  const int id = mixer.CreateBuffer({1, 22050, 16}, 4);
  const int16_t src[4] = {0, 1000, 3000, -1000};
  mixer.Write(id, 0, src, sizeof src);
  mixer.Play(id, false);
  const auto s = out.Pull(10);
  const int16_t expect[10] = {0, 500, 1000, 2000, 3000, 1000, -1000, -1000, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s[2 * i], expect[i]) << i;
}

TEST_F(MixerFixture, ChannelsAddAndClip) {
  const int a = Constant(30000, 100), b = Constant(30000, 100), c = Constant(-1000, 100);
  mixer.Play(a, true);
  mixer.Play(b, true);
  auto s = out.Pull(1);
  EXPECT_EQ(s[0], 32767);
  mixer.Stop(b);
  mixer.Play(c, true);
  s = out.Pull(1);
  EXPECT_EQ(s[0], 29000);
}

TEST_F(MixerFixture, NotifiesOnStartAndWhenTheCursorReachesEachPosition) {
  const int id = Constant(1, 1000);
  std::vector<int> fired;
  mixer.SetNotifications(id, {0, 500}, [&](int i) { fired.push_back(i); });
  mixer.Play(id, true);
  EXPECT_EQ(fired, std::vector<int>({0}));  // starting on position 0 reaches it
  out.Pull(400);
  EXPECT_EQ(fired.size(), 1u);
  out.Pull(100);
  EXPECT_EQ(fired, std::vector<int>({0, 1}));
  out.Pull(499);
  EXPECT_EQ(fired.size(), 2u);
  out.Pull(1);  // wraps to 0
  EXPECT_EQ(fired, std::vector<int>({0, 1, 0}));
  mixer.Stop(id);
  out.Pull(2000);
  EXPECT_EQ(fired.size(), 3u);
}

TEST_F(MixerFixture, BadArgumentsAreRefusedWithoutHarm) {
  EXPECT_EQ(mixer.CreateBuffer({3, 44100, 16}, 10), -1);
  EXPECT_EQ(mixer.CreateBuffer({2, 44100, 24}, 10), -1);
  EXPECT_EQ(mixer.CreateBuffer({2, 0, 16}, 10), -1);
  EXPECT_EQ(mixer.CreateBuffer({2, 44100, 16}, 0), -1);
  const int id = Constant(5, 10);
  const int16_t x[4] = {};
  EXPECT_FALSE(mixer.Write(id, 36, x, 8));  // past the end
  EXPECT_FALSE(mixer.Write(id, 2, x, 4));   // not on a frame
  EXPECT_FALSE(mixer.Write(99, 0, x, 4));
  EXPECT_FALSE(mixer.Play(99, true));
  mixer.Stop(-1);
  mixer.SetVolume(1234, 0);
  EXPECT_EQ(mixer.Volume(1234), plat::kVolumeMin);
  EXPECT_FALSE(mixer.IsPlaying(-5));
  mixer.DestroyBuffer(id);
  EXPECT_FALSE(mixer.Play(id, true));
}

}  // namespace
