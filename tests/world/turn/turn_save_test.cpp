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
