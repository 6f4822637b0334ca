// The automatic player's own behaviour on the real program: the watchdog stops a run whose game
// ignores every click, with the dump; the program replays a seed's run exactly (two processes: a
// session is once per process, as the game is).
#include <gtest/gtest.h>

#include <string>

#include "core/cv_input.h"
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

}  // namespace
