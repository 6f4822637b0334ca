// The turn with the player's command flows behind its player port: a whole turn's phases and
// scripts, and a save made in the player's phase resuming there.
#include <string>
#include <utility>
#include <vector>

#include "command_fixture.h"
#include "core/game_file.h"
#include "platform/fs/fs.h"
#include "save/save_slot.h"

namespace {

class PlayerTurnTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    SetPlayerTurnPort(&PlayerCommandFlows());
    BuildSmallWorld();
  }
  void TearDown() override {
    SetPlayerTurnPort(nullptr);
    TurnTest::TearDown();
  }
};

TEST_F(PlayerTurnTest, OneTurnVisitsItsPhasesInOrder) {
  StartAtTurn(0);
  std::vector<std::pair<uint32_t, int>> seen;
  auto note = [&] {
    std::pair<uint32_t, int> now{MainStep(), MainStep() == kSlgStepTurn ? TurnSubPhase : -1};
    if (seen.empty() || seen.back() != now) seen.push_back(now);
  };
  const uint16_t turn = TurnCounter;
  for (int i = 0; i < 5000 && g_TurnWork.main.turnsCompleted == 0; ++i) {
    note();
    Frame();
  }
  note();
  ASSERT_EQ(g_TurnWork.main.turnsCompleted, 1u);
  const std::vector<std::pair<uint32_t, int>> expect = {
      {kSlgStepTurn, 0},          {kSlgStepTurn, 1}, {kSlgStepTurn, 2},      {kSlgStepTurn, 3},
      {kSlgStepIndependents, -1}, {kSlgStepWar, -1}, {kSlgStepGameOver, -1}, {kSlgStepTurn, 0}};
  EXPECT_EQ(seen, expect);
  EXPECT_EQ(TurnCounter, turn + 1);
  EXPECT_EQ(SeasonIndex, 0);
  EXPECT_EQ(GameYear, 1561);
  // The turn-start event in the season, the player's politics phase's and the war phase's scripts,
  // music for the phases.
  EXPECT_EQ(adv.events, std::vector<int>{1});
  EXPECT_EQ(adv.scripts, (std::vector<int>{4, 5}));
  ASSERT_GE(sound.bgm.size(), 2u);
  EXPECT_EQ(sound.bgm.front(), kBgmTurn);
  EXPECT_NE(std::find(sound.bgm.begin(), sound.bgm.end(), std::string(kBgmWar)), sound.bgm.end());
  EXPECT_TRUE(scene.SaidSomething("   1ターンになりました"));
  ExpectClean();
}

// A save made in the player's military phase resumes there, at his clan, whatever phase the game
// in memory had reached: the clan before him does not think again and politics waits its turn.
// A save from before the position was kept (0 in its place) resumes at the player's clan too.
TEST_F(PlayerTurnTest, LoadResumesThePhaseAndClanItWasSavedIn) {
  std::swap(ClanOrderList[0], ClanOrderList[1]);  // the enemy's clan acts before the player's
  const uint8_t playerPos = ClanOrderList[1] == player ? 1 : 0;
  ASSERT_EQ(ClanOrderList[playerPos], player);
  ASSERT_EQ(playerPos, 1);
  auto said = [this](const char* prefix) {
    for (const std::string& m : scene.messages)
      if (m.rfind(prefix, 0) == 0) return true;
    return false;
  };
  struct Case {
    const char* name;
    bool oldSave;
  };
  for (const Case c : {Case{"position kept", false}, Case{"save without the position", true}}) {
    SCOPED_TRACE(c.name);
    BuildSmallWorld();
    std::swap(ClanOrderList[0], ClanOrderList[1]);
    StartAtTurn(1);
    ActingSideFlag = 1;
    scene.whenIdle = -1;  // the player sits in his military menu
    scene.phases.clear();
    ASSERT_TRUE(RunUntil([this] { return !scene.phases.empty() && scene.phases.back() == 1; }, 200));
    ASSERT_EQ(TurnSubPhase, 1);
    ASSERT_EQ(SlgPhaseIndex, playerPos);
    ASSERT_TRUE(said("軍備思考中"));  // the enemy's clan thought first
    const uint8_t kept = SlgPhaseIndex;
    if (c.oldSave) SlgPhaseIndex = 0;
    ASSERT_TRUE(SaveGameSlot(7, game_mode::kSlg));
    if (c.oldSave) {
      // A save of that time had no play state file beside its four files.
      FixedPath ext;
      ASSERT_TRUE(GetSlotFilePath(7, "ext.dat", ext));
      ASSERT_TRUE(plat::RemoveFile(ext.CStr()));
    }
    SlgPhaseIndex = kept;
    // The game goes on into politics, where the load is made.
    scene.whenIdle = 15;
    ASSERT_TRUE(RunUntil([&] { return TurnSubPhase == 2 && SlgPhaseIndex > playerPos; }, 2000));
    ASSERT_TRUE(LoadGameSlot(7));
    EXPECT_EQ(TurnSubPhase, 1);
    EXPECT_EQ(SlgPhaseIndex, playerPos);
    scene.messages.clear();
    scene.phases.clear();
    scene.whenIdle = -1;
    Frame();
    EXPECT_EQ(TurnSubPhase, 1);
    EXPECT_EQ(SlgPhaseIndex, playerPos);
    EXPECT_EQ(scene.phases, std::vector<int>{1});  // the military menu, entered again
    EXPECT_FALSE(said("政略思考中"));
    // The player ends his phase: the phase goes on after him, then politics.
    scene.whenIdle = 15;
    ASSERT_TRUE(RunUntil([] { return TurnSubPhase == 2; }, 2000));
    EXPECT_FALSE(said("軍備思考中"));
  }
}

}  // namespace
