// The built opening movie: our own pictures over the title music, not a test pattern.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/movie/movie_decoder.h"

namespace {

TEST(OpeningMovie, ShowsTheSamplePicturesOverTheTitleMusic) {
  plat::MovieDecoder dec;
  std::string error;
  ASSERT_TRUE(dec.Open(std::string(V4_TEST_GAME_DIR) + "/Data/media/op.mdm", 0, &error)) << error;
  const plat::MovieInfo& info = dec.Info();
  EXPECT_EQ(info.width, 1280);
  EXPECT_EQ(info.height, 720);
  EXPECT_TRUE(info.hasAudio);
  EXPECT_GT(info.duration, 10.0);
  plat::MovieVideoFrame frame, first, title;
  plat::MovieAudioChunk audio;
  int loudest = 0;
  bool haveFirst = false, haveTitle = false;
  for (;;) {
    const plat::MovieDecodeStatus st = dec.Next(frame, audio);
    if (st == plat::MovieDecodeStatus::kEnd) break;
    if (st == plat::MovieDecodeStatus::kAudio) {
      for (int16_t s : audio.samples) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
      continue;
    }
    if (!haveFirst) first = frame, haveFirst = true;
    // The last shot (the title, 11 s to 15 s) fully lit.
    if (!haveTitle && frame.pts >= 13.0) title = frame, haveTitle = true;
  }
  ASSERT_TRUE(haveFirst && haveTitle);
  auto at = [](const plat::MovieVideoFrame& f, int x, int y, int c) {
    return int(f.rgba[(size_t(y) * f.width + x) * 4 + c]);
  };
  // It fades in from black.
  for (int c = 0; c < 3; ++c) EXPECT_LT(at(first, 640, 360, c), 24) << c;
  // The title card: the crest's red disc under a dark blue sky, no colour bars.
  EXPECT_NEAR(at(title, 640, 300, 0), 0x7A, 40);
  EXPECT_LT(at(title, 640, 300, 1), 80);
  EXPECT_LT(at(title, 100, 60, 0), 70);
  EXPECT_LT(at(title, 100, 60, 1), 70);
  EXPECT_GT(at(title, 100, 60, 2), at(title, 100, 60, 0));
  // The music is there, not a quiet track.
  EXPECT_GT(loudest, 2000);
}

}  // namespace
