#include "platform/movie/movie_decoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/movie/movie_encoder.h"
#include "platform/movie/movie_stream.h"
#include "platform/text/log.h"
#include "tests/platform/movie/movie_test_support.h"

namespace {

using movietest::FrameColours;
using movietest::MatchColour;

class MovieDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    path_ = dir_.File("colours.mdm");
    ASSERT_TRUE(movietest::WriteColourMovie(path_, 10, 440, &error)) << error;
  }
  v4test::TempFolder dir_;
  std::string path_;
};

TEST_F(MovieDecoderTest, FramesArriveInOrderThenEndOfStream) {
  plat::MovieDecoder dec;
  std::string error;
  ASSERT_TRUE(dec.Open(path_, 1, &error)) << error;
  const plat::MovieInfo& info = dec.Info();
  EXPECT_EQ(info.width, 64);
  EXPECT_EQ(info.height, 36);
  EXPECT_NEAR(info.fps, 10.0, 1e-6);
  EXPECT_TRUE(info.hasVideo);
  EXPECT_TRUE(info.hasAudio);
  EXPECT_NEAR(info.duration, 1.0, 0.1);

  plat::MovieVideoFrame v;
  plat::MovieAudioChunk a;
  std::vector<int> colours;
  std::vector<double> pts;
  std::vector<int16_t> sound;
  for (int guard = 0; guard < 10000; ++guard) {
    plat::MovieDecodeStatus s = dec.Next(v, a);
    if (s == plat::MovieDecodeStatus::kEnd) break;
    if (s == plat::MovieDecodeStatus::kVideo) {
      ASSERT_EQ(v.width, 64);
      ASSERT_EQ(v.height, 36);
      ASSERT_EQ(v.rgba.size(), 64u * 36 * 4);
      colours.push_back(MatchColour(&v.rgba[(18 * 64 + 32) * 4]));
      pts.push_back(v.pts);
    } else {
      sound.insert(sound.end(), a.samples.begin(), a.samples.end());
    }
  }
  ASSERT_EQ(colours.size(), FrameColours().size());
  for (size_t i = 0; i < colours.size(); ++i) {
    EXPECT_EQ(colours[i], static_cast<int>(i)) << "frame " << i;
    EXPECT_NEAR(pts[i], i * 0.1, 0.002) << "frame " << i;
  }
  // About one second of stereo sound carrying the 440 Hz tone.
  EXPECT_NEAR(sound.size() / 2.0 / 44100, 1.0, 0.1);
  EXPECT_NEAR(movietest::ToneFrequency(sound), 440.0, 5.0);
  // The end is sticky.
  EXPECT_EQ(dec.Next(v, a), plat::MovieDecodeStatus::kEnd);
}

TEST_F(MovieDecoderTest, SeekStartsAtTheFrameCoveringTheTarget) {
  plat::MovieDecoder dec;
  ASSERT_TRUE(dec.Open(path_, 1));
  struct Case {
    double target;
    int firstFrame;
  };
  // Twice over, and after reaching the end, so a seek also revives a finished decoder.
  const Case cases[] = {{0.5, 5}, {0.0, 0}, {0.84, 8}, {0.3, 3}, {0.95, 9}};
  for (const Case& c : cases) {
    ASSERT_TRUE(dec.Seek(c.target)) << c.target;
    plat::MovieVideoFrame v;
    plat::MovieAudioChunk a;
    bool sawVideo = false, sawAudio = false;
    for (int guard = 0; guard < 1000 && !(sawVideo && sawAudio); ++guard) {
      plat::MovieDecodeStatus s = dec.Next(v, a);
      if (s == plat::MovieDecodeStatus::kEnd) break;
      if (s == plat::MovieDecodeStatus::kVideo && !sawVideo) {
        sawVideo = true;
        EXPECT_EQ(MatchColour(&v.rgba[0]), c.firstFrame) << "seek " << c.target;
        EXPECT_NEAR(v.pts, c.firstFrame * 0.1, 0.002);
      }
      if (s == plat::MovieDecodeStatus::kAudio && !sawAudio) {
        sawAudio = true;
        // Not before the target (within a sample); late by less than one coded audio frame (1152 samples).
        EXPECT_GE(a.pts, c.target - 1.0 / 44100) << "seek " << c.target;
        EXPECT_LT(a.pts, c.target + 1152.0 / 44100) << "seek " << c.target;
      }
    }
    EXPECT_TRUE(sawVideo);
    EXPECT_TRUE(sawAudio);
    while (dec.Next(v, a) != plat::MovieDecodeStatus::kEnd) {}
  }
}

// Sound of any rate and channel count comes out as 44.1 kHz stereo at the same pitch and length.
TEST(MovieDecoderSound, ResampledTo44kStereo) {
  struct Case {
    int rate, channels;
  };
  const Case cases[] = {{22050, 1}, {48000, 2}, {32000, 1}, {44100, 1}};
  v4test::TempFolder dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz x" << c.channels);
    plat::MovieEncodeParams p;
    p.width = 64;
    p.height = 36;
    p.fps = 10;
    p.audioRate = c.rate;
    p.audioChannels = c.channels;
    std::string path = dir.File("sound.mdm");
    plat::MovieEncoder enc;
    std::string error;
    ASSERT_TRUE(enc.Create(path, p, &error)) << error;
    std::vector<uint8_t> picture(64 * 36 * 4, 128);
    int64_t sample = 0;
    for (int i = 0; i < 10; ++i) {
      ASSERT_TRUE(enc.AddVideoFrame(picture.data(), 64 * 4));
      std::vector<int16_t> pcm;
      for (const int64_t until = static_cast<int64_t>(i + 1) * c.rate / 10; sample < until; ++sample) {
        auto v = static_cast<int16_t>(8192 * std::sin(2 * M_PI * 440 * static_cast<double>(sample) / c.rate));
        for (int ch = 0; ch < c.channels; ++ch) pcm.push_back(v);
      }
      ASSERT_TRUE(enc.AddAudio(pcm.data(), pcm.size() / c.channels));
    }
    ASSERT_TRUE(enc.Finish());

    plat::MovieDecoder dec;
    ASSERT_TRUE(dec.Open(path, 1, &error)) << error;
    plat::MovieVideoFrame v;
    plat::MovieAudioChunk a;
    std::vector<int16_t> sound;
    double expectPts = 0;
    for (plat::MovieDecodeStatus s; (s = dec.Next(v, a)) != plat::MovieDecodeStatus::kEnd;) {
      if (s != plat::MovieDecodeStatus::kAudio) continue;
      EXPECT_NEAR(a.pts, expectPts, 0.002) << "chunks follow each other without gaps";
      expectPts = a.End();
      sound.insert(sound.end(), a.samples.begin(), a.samples.end());
    }
    EXPECT_NEAR(sound.size() / 2.0 / 44100, 1.0, 0.1);
    EXPECT_NEAR(movietest::ToneFrequency(sound), 440.0, 5.0);
    // Both sides carry the same tone (mono is copied; coded stereo differs by coding noise only).
    int worst = 0;
    for (size_t i = 0; i + 1 < sound.size(); i += 2) worst = std::max(worst, std::abs(sound[i] - sound[i + 1]));
    EXPECT_LE(worst, c.channels == 1 ? 0 : 400);
  }
}

// Files that are not movies, or damaged ones: a clean failure to open, or a short decode that
// still ends; never a crash or a hang.
TEST(MovieDecoderBadInput, FailsCleanly) {
  plat::SetLogEnabled(false);
  v4test::TempFolder dir;
  std::string good = dir.File("good.mdm");
  ASSERT_TRUE(movietest::WriteColourMovie(good, 10, 440, nullptr));
  std::ifstream in(good, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 200u);

  struct Case {
    const char* name;
    std::vector<char> content;
    bool mayOpen;
  };
  std::vector<char> flipped = bytes;
  for (size_t i = bytes.size() / 3; i < bytes.size(); i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  const Case cases[] = {
      {"empty.mdm", {}, false},
      {"text.mdm", std::vector<char>(300, 'x'), false},
      {"header-only.mdm", std::vector<char>(bytes.begin(), bytes.begin() + 64), false},
      {"half.mdm", std::vector<char>(bytes.begin(), bytes.begin() + bytes.size() / 2), true},
      {"damaged.mdm", flipped, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name);
    std::ofstream(path, std::ios::binary).write(c.content.data(), static_cast<std::streamsize>(c.content.size()));
    plat::MovieDecoder dec;
    std::string error;
    bool opened = dec.Open(path, 1, &error);
    if (!opened) {
      EXPECT_FALSE(error.empty());
      EXPECT_FALSE(dec.IsOpen());
      continue;
    }
    EXPECT_TRUE(c.mayOpen);
    plat::MovieVideoFrame v;
    plat::MovieAudioChunk a;
    int items = 0;
    while (dec.Next(v, a) != plat::MovieDecodeStatus::kEnd) {
      ASSERT_LT(++items, 10000) << "decoder does not end";
      if (!v.rgba.empty()) {
        ASSERT_EQ(v.rgba.size(), static_cast<size_t>(v.width) * v.height * 4);
      }
    }
  }
  plat::MovieDecoder missing;
  std::string error;
  EXPECT_FALSE(missing.Open(dir.File("absent.mdm"), 1, &error));
  EXPECT_FALSE(error.empty());
  plat::SetLogEnabled(true);
}

// The decode thread, paced by a virtual clock in headless mode: every picture arrives in order,
// the sound keeps up, then the stream drains.
TEST_F(MovieDecoderTest, StreamDeliversByClockThenDrains) {
  plat::MovieStream stream;
  stream.SetWaitForDecoder(true);
  ASSERT_TRUE(stream.Open(path_));
  plat::MovieVideoFrame frame;
  std::vector<int> seen;
  std::vector<int16_t> sound;
  for (int step = 0; step <= 12; ++step) {
    double t = step * 0.1;
    if (stream.TakeVideoUpTo(t, frame)) seen.push_back(MatchColour(&frame.rgba[0]));
    stream.TakeAudio(t, t + 0.1, sound);
  }
  std::vector<int> expected;
  for (int i = 0; i < 10; ++i) expected.push_back(i);
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(stream.Drained());
  EXPECT_NEAR(sound.size() / 2.0 / 44100, 1.0, 0.1);

  // A seek revives it from the middle; what was queued before is gone.
  stream.Seek(0.6);
  EXPECT_FALSE(stream.Drained());
  ASSERT_TRUE(stream.TakeVideoUpTo(0.6, frame));
  EXPECT_EQ(MatchColour(&frame.rgba[0]), 6);
  stream.Close();
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_FALSE(stream.TakeVideoUpTo(10, frame));
}

}  // namespace
