#include "movie/movie_mgr.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <thread>

#include "core/game_clock.h"
#include "platform/movie/movie_encoder.h"
#include "platform/text/log.h"
#include "tests/platform/movie/movie_test_support.h"

namespace {

using movietest::MatchColour;

// Records what reaches a texture: the colour index of each picture and the thread it came on.
class RecordingTarget : public MovieFrameTarget {
 public:
  void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) override {
    colours.push_back(MatchColour(rgba + (static_cast<size_t>(height / 2) * pitch) + (width / 2) * 4));
    threads.insert(std::this_thread::get_id());
    lastWidth = width;
    lastHeight = height;
  }
  std::vector<int> colours;
  std::set<std::thread::id> threads;
  int lastWidth = 0, lastHeight = 0;
};

struct SinkLog {
  std::vector<int16_t> samples;
  std::vector<int32_t> attenuations;
  int flushes = 0;
  bool running = false;
};

class FakeSink : public MovieAudioSink {
 public:
  explicit FakeSink(SinkLog& log) : log_(log) {}
  void QueueMovieAudio(const int16_t* s, size_t frames) override {
    log_.samples.insert(log_.samples.end(), s, s + frames * 2);
  }
  void FlushMovieAudio() override { ++log_.flushes; }
  void SetMovieAttenuation(int32_t v) override { log_.attenuations.push_back(v); }
  void SetMovieAudioRunning(bool on) override { log_.running = on; }

 private:
  SinkLog& log_;
};

class MovieMgrTest : public ::testing::Test {
 protected:
  static uint32_t Clock(void* user) { return *static_cast<uint32_t*>(user); }

  void SetUp() override {
    plat::SetLogEnabled(false);
    SetGameClockOverride(&Clock, &now_);
    std::string error;
    colours_ = dir_.File("colours.mdm");
    ASSERT_TRUE(movietest::WriteColourMovie(colours_, 10, 440, &error)) << error;
    silent_ = dir_.File("silent.mdm");
    ASSERT_TRUE(movietest::WriteColourMovie(silent_, 10, 0, &error)) << error;
    missing_ = dir_.File("absent.mdm");
    mgr_ = std::make_unique<MovieMgr>();
    mgr_->SetWaitForDecoder(true);
    ASSERT_TRUE(mgr_->Init());
  }
  void TearDown() override {
    mgr_.reset();
    SetGameClockOverride(nullptr, nullptr);
    plat::SetLogEnabled(true);
  }
  void Step(uint32_t ms, int times = 1) {
    for (int i = 0; i < times; ++i) {
      now_ += ms;
      mgr_->UpdateMovies();
    }
  }

  uint32_t now_ = 1000;
  v4test::TempFolder dir_;
  std::string colours_, silent_, missing_;
  std::unique_ptr<MovieMgr> mgr_;
};

TEST_F(MovieMgrTest, AllocIdTable) {
  struct Case {
    std::vector<int32_t> inUse;
    int32_t requested;
    int32_t expected;
  };
  const Case cases[] = {
      {{}, 5, 5},       // a free requested id is kept
      {{}, -1, 0},      // nothing requested, empty table
      {{0, 7}, -1, 8},  // largest + 1
      {{0, 7}, 3, 3},   // free ids between others are fine
      {{0, 7}, 7, 8},   // taken: largest + 1
      {{5}, 5, 6},
      {{-3, 2}, -1, 3},
      {{-3}, -1, -2},
      {{INT32_MAX}, -1, 0},  // largest + 1 would overflow: the smallest free id from 0
      {{0, 1, INT32_MAX}, -1, 2},
      {{INT32_MAX}, INT32_MAX, 0},
  };
  for (const Case& c : cases) {
    MovieMgr mgr;
    for (int32_t id : c.inUse) ASSERT_EQ(mgr.OpenTextureMovie(id, missing_.c_str(), nullptr), id);
    EXPECT_EQ(mgr.AllocId(c.requested), c.expected) << "requested " << c.requested;
    // Opening stores under exactly that id.
    EXPECT_EQ(mgr.OpenTextureMovie(c.requested, missing_.c_str(), nullptr), c.expected);
  }
}

TEST(MovieLoop, OvershootArithmetic) {
  struct Case {
    double elapsed, duration, last, expected;
  };
  const Case cases[] = {
      {0.5, 10.0, 9.8, 0.3},  // 0.2 s before the end, 0.5 s later: 0.3 s into the next pass
      {0.018, 4.0, 3.99, 0.008},
      {0.0, 1.0, 1.0, 0.0},
      {3.0, 1.0, 0.5, 2.5},  // longer than the movie: outside 0..duration (the seek makes it 0)
  };
  for (const Case& c : cases) EXPECT_NEAR(LoopOvershootPosition(c.elapsed, c.duration, c.last), c.expected, 1e-9);
}

// The player continues a looping movie at the overshoot and shows the picture found there.
TEST_F(MovieMgrTest, LoopingPlayerContinuesAtTheOvershoot) {
  RecordingTarget target;
  MoviePlayer player;
  ASSERT_TRUE(player.Open(silent_, &target, nullptr, true));
  const double duration = player.Duration();
  ASSERT_NEAR(duration, 1.0, 0.02);
  player.loop = true;
  ASSERT_TRUE(player.Play());
  ASSERT_TRUE(player.Advance(duration - 0.2));
  EXPECT_EQ(target.colours.back(), 8);
  ASSERT_TRUE(player.Advance(0.5));
  EXPECT_NEAR(player.Position(), 0.3, 1e-9);
  EXPECT_EQ(target.colours.back(), 3);
  EXPECT_FALSE(player.IsFinished());
  // A stall longer than the movie restarts it from the beginning.
  ASSERT_TRUE(player.Advance(5.0));
  EXPECT_NEAR(player.Position(), 0.0, 1e-9);
  EXPECT_EQ(target.colours.back(), 0);

  // Without loop the end is reported and the last picture stays.
  player.loop = false;
  EXPECT_TRUE(player.Advance(0.5));
  EXPECT_FALSE(player.Advance(0.6));
  EXPECT_TRUE(player.IsFinished());
  EXPECT_EQ(target.colours.back(), 9);
}

TEST_F(MovieMgrTest, TextureMovieDeliversEveryFrameInOrderOnTheFrameThread) {
  RecordingTarget target;
  const int32_t id = mgr_->OpenTextureMovie(-1, colours_.c_str(), &target);
  ASSERT_EQ(id, 0);
  uint32_t w = 0, h = 0;
  mgr_->GetVideoSize(id, &w, &h);
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(h, 36u);
  EXPECT_TRUE(mgr_->IsFinished(id)) << "opened but not started";
  ASSERT_TRUE(mgr_->Play(id, false));
  EXPECT_FALSE(mgr_->IsFinished(id));
  EXPECT_FALSE(mgr_->IsAllFinished());
  Step(0);
  Step(100, 12);
  std::vector<int> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(target.colours, expected);
  EXPECT_EQ(target.threads, std::set<std::thread::id>{std::this_thread::get_id()});
  EXPECT_TRUE(mgr_->IsFinished(id));
  EXPECT_TRUE(mgr_->IsAllFinished());
  EXPECT_EQ(mgr_->OpenCount(), 1u) << "texture movies stay open at their end";

  // From the start again, into a target set later (it gets the current picture at once).
  RecordingTarget second;
  ASSERT_TRUE(mgr_->PlayFromStart(id, false));
  Step(50);
  mgr_->SetTargetTexture(id, &second);
  ASSERT_EQ(second.colours.size(), 1u);
  EXPECT_EQ(second.colours[0], 0);
  Step(100, 2);
  EXPECT_EQ(second.colours.back(), 2);
  EXPECT_FALSE(mgr_->Play(id + 1, false));
  EXPECT_FALSE(mgr_->PlayFromStart(id + 1, false));
  mgr_->CloseAll();
}

TEST_F(MovieMgrTest, MissingFileGivesAFinishedPlayerWithAnId) {
  const int32_t id = mgr_->OpenTextureMovie(4, missing_.c_str(), nullptr);
  EXPECT_EQ(id, 4);
  EXPECT_EQ(mgr_->OpenCount(), 1u);
  EXPECT_TRUE(mgr_->IsFinished(id));
  EXPECT_TRUE(mgr_->IsAllFinished());
  uint32_t w = 1, h = 1;
  mgr_->GetVideoSize(id, &w, &h);
  EXPECT_EQ(w, 0u);
  EXPECT_EQ(h, 0u);
  mgr_->Play(id, true);
  Step(100, 3);
  EXPECT_TRUE(mgr_->IsFinished(id));
  // A null name behaves the same.
  EXPECT_EQ(mgr_->OpenTextureMovie(-1, nullptr, nullptr), 5);
  EXPECT_TRUE(mgr_->IsFinished(5));
  // Full screen: failure stores nothing (and the others were closed first).
  EXPECT_FALSE(mgr_->PlayFullScreen(missing_.c_str(), false, true));
  EXPECT_FALSE(mgr_->BlocksDisplay());
  EXPECT_EQ(mgr_->OpenCount(), 0u);
}

TEST_F(MovieMgrTest, FullScreenClosesOthersAndBlocksTheDisplayUntilCloseAll) {
  RecordingTarget screen, texture;
  mgr_->SetFullScreenTarget(&screen);
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, colours_.c_str(), &texture), 0);
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, silent_.c_str(), &texture), 1);
  ASSERT_TRUE(mgr_->PlayFullScreen(colours_.c_str(), false, true));
  EXPECT_TRUE(mgr_->BlocksDisplay());
  EXPECT_EQ(mgr_->OpenCount(), 1u);
  EXPECT_EQ(mgr_->OpenTextureMovie(-1, silent_.c_str(), &texture), -1);
  EXPECT_FALSE(mgr_->IsFinished(-1));
  EXPECT_FALSE(mgr_->IsFinished(12345)) << "full screen: every id asks the full-screen movie";
  Step(0);
  Step(100, 5);
  EXPECT_TRUE(texture.colours.empty());
  ASSERT_FALSE(screen.colours.empty());
  EXPECT_EQ(screen.colours.back(), 5);

  // It ends and, marked close-when-finished, is removed; the display stays blocked until CloseAll
  // and the queries answer "finished" for the empty table.
  Step(100, 8);
  EXPECT_EQ(screen.colours.back(), 9);
  EXPECT_EQ(mgr_->OpenCount(), 0u);
  EXPECT_TRUE(mgr_->BlocksDisplay());
  EXPECT_TRUE(mgr_->IsFinished(-1));
  EXPECT_TRUE(mgr_->IsFinished(0));
  EXPECT_TRUE(mgr_->IsAllFinished());
  mgr_->CloseAll();
  EXPECT_FALSE(mgr_->BlocksDisplay());
  EXPECT_EQ(mgr_->OpenTextureMovie(-1, silent_.c_str(), &texture), 0);
}

TEST_F(MovieMgrTest, EmptyTableIsFinished) {
  EXPECT_TRUE(mgr_->IsFinished(0));
  EXPECT_TRUE(mgr_->IsFinished(-1));
  EXPECT_TRUE(mgr_->IsAllFinished());
  mgr_->Close(3);
  mgr_->SetTargetTexture(3, nullptr);
  mgr_->SetVolumeAll(100);
  Step(20);
  EXPECT_EQ(mgr_->OpenCount(), 0u);
}

TEST_F(MovieMgrTest, LoopingFullScreenMovieKeepsPlaying) {
  RecordingTarget screen;
  mgr_->SetFullScreenTarget(&screen);
  ASSERT_TRUE(mgr_->PlayFullScreen(silent_.c_str(), true, true));
  Step(0);
  Step(100, 25);
  EXPECT_EQ(mgr_->OpenCount(), 1u);
  EXPECT_FALSE(mgr_->IsAllFinished());
  // Two and a half passes: the pictures wrap around.
  ASSERT_GE(screen.colours.size(), 20u);
  EXPECT_EQ(screen.colours.back(), 5);
  mgr_->Close(-1);
  EXPECT_TRUE(mgr_->BlocksDisplay());
  EXPECT_TRUE(mgr_->IsAllFinished());
}

TEST_F(MovieMgrTest, VolumeReachesTheSinkOnTheAttenuationScale) {
  SinkLog first, second;
  SinkLog* next = &first;
  mgr_->SetAudioSinkFactory([&]() -> std::unique_ptr<MovieAudioSink> { return std::make_unique<FakeSink>(*next); });
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, colours_.c_str(), nullptr), 0);
  ASSERT_FALSE(first.attenuations.empty());
  EXPECT_EQ(first.attenuations.back(), 0);
  struct Case {
    int32_t volume;
    int32_t attenuation;
  };
  const Case cases[] = {{10000, 0}, {5000, -5000}, {0, -10000}, {2500, -7500}, {20000, 0}, {-5, -10000}};
  for (const Case& c : cases) {
    mgr_->SetVolumeAll(c.volume);
    EXPECT_EQ(first.attenuations.back(), c.attenuation) << c.volume;
  }
  // The stored volume for new movies is not changed by SetVolumeAll.
  next = &second;
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, colours_.c_str(), nullptr), 1);
  ASSERT_FALSE(second.attenuations.empty());
  EXPECT_EQ(second.attenuations.back(), 0);
  // A movie without sound gets no sink.
  SinkLog none;
  next = &none;
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, silent_.c_str(), nullptr), 2);
  EXPECT_TRUE(none.attenuations.empty());
  mgr_->CloseAll();  // the sinks write into this test's logs
}

// The sound handed out by clock steps is the whole tone, without gaps or repeats.
TEST_F(MovieMgrTest, SoundReachesTheSinkContinuously) {
  SinkLog log;
  mgr_->SetAudioSinkFactory([&]() -> std::unique_ptr<MovieAudioSink> { return std::make_unique<FakeSink>(log); });
  ASSERT_EQ(mgr_->OpenTextureMovie(-1, colours_.c_str(), nullptr), 0);
  EXPECT_FALSE(log.running);
  ASSERT_TRUE(mgr_->Play(0, false));
  EXPECT_TRUE(log.running);
  Step(0);
  Step(18, 70);
  EXPECT_TRUE(mgr_->IsFinished(0));
  EXPECT_NEAR(log.samples.size() / 2.0 / 44100, 1.0, 0.05);
  EXPECT_NEAR(movietest::ToneFrequency(log.samples), 440.0, 3.0);
  // Sine at 8192 peak: RMS 5793 (coding loses a little).
  EXPECT_NEAR(movietest::Rms(log.samples), 5793, 400);
  mgr_->CloseAll();
}

// Live playback never waits for the decoder: with the file's data stalled halfway (a pipe whose
// writer holds back the rest), starting, updating, restarting and querying all return, and the
// movie's clock runs on by the frame's time. The test would hang if any of them waited.
TEST_F(MovieMgrTest, StartingAndUpdatingNeverWaitForAStalledDecoder) {
  std::string source = dir_.File("long.mdm");
  plat::TestPatternParams tp;
  tp.width = 160;
  tp.height = 90;
  tp.fps = 10;
  tp.seconds = 2;
  ASSERT_TRUE(plat::WriteTestPatternMovie(source, tp, nullptr));
  std::ifstream in(source, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string pipe = dir_.File("pipe.mdm");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::promise<void> release;
  std::thread writer([&, held = release.get_future()]() mutable {
    std::ofstream out(pipe, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    out.flush();
    held.wait();
    out.write(bytes.data() + bytes.size() / 2, static_cast<std::streamsize>(bytes.size() - bytes.size() / 2));
  });

  MovieMgr live;  // no waiting for the decoder: the frame's behaviour
  live.Init();
  RecordingTarget target;
  const int32_t id = live.OpenTextureMovie(-1, pipe.c_str(), &target);
  ASSERT_EQ(id, 0);
  uint32_t w = 0, h = 0;
  live.GetVideoSize(id, &w, &h);
  ASSERT_EQ(w, 160u) << "the header arrived";
  ASSERT_TRUE(live.Play(id, false));
  for (int i = 0; i < 5; ++i) {
    now_ += 100;
    live.UpdateMovies();
  }
  EXPECT_FALSE(live.IsFinished(id));
  for (int i = 0; i < 20; ++i) {
    now_ += 100;
    live.UpdateMovies();
  }
  EXPECT_TRUE(live.IsFinished(id)) << "the clock passed the end without the pictures";
  EXPECT_TRUE(live.PlayFromStart(id, true));
  now_ += 100;
  live.UpdateMovies();
  EXPECT_FALSE(live.IsAllFinished());
  release.set_value();
  writer.join();
  live.CloseAll();
  EXPECT_TRUE(live.IsAllFinished());
}

TEST(MovieFit, LetterboxTable) {
  struct Case {
    int vw, vh, ax, ay, aw, ah;
    MovieRect expected;
  };
  const Case cases[] = {
      {1280, 720, 0, 0, 1280, 720, {0, 0, 1280, 720}},
      {640, 360, 0, 0, 1280, 720, {0, 0, 1280, 720}},
      {640, 480, 0, 0, 1280, 720, {160, 0, 960, 720}},     // pillarbox
      {1280, 720, 0, 0, 1280, 1024, {0, 152, 1280, 720}},  // letterbox
      {1920, 1080, 10, 20, 1280, 720, {10, 20, 1280, 720}},
      {0, 0, 5, 6, 100, 50, {5, 6, 100, 50}},
      {64, 36, 0, 0, 0, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    MovieRect r = FitMovieRect(c.vw, c.vh, c.ax, c.ay, c.aw, c.ah);
    EXPECT_EQ(r.x, c.expected.x) << c.vw << "x" << c.vh;
    EXPECT_EQ(r.y, c.expected.y) << c.vw << "x" << c.vh;
    EXPECT_EQ(r.width, c.expected.width) << c.vw << "x" << c.vh;
    EXPECT_EQ(r.height, c.expected.height) << c.vw << "x" << c.vh;
  }
}

}  // namespace
