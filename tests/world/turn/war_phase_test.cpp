// The war phase: which marches stand, which battles are fought, the retreat rule, the independents,
// and a save taken inside a battle that resumes the same march after loading.
#include <vector>

#include "save/save_slot.h"
#include "turn_fixture.h"
#include "core/game_file.h"
#include "world/scenario_tables.h"
#include "world/turn/world_hash.h"

namespace {

class WarPhaseTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    BuildSmallWorld();
  }
  // Runs the war phase to its end as the main step would (bounded); true when it finished.
  bool RunWar(int maxFrames = 2000) {
    for (int i = 0; i < maxFrames; ++i)
      if (WarFrame()) return true;
    return false;
  }
  bool WarFrame() {
    g_FrameWaitCounter.store(0);
    StepSetDepth(0);
    StepPush();
    WarPhase();
    return StepPop();
  }
  void March(int busyo, int target, int soldiers = -1) {
    BusyoTable[busyo].marchFlag = 1;
    BusyoTable[busyo].siro2 = static_cast<uint16_t>(target);
    if (soldiers >= 0) BusyoTable[busyo].soldiers = static_cast<uint8_t>(soldiers);
  }
  std::vector<int> FoughtAt() const {
    std::vector<int> out;
    for (const ScriptedBattle::Fight& f : battle.fights) out.push_back(f.castle);
    return out;
  }
  bool Marching(int busyo) const { return BusyoTable[busyo].marchFlag == 1 || BusyoTable[busyo].siro2 != kNoSiro; }
};

TEST_F(WarPhaseTest, MarchOnOwnCastleIsCancelledWithoutBattle) {
  March(pGen, 0);
  ASSERT_TRUE(RunWar());
  EXPECT_TRUE(battle.fights.empty());
  EXPECT_FALSE(Marching(pGen));
  EXPECT_EQ(BusyoTable[pGen].siro, 1);
  ExpectClean();
}

TEST_F(WarPhaseTest, PlayersMarchIsAlwaysFoughtAndEndsBackHome) {
  March(pGen, 2, 1);  // far weaker than the garrison: the player is never sent back
  ASSERT_TRUE(RunWar());
  ASSERT_EQ(FoughtAt(), std::vector<int>{2});
  EXPECT_EQ(battle.fights[0].attackers, std::vector<int>{pGen});
  EXPECT_EQ(battle.fights[0].defenders, (std::vector<int>{eHead, eGen}));
  EXPECT_EQ(BusyoTable[pGen].siro, 1);
  EXPECT_EQ(SiroTable[2].list2[0].slot, kNoSlot);
  EXPECT_EQ(adv.scripts, std::vector<int>{5});
  ExpectClean();
}

TEST_F(WarPhaseTest, TruceRules) {
  // The enemy holds a truce: its own march is cancelled, the player's march on it stands.
  DaimyoTable[enemy].truce = 1;
  March(eGen, 1, 40);
  March(pGen, 2);
  ASSERT_TRUE(RunWar());
  EXPECT_EQ(FoughtAt(), std::vector<int>{2});
  EXPECT_FALSE(Marching(eGen));
  EXPECT_EQ(BusyoTable[eGen].siro, 2);
  // The player holds a truce: no AI clan attacks him.
  battle.fights.clear();
  DaimyoTable[enemy].truce = 0;
  DaimyoTable[player].truce = 1;
  March(eGen, 1, 40);
  ASSERT_TRUE(RunWar());
  EXPECT_TRUE(battle.fights.empty());
  EXPECT_FALSE(Marching(eGen));
  ExpectClean();
}

TEST_F(WarPhaseTest, AttackBelowTwoThirdsOfTheDefenceGoesHome) {
  struct Case {
    int attacker, defender;
    bool fought;
  };
  // Two thirds of 30 is 20: an attack of 19 goes home, 20 is fought.
  const Case cases[] = {{19, 30, false}, {20, 30, true}, {10, 30, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attacker);
    battle.fights.clear();
    BusyoTable[pGen].soldiers = static_cast<uint8_t>(c.defender);
    March(eGen, 1, c.attacker);
    ASSERT_TRUE(RunWar());
    EXPECT_EQ(battle.fights.size(), c.fought ? 1u : 0u);
    EXPECT_FALSE(Marching(eGen));
    EXPECT_EQ(BusyoTable[eGen].siro, 2);
    EXPECT_EQ(SiroTable[1].list2[0].slot, kNoSlot);
    ExpectClean();
  }
}

TEST_F(WarPhaseTest, WeakAttackersAreSentBackBeforeTheCount) {
  // Attackers 40 and 3 against a best defender of 30: the threshold is min(10, 30) = 10; the 3
  // goes home, 40 alone is at least two thirds of 30 and fights.
  int second = w.Busyo("敵二", 2);
  w.Place();
  BusyoTable[pGen].soldiers = 30;
  March(eGen, 1, 40);
  March(second, 1, 3);
  EXPECT_EQ(CheckDefendersRetreat(1), 1);  // not in the second list yet: nobody attacks
  ASSERT_TRUE(RunWar());
  ASSERT_EQ(battle.fights.size(), 1u);
  EXPECT_EQ(battle.fights[0].attackers, std::vector<int>{eGen});
  EXPECT_FALSE(Marching(second));
  ExpectClean();
}

TEST_F(WarPhaseTest, FirstTurnOnlyThePlayerFights) {
  FirstTurnFlag = 1;
  March(pGen, 2);
  March(eGen, 1, 60);
  March(indep, 2, 60);
  ASSERT_TRUE(RunWar());
  EXPECT_EQ(FoughtAt(), std::vector<int>{2});
  EXPECT_EQ(battle.fights[0].attackers, std::vector<int>{pGen});
  // The others' orders were not resolved this turn.
  EXPECT_EQ(BusyoTable[indep].siro, 3);
  EXPECT_EQ(BusyoTable[eGen].siro, 2);
  ExpectClean();
}

TEST_F(WarPhaseTest, IndependentsMarchAloneOrWithTheirGarrison) {
  int second = w.Busyo("独二", 3);
  w.Place();
  // Alone (country mode 0): only the marching general goes.
  March(indep, 2, 60);
  ASSERT_TRUE(RunWar());
  ASSERT_EQ(FoughtAt(), std::vector<int>{2});
  EXPECT_EQ(battle.fights[0].attackers, std::vector<int>{indep});
  // With the garrison (mode 1): the whole first list goes with him.
  battle.fights.clear();
  KuniTable[kuniB].dokuMode = 1;
  March(indep, 2, 60);
  ASSERT_TRUE(RunWar());
  ASSERT_EQ(FoughtAt(), std::vector<int>{2});
  EXPECT_EQ(battle.fights[0].attackers, (std::vector<int>{indep, second}));
  EXPECT_EQ(BusyoTable[second].siro, 3);
  // A closed country (weather) cancels the march.
  battle.fights.clear();
  KuniTable[kuniB].dokuMode = 0;
  KuniTable[kuniB].eventState = 5;
  March(indep, 2, 60);
  ASSERT_TRUE(RunWar());
  EXPECT_TRUE(battle.fights.empty());
  EXPECT_FALSE(Marching(indep));
  ExpectClean();
}

TEST_F(WarPhaseTest, FullSecondListCancelsTheMarchAndLosesNobody) {
  // Twelve of the player's generals (six in each castle) march on castle 2: six fit.
  std::vector<int> marchers{pHead, pGen};
  for (int i = 0; i < 10; ++i) marchers.push_back(w.Busyo("兵", i < 5 ? 0 : 1));
  w.Place();
  for (int g : marchers) March(g, 2);
  ASSERT_TRUE(RunWar());
  ASSERT_EQ(battle.fights.size(), 1u);
  EXPECT_EQ(battle.fights[0].attackers.size(), 6u);
  for (int g : marchers) {
    EXPECT_EQ(GetBusyoDaimyo(g), player) << g;
    EXPECT_LT(BusyoTable[g].siro, 2) << g;
    EXPECT_FALSE(Marching(g)) << g;
  }
  EXPECT_TRUE(boxes.boxes.empty());
  ExpectClean();
}

TEST_F(WarPhaseTest, SaveInsideABattleResumesTheSameMarch) {
  // Marches of the player's clan on the enemy (two generals) and on the independents.
  w.Road(1, 3);
  int third = w.Busyo("三番", 1);
  w.Place();
  March(pHead, 2);
  March(pGen, 3);
  March(third, 2);
  battle.steps = 4;
  // Run until the first battle has fought two of its steps, then save.
  for (int i = 0; i < 200 && !(battle.fights.size() == 1 && battle.st.fought == 2); ++i) WarFrame();
  ASSERT_EQ(battle.fights.size(), 1u);
  ASSERT_EQ(battle.st.fought, 2);
  ASSERT_TRUE(SaveGameSlot(3, game_mode::kSlg));
  const WarWork savedWar = g_TurnWork.war;
  // The uninterrupted game.
  ASSERT_TRUE(RunWar());
  const std::vector<int> straightFights = FoughtAt();
  ASSERT_EQ(straightFights, (std::vector<int>{2, 3}));
  const uint64_t straight = WorldHash();
  // Loaded: the same battle goes on from its third step, then the war phase continues.
  battle.fights.clear();
  battle.st = ScriptedBattle::State{};
  g_TurnWork.war = WarWork{};
  ASSERT_TRUE(LoadGameSlot(3));
  // Packed fields are copied out before they are compared.
  const uint16_t battleCastle = battle.st.castle, warCastle = g_TurnWork.war.daimyoBattleSiro;
  EXPECT_EQ(battle.st.fought, 2);
  EXPECT_EQ(battleCastle, 2);
  EXPECT_EQ(g_TurnWork.war.daimyoSlot, savedWar.daimyoSlot);
  EXPECT_EQ(g_TurnWork.war.clanPos, savedWar.clanPos);
  EXPECT_EQ(warCastle, 2);
  ASSERT_TRUE(RunWar());
  // The resumed battle is not begun again; the later ones are the same.
  std::vector<int> resumed{2};
  const std::vector<int> after = FoughtAt();
  resumed.insert(resumed.end(), after.begin(), after.end());
  EXPECT_EQ(resumed, straightFights);
  EXPECT_EQ(WorldHash(), straight);
  ExpectClean();
}

}  // namespace

namespace {

// The interim resolver on the sample world: every general next to a foreign castle marches on it;
// three war phases later the world is consistent, every march has ended and castles changed hands.
TEST_F(WarPhaseTest, InterimResolverKeepsTheSampleWorldClean) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(0).c_str()));
  SetBattlePort(nullptr);  // the default port: the interim resolver
  SetGameRandState(7);
  ExpectClean();
  uint8_t owners[kSiroCount];
  for (int s = 0; s < kSiroCount; ++s) owners[s] = SiroTable[s].owner;
  for (int round = 0; round < 3; ++round) {
    for (int c = 0; c < kDaimyoInPlay; ++c)
      for (int i = 0; i < kVassalScan; ++i) {
        uint16_t g = DaimyoTable[c].vassals[i];
        if (g >= kBusyoCount || g == DaimyoTable[c].head || !SiroPtr(BusyoTable[g].siro)) continue;
        for (uint16_t n : SiroTable[BusyoTable[g].siro].neighbours)
          if (IsSiroInUse(n) && SiroTable[n].owner != c) {
            March(g, n);
            break;
          }
      }
    ASSERT_TRUE(RunWar(200000));
    ExpectClean();
  }
  int changed = 0;
  for (int s = 0; s < kSiroCount; ++s) changed += SiroTable[s].owner != owners[s];
  EXPECT_GT(changed, 0);
  for (int g = 0; g < kBusyoCount; ++g) {
    EXPECT_NE(BusyoTable[g].marchFlag, 1) << g;
  }
  for (int s = 0; s < kSiroCount; ++s) EXPECT_EQ(SiroTable[s].list2[0].slot, kNoSlot) << s;
  EXPECT_TRUE(boxes.boxes.empty()) << (boxes.boxes.empty() ? "" : boxes.boxes.front().text);
}

}  // namespace
