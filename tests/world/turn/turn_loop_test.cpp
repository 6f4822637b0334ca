// The main step: the order of a turn, resuming after a turn-start event, the game-end byte, the
// dismissal of excess generals, the recomputation of the player's clan and the key ring.
#include <string>
#include <utility>
#include <vector>

#include "turn_fixture.h"
#include "world/turn/command_check.h"
#include "world/turn/unification.h"
#include "core/cv_input.h"
#include "core/game_file.h"
#include "world/scenario_tables.h"
#include "world/world_misc.h"

namespace {

class TurnLoopTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    BuildSmallWorld();
  }
};

TEST_F(TurnLoopTest, TurnStartEventResumesAtTheUnificationCheck) {
  adv.eventsTakeOver = true;
  StartAtTurn(0);
  ASSERT_TRUE(RunUntil([] { return GameMode != game_mode::kSlg; }));
  EXPECT_EQ(adv.events, std::vector<int>{1});
  EXPECT_EQ(g_StepMachine.subStep[1], 3u);
  EXPECT_EQ(TurnSubPhase, 0);
  // While the script runs the frame does not step the turn.
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(g_StepMachine.subStep[1], 3u);
  // The script hands back: the check and the successions run, then the military phase.
  GameMode = game_mode::kSlg;
  const int returnsBefore = adv.returns;
  ASSERT_TRUE(RunUntil([] { return TurnSubPhase == 1; }, 50));
  EXPECT_GT(adv.returns, returnsBefore);
  EXPECT_EQ(adv.events, std::vector<int>{1});  // not started again
  const int index = (GameYear - kHistoryFirstYear) * 4 + SeasonIndex;
  EXPECT_EQ(g_TurnHistory.head[index], pHead);
}

// The game-end byte stops the chain wherever an ending starts.
class GameEndTest : public TurnLoopTest {
 protected:
  void ExpectChainStopped(int form) {
    scene.dialogSlots[0] = {0};  // the ending dialog reports finished
    ASSERT_TRUE(RunUntil([] { return IsGameEnded(); }, 5000));
    const uint16_t turn = TurnCounter;
    const uint32_t step = MainStep();
    const uint8_t sub = TurnSubPhase;
    for (int i = 0; i < 300; ++i) Frame();
    EXPECT_EQ(TurnCounter, turn);
    EXPECT_EQ(MainStep(), step);
    EXPECT_EQ(TurnSubPhase, sub);
    ASSERT_FALSE(scene.dialogs.empty());
    EXPECT_EQ(scene.dialogs.back(), std::make_pair(23, form));
    EXPECT_EQ(adv.titleRequests, 1);
  }
};

TEST_F(GameEndTest, NoGeneralsLeftEndsAtTheEndOfTheTurn) {
  for (int g : {pHead, pGen}) RemoveBusyoFromCastle(g);
  StartAtTurn(0);
  ExpectChainStopped(1);
  EXPECT_EQ(MainStep(), kSlgStepGameOver);
  EXPECT_EQ(TurnCounter, 1);  // before the next season
  EXPECT_EQ(sound.bgm.back(), kBgmNoBusyo);
}

TEST_F(GameEndTest, DeclaredUnificationEndsInTheSeason) {
  DaimyoTable[player].prestige = 19;
  scene.dialogSceneAnswers = {1};
  StartAtTurn(0);
  // After the season's recomputations: revenue 13000 and prestige 19 meet the condition with
  // story events blocked (only country 33's holder byte is read).
  ASSERT_TRUE(RunUntil([] { return g_StepMachine.subStep[1] == 3; }, 3000));
  DaimyoTable[player].revenue = 13000;
  KuniTable[33].holder = static_cast<uint8_t>(player);
  ExpectChainStopped(0);
  EXPECT_EQ(scene.dialogScenes, std::vector<int>{10});
  EXPECT_EQ(UnificationDeclared, 1);
  EXPECT_EQ(TurnSubPhase, 0);
  EXPECT_EQ(sound.bgm.back(), kBgmUnified);
}

TEST_F(TurnLoopTest, ExcessGeneralsMustBeDismissedAndNeverTheHead) {
  // 201 generals in the player's clan (up to six a castle; the rest are counted in the slots).
  int added = 0;
  for (int i = 0; added < 199 && i < kVassalScan; ++i) {
    if (DaimyoTable[player].vassals[i] != kNoBusyo) continue;
    int g = w.Busyo("家臣", kNoSiro);
    DaimyoTable[player].vassals[i] = static_cast<uint16_t>(g);
    ++added;
  }
  ASSERT_EQ(CountDaimyoBusyo(player), 201);
  RecalcDaimyoTotals(0);
  EXPECT_EQ(scene.loadFlag, 1);
  StartAtTurn(0);
  for (int i = 0; i < 50; ++i) Frame();
  EXPECT_EQ(TurnCounter, 0);  // no season while the flag is set
  ASSERT_FALSE(scene.dialogs.empty());
  EXPECT_EQ(scene.dialogs.front(), std::make_pair(21, player));
  // The head is refused with its reason; no question is asked.
  scene.dialogSlots[4] = {pHead};
  Frame();
  EXPECT_TRUE(scene.SaidSomething(CommandRefusalReason(kReasonNotHead)));
  EXPECT_TRUE(scene.dialogScenes.empty());
  EXPECT_NE(GetBusyoDaimyo(pHead), kNoDaimyo);
  // A vassal: "no" keeps him, "yes" dismisses him and the turn goes on.
  scene.dialogSlots[4] = {pGen};
  scene.dialogSceneAnswers = {2};
  Frame();
  Frame();
  EXPECT_EQ(GetBusyoDaimyo(pGen), player);
  // The pick is spent after the answer (the list asks afresh); a dismissal reloads the list.
  EXPECT_EQ(scene.dialogValues, (std::vector<std::pair<int, int>>{{0, 0xFFFF}}));
  scene.dialogValues.clear();
  scene.dialogSceneAnswers = {1};
  Frame();
  Frame();
  EXPECT_EQ(scene.dialogValues, (std::vector<std::pair<int, int>>{{2, player}, {0, 0xFFFF}}));
  EXPECT_EQ(scene.dialogScenes, (std::vector<int>{9, 9}));
  EXPECT_EQ(CountDaimyoBusyo(player), 200);
  EXPECT_EQ(scene.loadFlag, 0);
  EXPECT_EQ(scene.openDialog, -1);
  ASSERT_TRUE(RunUntil([] { return TurnCounter == 1; }, 200));
}

TEST_F(TurnLoopTest, ParkedPlayerIsLentForTheGameOverCheck) {
  g_TurnWork.main.parkedId = static_cast<uint8_t>(player);
  PlayerDaimyoId = 254;
  StartAtTurn(0);
  g_StepMachine.step[1] = kSlgStepGameOver;
  Frame();
  EXPECT_EQ(PlayerDaimyoId, 254);
  EXPECT_EQ(g_TurnWork.main.parkedId, player);
  EXPECT_EQ(MainStep(), kSlgStepTurn);
  EXPECT_FALSE(IsGameEnded());  // the real clan has generals
}

TEST_F(TurnLoopTest, RecalcDaimyoTotalsRanksPrestigeAndPoints) {
  struct Case {
    int rank;
    int ownedInHome;  // castles of the home country owned (of 2)
    int revenueLand;  // land value of the home country
    int stat3;
    int wantRank, wantPrestige, wantCp;
  };
  // Home share: both castles 100, one castle 50 (equal levels).
  const Case cases[] = {
      {0, 1, 500, 20, 1, 5, 4 + 2},   // 50 per cent: rank 1 (no prestige); 20/5 = 4, +2
      {0, 2, 500, 50, 2, 6, 10 + 3},  // 100 per cent: ranks 1 and 2; quotient 10: +4 - 1
      {0, 2, 1000, 49, 3, 7, 9 + 6},  // revenue 1000: rank 3, prestige twice
      {2, 0, 1000, 10, 2, 5, 2 + 4},  // no share: stays; revenue counts only its own share
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rank * 100 + c.ownedInHome * 10 + c.stat3);
    DaimyoRecord& d = DaimyoTable[player];
    d.rank = static_cast<uint8_t>(c.rank);
    d.prestige = 5;
    SiroTable[0].owner = SiroTable[0].lord = c.ownedInHome >= 1 ? player : enemy;
    SiroTable[1].owner = SiroTable[1].lord = c.ownedInHome >= 2 ? player : enemy;
    KuniTable[kuniA].land = static_cast<uint16_t>(c.revenueLand);
    BusyoTable[pHead].cur.stat[2] = static_cast<uint8_t>(c.stat3);
    RecalcDaimyoTotals(1);
    EXPECT_EQ(d.rank, c.wantRank);
    EXPECT_EQ(d.prestige, c.wantPrestige);
    EXPECT_EQ(d.cp, c.wantCp);
    EXPECT_EQ(KuniTable[kuniA].holder, c.ownedInHome == 2 ? player : kNoDaimyo);
  }
}

TEST_F(TurnLoopTest, KeyRingHoldsTheTurnUntilTheKeyApplies) {
  g_InputActive.store(true);
  struct Case {
    uint32_t input;
    bool held;
    bool consumed;
  };
  const Case cases[] = {{1, false, true}, {1, true, false}, {0, true, true}, {0, false, false},
                        {4, true, true},  {5, false, true}, {2, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input * 10 + c.held);
    g_TurnWork.keys = SlgKeyRing{};
    PushSlgKey(c.input);
    MouseLeftDown = c.held;
    EXPECT_EQ(PollSlgKey(), 1);
    EXPECT_EQ(g_TurnWork.keys.read == g_TurnWork.keys.write, c.consumed);
  }
  MouseLeftDown = false;
  g_TurnWork.keys = SlgKeyRing{};
  EXPECT_EQ(PollSlgKey(), 0);
  g_InputActive.store(false);
}

TEST_F(TurnLoopTest, WaitEndsEarlyOnPressAndRelease) {
  g_InputActive.store(true);
  holdWaits = true;
  StartAtTurn(0);
  g_FrameWaitCounter.store(300);
  const uint32_t frames = g_TurnWork.main.frames;
  Frame();
  EXPECT_EQ(g_FrameWaitCounter.load(), 300);  // the frame timer counts it, not the step
  MouseLeftDown = true;
  Frame();
  EXPECT_EQ(g_FrameWaitCounter.load(), 300);
  MouseLeftDown = false;
  Frame();
  EXPECT_EQ(g_FrameWaitCounter.load(), 0);
  EXPECT_EQ(g_TurnWork.main.frames, frames + 3);
  EXPECT_EQ(TurnCounter, 0);  // no turn work while waiting
  g_InputActive.store(false);
}

TEST_F(TurnLoopTest, ExtinctClansHandTheirCastlesToTheSuccessor) {
  // The enemy's head loses his castle and the clan its vassals.
  for (int g : {eGen, eHead}) RemoveBusyoFromCastle(g);
  DaimyoTable[enemy].head = static_cast<uint16_t>(eHead);
  DaimyoTable[enemy].successor = static_cast<uint8_t>(player);
  HandOverExtinctClans();
  EXPECT_EQ(SiroTable[2].owner, player);
  EXPECT_EQ(SiroTable[2].lord, player);
  EXPECT_EQ(SiroTable[3].owner, kNoDaimyo);  // the independents' castle is not the enemy's
  // A clan whose head field is none is passed over.
  SiroTable[2].owner = SiroTable[2].lord = static_cast<uint8_t>(enemy);
  DaimyoTable[enemy].head = kNoBusyo;
  HandOverExtinctClans();
  EXPECT_EQ(SiroTable[2].owner, enemy);
}

TEST_F(TurnLoopTest, HomeCountryEndsThePrologueOnlyWithARealCastle) {
  FirstTurnFlag = 1;
  // The player holds both castles of country A, where his head stands: the prologue ends.
  StartAtTurn(0);
  g_StepMachine.step[1] = kSlgStepGameOver;
  Frame();
  EXPECT_EQ(FirstTurnFlag, 0);
  EXPECT_EQ(adv.scripts, std::vector<int>{3});
  // A head in the fictional castle names no country: nothing is read, the flag stays.
  FirstTurnFlag = 1;
  adv.scripts.clear();
  MoveVassalToSiro(pHead, player, KakuuSiroId);
  ASSERT_EQ(BusyoTable[pHead].siro, KakuuSiroId);
  g_StepMachine.step[1] = kSlgStepGameOver;
  g_StepMachine.subStep[1] = 0;
  Frame();
  EXPECT_EQ(FirstTurnFlag, 1);
  EXPECT_TRUE(adv.scripts.empty());
}

}  // namespace

namespace {

// The turn reset on the sample data: auto-run off, orders back to their identity, the game-end
// byte cleared, the scenario loaded for a new game.
TEST_F(TurnTest, ResetStartsTheScenarioWithAutoRunOff) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  ScenarioNumber = 0;
  StartSlot = -1;
  PreferredStartDaimyo = -1;
  SetAutoRun(true);
  g_TurnWork.gameEnd = 1;
  for (int i = 0; i < 64; ++i) ClanOrderList[i] = static_cast<uint8_t>(63 - i);
  MarchOrderList[0] = 9;
  ResetSlgTurnState();
  EXPECT_FALSE(IsAutoRun());
  EXPECT_FALSE(IsGameEnded());
  for (int i = 0; i < 60; ++i) EXPECT_EQ(ClanOrderList[i], i);
  EXPECT_EQ(MarchOrderList[0], 0);
  EXPECT_EQ(MarchOrderList[253], 253);
  EXPECT_EQ(ActingSideFlag, 1);
  EXPECT_NE(SiroTable[0].kuni, kNoKuni);
  ExpectClean();
}

// After an ending the game goes back to the title, whose strategy button restarts the chain from its
// first step: the ended game's mark must not hold the new game there (the map stayed empty).
TEST_F(TurnTest, ANewGameAfterAnEndingRunsItsReset) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  ScenarioNumber = 0;
  StartSlot = -1;
  PreferredStartDaimyo = -1;
  g_TurnWork.gameEnd = 1;
  StepReset();  // what entering the strategy game from the title does
  ASSERT_TRUE(RunUntil([this] { return MainStep() >= kSlgStepNewGame; }, 20));
  EXPECT_FALSE(IsGameEnded());
  EXPECT_NE(SiroTable[0].kuni, kNoKuni) << "the scenario was loaded";
}

}  // namespace
