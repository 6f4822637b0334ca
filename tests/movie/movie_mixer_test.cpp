#include "movie/movie_mixer_sink.h"

#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "movie/movie_mgr.h"
#include "platform/audio/mixer.h"
#include "platform/text/log.h"
#include "tests/platform/movie/movie_test_support.h"

namespace {

uint32_t Clock(void* user) { return *static_cast<uint32_t*>(user); }

// A movie's tone comes out of the mixer's capture output at the movie volume: played by frame
// steps of 20 ms, each followed by a 20 ms pull, as the device would.
TEST(MovieMixer, MovieSoundReachesTheCaptureOutput) {
  plat::SetLogEnabled(false);
  uint32_t now = 5000;
  SetGameClockOverride(&Clock, &now);
  v4test::TempFolder dir;
  std::string path = dir.File("tone.mdm");
  ASSERT_TRUE(movietest::WriteColourMovie(path, 10, 440, nullptr));

  plat::Mixer mixer;
  plat::CaptureOutput capture(mixer, 441);
  {
    MovieMgr mgr;
    mgr.SetWaitForDecoder(true);
    mgr.SetAudioSinkFactory(MakeMixerMovieAudioSinkFactory(mixer));
    mgr.Init();
    const int32_t id = mgr.OpenTextureMovie(-1, path.c_str(), nullptr);
    ASSERT_EQ(id, 0);
    // Nothing plays before the movie starts.
    std::vector<int16_t> before = capture.Pull(882);
    EXPECT_LT(movietest::Rms(before), 1.0);

    ASSERT_TRUE(mgr.Play(id, false));
    std::vector<int16_t> heard;
    auto run = [&](int steps) {
      for (int i = 0; i < steps; ++i) {
        now += 20;
        mgr.UpdateMovies();
        std::vector<int16_t> chunk = capture.Pull(882);
        heard.insert(heard.end(), chunk.begin(), chunk.end());
      }
    };
    run(25);  // half a second at full volume
    EXPECT_NEAR(movietest::ToneFrequency(heard), 440.0, 4.0);
    EXPECT_NEAR(movietest::Rms(heard), 5793, 500);

    // Volume 0 is silence (-10000 hundredths of a decibel).
    mgr.SetVolumeAll(0);
    heard.clear();
    run(10);
    EXPECT_LT(movietest::Rms(heard), 1.0);

    // Half volume on the attenuation scale: -50 dB is far quieter than full.
    mgr.SetVolumeAll(5000);
    heard.clear();
    run(5);
    const double quiet = movietest::Rms(heard);
    EXPECT_GT(quiet, 0.5);
    EXPECT_LT(quiet, 100.0);

    // After the end the sink runs dry and plays silence, not old sound.
    mgr.SetVolumeAll(10000);
    run(40);
    EXPECT_TRUE(mgr.IsFinished(id));
    heard.clear();
    run(10);
    EXPECT_LT(movietest::Rms(heard), 1.0);
    // The ended movie stays open (no close-when-finished): its sound buffer must not come round
    // again with the sound it already played.
    heard.clear();
    run(150);
    EXPECT_LT(movietest::Rms(heard), 1.0);
    mgr.CloseAll();
  }
  SetGameClockOverride(nullptr, nullptr);
  plat::SetLogEnabled(true);
}

}  // namespace
