#include "platform/movie/movie_encoder.h"

#include <gtest/gtest.h>

#include "platform/movie/movie_decoder.h"
#include "tests/platform/movie/movie_test_support.h"

namespace {

TEST(MovieEncoder, RefusesBadParameters) {
  v4test::TempFolder dir;
  struct Case {
    int width, height, fps;
  };
  const Case cases[] = {{63, 36, 10}, {64, 35, 10}, {8, 8, 10}, {8192, 64, 10}, {64, 36, 0}, {64, 36, 500}};
  for (const Case& c : cases) {
    plat::MovieEncodeParams p;
    p.width = c.width;
    p.height = c.height;
    p.fps = c.fps;
    plat::MovieEncoder enc;
    std::string error;
    EXPECT_FALSE(enc.Create(dir.File("bad.mdm"), p, &error)) << c.width << "x" << c.height << "@" << c.fps;
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(enc.AddVideoFrame(nullptr, 0));
    EXPECT_FALSE(enc.Finish());
  }
  plat::MovieEncodeParams ok;
  ok.width = 64;
  ok.height = 36;
  plat::MovieEncoder enc;
  EXPECT_FALSE(enc.Create(dir.File("no-such-folder/x.mdm"), ok, nullptr));
}

// Reads the frame counter along the bottom of a test-pattern picture: 16 cells, most significant
// bit on the left, white for 1.
int ReadCounter(const plat::MovieVideoFrame& f) {
  int value = 0;
  const int y = f.height - 2;
  for (int bit = 0; bit < 16; ++bit) {
    int x = (bit * f.width + f.width / 2) / 16;
    value = value * 2 + (f.rgba[(static_cast<size_t>(y) * f.width + x) * 4] > 128 ? 1 : 0);
  }
  return value;
}

// Leftmost column of the white mark on the middle row of the bar area.
int MarkLeft(const plat::MovieVideoFrame& f) {
  const int y = (f.height - std::max(4, f.height / 12)) / 2;
  for (int x = 0; x < f.width; ++x) {
    const uint8_t* p = &f.rgba[(static_cast<size_t>(y) * f.width + x) * 4];
    if (p[0] > 230 && p[1] > 230 && p[2] > 230) return x;
  }
  return -1;
}

TEST(MovieEncoder, TestPatternRoundTrip) {
  v4test::TempFolder dir;
  plat::TestPatternParams tp;
  tp.width = 320;
  tp.height = 180;
  tp.fps = 15;
  tp.seconds = 2;
  tp.toneHz = 880;
  tp.quality = 2;
  std::string path = dir.File("pattern.mdm");
  std::string error;
  ASSERT_TRUE(plat::WriteTestPatternMovie(path, tp, &error)) << error;

  plat::MovieDecoder dec;
  ASSERT_TRUE(dec.Open(path, 1, &error)) << error;
  EXPECT_NEAR(dec.Info().duration, 2.0, 0.1);
  plat::MovieVideoFrame v;
  plat::MovieAudioChunk a;
  int frames = 0;
  int lastMark = -1;
  std::vector<int16_t> sound;
  for (plat::MovieDecodeStatus s; (s = dec.Next(v, a)) != plat::MovieDecodeStatus::kEnd;) {
    if (s == plat::MovieDecodeStatus::kAudio) {
      sound.insert(sound.end(), a.samples.begin(), a.samples.end());
      continue;
    }
    EXPECT_EQ(ReadCounter(v), frames);
    int mark = MarkLeft(v);
    EXPECT_GT(mark, lastMark) << "the mark moves right every frame";
    lastMark = mark;
    ++frames;
  }
  EXPECT_EQ(frames, 30);
  EXPECT_GT(lastMark, tp.width * 3 / 4);
  EXPECT_NEAR(movietest::ToneFrequency(sound), 880.0, 8.0);
}

}  // namespace
