// The automatic player's own behaviour on the real program: the watchdog stops a run whose game
// ignores every click, with the dump, and a battle that does not end; the program replays a seed's
// run exactly (two processes: a session is once per process, as the game is) and reports what it
// played when it is ended from outside. The session keeps one frame of drawing and mixes sound by
// the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/cv_input.h"
#include "platform/gl/frame_hash_device.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "sound/sound.h"
#include "tests/support/autoplay/auto_player.h"
#include "tests/support/autoplay/game_session.h"
#include "tests/support/run_command.h"

namespace {

int Play(const v4play::PlayOptions& o, std::string* out, bool inputActive = true) {
  v4play::GameSession session;
  std::string error;
  if (!session.Start(V4_TEST_GAME_DIR, o.seed, 100000, &error)) {
    *out = error;
    return -1;
  }
  g_InputActive = inputActive;  // inactive: the window has lost the focus, the game reads no input
  v4play::AutoPlayer player(session, o, out);
  const int rc = player.Run();
  g_InputActive = true;
  return rc;
}

TEST(AutoPlayer, WatchdogStopsAGameThatIgnoresTheClicksWithADump) {
  v4play::PlayOptions o;
  o.seed = 3;
  o.seasons = 1;
  o.stuckSteps = 600;
  std::string out;
  ASSERT_EQ(Play(o, &out, false), 1) << out;
  EXPECT_NE(out.find("stuck: nothing moved for"), std::string::npos) << out;
  EXPECT_NE(out.find("scene 1, stack"), std::string::npos) << "the title is where it stopped\n" << out;
  EXPECT_EQ(out.find("autoplay ok"), std::string::npos);
}

TEST(AutoPlayer, ABattleThatDoesNotEndStopsTheRunWithItsOwnLimit) {
  v4play::PlayOptions o;
  o.seed = 1;
  o.seasons = 3;  // seed 1 fights its first battle within three seasons
  o.battleSteps = 300;
  std::string out;
  ASSERT_EQ(Play(o, &out), 1) << out;
  EXPECT_NE(out.find("stuck: the battle did not end within 300 logic steps"), std::string::npos) << out;
  EXPECT_NE(out.find("scene 8, stack"), std::string::npos) << "stopped in the battle\n" << out;
}

// A long run draws many thousands of frames: the null device keeps only the last one's record.
TEST(GameSession, TheNullDeviceKeepsOnlyTheLastFramesDrawing) {
  v4play::GameSession session;
  std::string error;
  ASSERT_TRUE(session.Start(V4_TEST_GAME_DIR, 3, 100000, &error)) << error;
  auto* device = dynamic_cast<plat::NullDevice*>(GetDGManager()->HashDevice()->Inner());
  ASSERT_NE(device, nullptr);
  // The logo and the opening give way to clicks; the title's pictures change as they come.
  for (int i = 0; i < 40; ++i) session.Driver().Click({640, 200});
  ASSERT_GT(device->presents, 20);
  const auto backBufferClears =
      std::count_if(device->clears.begin(), device->clears.end(), [](const auto& c) { return c.target == 0; });
  EXPECT_EQ(backBufferClears, 1) << "one frame's clear of the back buffer";
  EXPECT_FALSE(device->draws.empty()) << "the last frame is kept";
}

// The same effect played twice lasts the same number of frames, and ends: the mixer is pulled by
// the virtual clock, not by the dummy driver in real time.
TEST(GameSession, SoundIsMixedByTheVirtualClock) {
  v4play::GameSession session;
  std::string error;
  ASSERT_TRUE(session.Start(V4_TEST_GAME_DIR, 3, 100000, &error)) << error;
  SetChannelVolumeLevel(kSoundChannelSe0, 4);
  std::vector<int> frames;
  for (int round = 0; round < 2; ++round) {
    PlaySound(kSoundChannelSe0, "Data\\slg_se\\slg_se001.voi", 0, 0, 0);
    ASSERT_TRUE(IsChannelPlaying(kSoundChannelSe0));
    int n = 0;
    while (IsChannelPlaying(kSoundChannelSe0) && n < 5000) {
      session.Driver().Tick();
      ++n;
    }
    ASSERT_LT(n, 5000) << "the effect ended";
    frames.push_back(n);
  }
  EXPECT_GT(frames[0], 1);
  EXPECT_EQ(frames[0], frames[1]);
}

TEST(AutoPlayer, TheSameSeedPlaysTheSameRun) {
  const std::string cmd = std::string(V4_TEST_BINARY_DIR) + "/bin/v4play " + V4_TEST_GAME_DIR;
  for (const char* mode : {" --seed 5 --story --runs 3", " --seed 1 --seasons 1"}) {
    SCOPED_TRACE(mode);
    std::string first, second;
    ASSERT_EQ(v4test::RunCommand(cmd + mode, &first), 0) << first;
    ASSERT_EQ(v4test::RunCommand(cmd + mode, &second), 0) << second;
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find("autoplay ok"), std::string::npos) << first;
  }
}

// A run ended from outside (SIGTERM, as `timeout` sends it) still prints the summary of what it
// played, after the dump of where it was.
TEST(AutoPlayer, ATerminatedRunPrintsItsSummary) {
  const std::string cmd = "timeout --preserve-status -s TERM 4 " + std::string(V4_TEST_BINARY_DIR) + "/bin/v4play " +
                          V4_TEST_GAME_DIR + " --seed 2 --seasons 1000";
  std::string out;
  ASSERT_EQ(v4test::RunCommand(cmd, &out), 143) << out;
  EXPECT_NE(out.find("terminated: asked to end (seed 2)"), std::string::npos) << out;
  EXPECT_NE(out.find("\ncommand "), std::string::npos) << "the command lines\n" << out;
  EXPECT_NE(out.find("autoplay terminated seed 2 seasons "), std::string::npos) << out;
  EXPECT_EQ(out.find("autoplay ok"), std::string::npos);
}

}  // namespace
