// The soak: a hundred turns of the full sample world from a fixed seed. After every phase the world
// must be whole; over the run the game must actually move: alliances made and broken, marches
// fought, events, successions, new generals, a clan destroyed.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/game_file.h"
#include "tests/world/ai/soak_play.h"
#include "tests/world/world_fixture.h"

namespace {

using soak::SoakBattles;
using soak::SoakResult;
using soak::SoakScene;

class SoakTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
    ASSERT_TRUE(LoadWorldSystemTable());
    SetSlgScenePort(&scene);
    SetBattlePort(&battles);
  }
  void TearDown() override {
    SetAutoRun(false);
    GameMode = 0;
    WorldTest::TearDown();
  }
  SoakScene scene;
  SoakBattles battles;
};

TEST_F(SoakTest, AHundredTurnsOfTheSampleWorldStayWholeAndEventful) {
  SoakResult r = soak::PlayGames(100, 20261210, scene);
  ASSERT_EQ(r.broken, "");
  std::printf(
      "soak: %d turns in %d games, %d alliances made, %d broken, %d battles, %d events, %d successions, "
      "%d new generals, %zu clans destroyed\n",
      r.turns, r.games, scene.alliancesMade, scene.alliancesBroken, battles.battles, scene.events, r.successions,
      scene.appearances, r.destroyed.size());
  EXPECT_EQ(r.turns, 100);
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().title << ": " << boxes.boxes.front().text;
  EXPECT_GT(scene.alliancesMade, 0);
  EXPECT_GT(scene.alliancesBroken, 0);
  EXPECT_GT(battles.battles, 0);
  EXPECT_GT(scene.events, 0);
  EXPECT_GT(r.successions, 0);
  EXPECT_GT(scene.appearances, 0);
  EXPECT_FALSE(r.destroyed.empty());
}

}  // namespace
