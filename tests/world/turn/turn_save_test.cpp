// The turn's part of the saves: damaged turn words, orders and war-phase fields are refused at
// load with the game untouched; registering without a list changes nothing; the unification
// condition table.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/fs/fs.h"
#include "save/save_slot.h"
#include "save/war_save_registry.h"
#include "turn_fixture.h"
#include "world/turn/unification.h"
#include "world/turn/world_hash.h"

namespace {

uint16_t battleCastleForTest = 0;

class TurnSaveTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    BuildSmallWorld();
    StartAtTurn(1);
  }
};

TEST_F(TurnSaveTest, DamagedTurnWordsAreRefusedAndTheGameStaysAsItWas) {
  struct Case {
    const char* name;
    void (*damage)();
  };
  const Case cases[] = {
      {"season", [] { SeasonIndex = 4; }},
      {"sub-phase", [] { TurnSubPhase = 9; }},
      {"player clan", [] { PlayerDaimyoId = 77; }},
      {"clan order repeats a clan", [] { ClanOrderList[5] = ClanOrderList[6]; }},
      {"march order out of range", [] { MarchOrderList[0] = 254; }},
      {"first-turn flag", [] { FirstTurnFlag = 7; }},
      {"unification stage", [] { UnificationStage = 3; }},
      {"phase clan position", [] { SlgPhaseIndex = kDaimyoInPlay + 1; }},
      {"war loop position", [] { g_TurnWork.war.daimyoSlot = 253; }},
      {"war castle", [] { g_TurnWork.war.daimyoBattleSiro = 600; }},
      {"battle castle", [] { battleCastleForTest = 0x7777; }},
      {"main step in the progress file", [] { g_StepMachine.step[1] = 9; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint64_t good = WorldHash();
    const WarWork goodWar = g_TurnWork.war;
    const StepMachine goodSteps = g_StepMachine;
    c.damage();
    if (battleCastleForTest) battle.st.castle = battleCastleForTest;
    ASSERT_TRUE(SaveGameSlot(7, game_mode::kSlg));
    // Back to the good game, then try to load the damaged one.
    BuildSmallWorld();
    StartAtTurn(1);
    FirstTurnFlag = 0;
    UnificationStage = 0;
    g_TurnWork.war = goodWar;
    battle.st = ScriptedBattle::State{};
    battleCastleForTest = 0;
    ASSERT_EQ(WorldHash(), good);
    EXPECT_FALSE(LoadGameSlot(7));
    EXPECT_EQ(WorldHash(), good);
    EXPECT_EQ(std::memcmp(&g_StepMachine, &goodSteps, sizeof goodSteps), 0);
    EXPECT_EQ(g_TurnWork.war.daimyoSlot, goodWar.daimyoSlot);
  }
  // The undamaged game loads.
  ASSERT_TRUE(SaveGameSlot(7, game_mode::kSlg));
  EXPECT_TRUE(LoadGameSlot(7));
}

// A save made in the player's military phase resumes there, at his clan, whatever phase the game
// in memory had reached: the clan before him does not think again and politics waits its turn.
// A save from before the position was kept (0 in its place) resumes at the player's clan too.
TEST_F(TurnSaveTest, LoadResumesThePhaseAndClanItWasSavedIn) {
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

TEST_F(TurnSaveTest, RegisteringWithoutAListChangesNothing) {
  g_TurnWork.war.clanPos = 9;
  const StepMachine before = g_StepMachine;
  SaveRegisterList = nullptr;
  SaveRegisterMode = kSaveRegisterSave;
  RegisterWarPhaseFields();
  SaveRegisterMode = kSaveRegisterNone;
  EXPECT_EQ(g_TurnWork.war.clanPos, 9);
  EXPECT_EQ(std::memcmp(&g_StepMachine, &before, sizeof before), 0);
  // With a list: the same fields for a load and a save, 35 bytes of marches then the battle's.
  SaveBlockList forLoad, forSave;
  RegisterWarStateForLoad(&forLoad);
  RegisterWarStateForSave(&forSave);
  ASSERT_EQ(forLoad.Count(), 29u);
  ASSERT_EQ(forSave.Count(), 29u);
  for (size_t i = 0; i < forLoad.Count(); ++i) {
    EXPECT_EQ(forLoad[i].data, forSave[i].data);
    EXPECT_EQ(forLoad[i].size, forSave[i].size);
  }
  EXPECT_EQ(forSave[0].data, &g_TurnWork.war.resolveIndex);
  EXPECT_EQ(forSave[21].data, &battle.st.mode);
  EXPECT_EQ(forSave.TotalSize(), kWarStateBytes);
}

TEST_F(TurnSaveTest, UnificationConditionTable) {
  struct Case {
    bool storyOn;
    int revenue, prestige;
    bool holds33;
    bool want;
  };
  const Case cases[] = {
      {false, 12000, 19, true, false}, {false, 13000, 19, true, true},   {false, 60000, 13, true, false},
      {false, 12000, 20, true, true},  {false, 13000, 19, false, false}, {true, 14000, 0, true, true},
      {true, 13999, 20, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.revenue * 100 + c.prestige);
    StoryEventBlockFlag = c.storyOn ? 0 : 1;
    DaimyoTable[player].revenue = static_cast<uint16_t>(c.revenue);
    DaimyoTable[player].prestige = static_cast<uint8_t>(c.prestige);
    KuniTable[33].holder = c.holds33 ? static_cast<uint8_t>(player) : kNoDaimyo;
    EXPECT_EQ(UnificationConditionHolds(), c.want);
  }
}

}  // namespace
