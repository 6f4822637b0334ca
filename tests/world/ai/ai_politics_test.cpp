#include <gtest/gtest.h>

#include <algorithm>

#include "tests/world/ai/ai_test_support.h"
#include "world/ai/ai_common.h"
#include "world/ai/ai_operations.h"
#include "world/ai/ai_politics.h"
#include "world/ai/ai_strategy.h"
#include "world/ai/ai_entry.h"

namespace {

// Country 0 holds castle a of clan 1 (level 4) and castle e of clan 2 (level 1), joined by a road;
// clan 0 is the player.
class AiPoliticsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    k0 = w.Kuni("尾張");
    a = w.Siro(k0, "鷹山", 1, 4);
    e = w.Siro(k0, "亀森", 2, 1);
    w.Road(a, e);
    for (const char* n : {"霧島", "杉原", "北条"}) w.Clan(n);
    clan = 1;
    head = w.Busyo("杉原 義久", a);
    w.Head(clan, head);
    enemyHead = w.Busyo("北条 氏康", e);
    w.Head(2, enemyHead);
    w.Place();
    PlayerDaimyoId = 0;
    SiroTable[a].maxLevel = 20;
    SiroTable[e].maxLevel = 20;
    DaimyoRecord& d = DaimyoTable[clan];
    d.revenue = 100;
    d.rank = 2;
    d.cp = 3;
    ExpectClean();
  }
  WorldBuilder w;
  ScriptedSlgScene scene;
  int k0, a, e, clan, head, enemyHead;
};

TEST_F(AiPoliticsTest, CastleWorksAtLevelFourWithABudgetOfNineTakeOneStepForEight) {
  BusyoTable[head].soldiers = 30;       // more than 6 x level
  BusyoTable[enemyHead].soldiers = 50;  // threat 50 + 1 + 1 above defence 8 + 30
  DaimyoTable[clan].money = 18;
  AiBuildCastle(clan);
  EXPECT_EQ(SiroTable[a].level, 5);
  EXPECT_EQ(DaimyoTable[clan].money, 10);  // 18 - 9 set aside + 1 left over
  EXPECT_EQ(DaimyoTable[clan].cp, 2);
  EXPECT_TRUE(SiroTable[a].turnFlags & 1);
}

TEST_F(AiPoliticsTest, DevelopmentTakesAnEightyPercentCountryWithLowMoodInTheFirstPass) {
  SiroTable[a].level = 6;  // weight 8 of 10: 80 per cent
  SiroTable[e].level = 0;
  KuniTable[k0].mood = 40;
  KuniTable[k0].land = 500;
  KuniTable[k0].landLimit = 1000;
  DaimyoTable[clan].money = 200;
  ScriptedDraws draws({}, 0);
  AiDevelopLands(clan);
  EXPECT_EQ(KuniTable[k0].land, 510);
  EXPECT_EQ(KuniTable[k0].mood, 41);
  EXPECT_EQ(DaimyoTable[clan].money, 100);
  EXPECT_TRUE(KuniTable[k0].doneFlags & 1);
}

TEST_F(AiPoliticsTest, AllianceStandingsAgeAndComeUpForReview) {
  DaimyoRecord& d = DaimyoTable[clan];
  DaimyoRecord& o = DaimyoTable[2];
  auto ally = [&](uint8_t standing) {
    d.allies[0] = 2;
    d.allyStanding[0] = standing;
    o.allies[0] = static_cast<uint8_t>(clan);
    o.allyStanding[0] = 20;
  };
  struct Case {
    uint8_t standing;
    std::vector<int> draws;  // decay draws, the proposal draw, the review draw
    int otherKoku;
    uint8_t expected;  // standing afterwards; 254: the alliance ended on both sides
  };
  const Case cases[] = {
      {20, {50, 99}, 100, 19},        // one a turn
      {20, {5, 2, 99}, 100, 16},      // one turn in ten: 1 + (2 + 1)
      {3, {5, 2, 99, 99}, 100, 254},  // reaches 0; reviewed: breaks (draw above 4)
      {1, {50, 99, 99}, 200, 20},     // ally more than 1.5 times as large: renewed
      {1, {50, 99, 3}, 100, 20},      // review draw 4 or below: renewed
      {255, {99}, 100, 254},          // marked to be broken
  };
  SetSlgScenePort(&scene);
  for (const Case& c : cases) {
    ally(c.standing);
    o.revenue = static_cast<uint16_t>(c.otherKoku);
    ScriptedDraws draws(c.draws, 99);
    ASSERT_GT(RunSteps([&] { AiAlliance(clan); }), 0);
    if (c.expected == 254) {
      EXPECT_EQ(d.allies[0], kNoDaimyo) << int(c.standing);
      EXPECT_EQ(o.allies[0], kNoDaimyo) << int(c.standing);
    } else {
      EXPECT_EQ(d.allies[0], 2) << int(c.standing);
      EXPECT_EQ(d.allyStanding[0], c.expected) << int(c.standing);
    }
  }
}

TEST_F(AiPoliticsTest, AProposalToThePlayerWaitsForTheAnswer) {
  // Clan 0 (the player) holds a neighbouring country.
  int k1 = w.Kuni("美濃");
  int p = w.Siro(k1, "岐阜", 0, 2);
  w.Road(e, p);
  int ph = w.Busyo("霧島 信房", p);
  w.Head(0, ph);
  w.Place();
  KuniTable[k1].holder = 0;
  DaimyoRecord& d = DaimyoTable[clan];
  d.money = 100;
  AddVassal(w, clan, a, 5);
  DaimyoTable[0].revenue = 10;  // small: the alliance is not barred
  d.revenue = 1000;
  d.prestige = 10;
  ExpectClean();
  SetSlgScenePort(&scene);
  ScriptedDraws draws({0, 0}, 99);  // propose; the first candidate
  StepReset();
  int frames = 0;
  bool done = false;
  for (; frames < 20 && !done; ++frames) {
    if (frames == 10) scene.results.push_back(0);  // the player accepts after a while
    StepPush();
    AiAlliance(clan);
    done = StepPop();
  }
  ASSERT_TRUE(done);
  EXPECT_GT(frames, 10);
  ASSERT_EQ(scene.questions.size(), 1u);
  EXPECT_EQ(d.allies[0], 0);
  EXPECT_EQ(DaimyoTable[0].allies[0], clan);
  EXPECT_EQ(d.allyStanding[0], 20);
  EXPECT_EQ(SiroTable[a].allyMark, 1);  // the player's ally's castles are marked
}

TEST_F(AiPoliticsTest, BarringFollowsTheRefusalSetAndTheOnlyFrontier) {
  DaimyoTable[clan].revenue = 900;
  DaimyoTable[2].revenue = 300;            // a third
  EXPECT_TRUE(IsAllianceBarred(clan, 2));  // the only hostile neighbour, and not small
  DaimyoTable[2].revenue = 299;
  EXPECT_FALSE(IsAllianceBarred(clan, 2));
  AddDaimyoRelation(2, clan);
  EXPECT_TRUE(IsAllianceBarred(clan, 2));
}

TEST_F(AiPoliticsTest, LuringTakesOnlyUnbondedGeneralsAndMovesThemWhole) {
  // The player's castle p in country 0 beside clan 2's castle e.
  int p = w.Siro(k0, "鶴岡", 0, 1);
  w.Road(p, e);
  int ph = w.Busyo("霧島 信房", p);
  w.Head(0, ph);
  int g = w.Busyo("千森 政長", p);
  w.Place();
  BusyoTable[ph].kizuna = 1;
  BusyoTable[g].loyalty = 1;
  DaimyoTable[2].rank = 2;
  DaimyoTable[0].prestige = 0;
  ExpectClean();
  SetSlgScenePort(&scene);
  // Bonded: never.
  BusyoTable[g].kizuna = 1;
  {
    ScriptedDraws draws({}, 0);
    ASSERT_GT(RunSteps([] { AiPoach(); }), 0);
    EXPECT_EQ(GetBusyoDaimyo(g), 0);
  }
  // Unbonded, loyalty 1: 0 + 2 < draw + 1. The random castle draw picks e (index 1 of 3).
  BusyoTable[g].kizuna = 0;
  {
    ScriptedDraws draws({0, 29, 1}, 0);
    ASSERT_GT(RunSteps([] { AiPoach(); }), 0);
  }
  EXPECT_EQ(GetBusyoDaimyo(g), 2);
  EXPECT_EQ(BusyoTable[g].siro, e);
  EXPECT_EQ(FindForceSlot(0, g), 0xFFFF);
  ASSERT_FALSE(scene.messages.empty());
  ExpectClean();
}

// March costs: tier 4 below 1000 koku; 100 money outside the second season gives a budget of 50.
TEST_F(AiPoliticsTest, TheStrategyBudgetPaysWhatItCanAndCallsOffTheRest) {
  int b = w.Siro(k0, "鶴岡", 1, 1);
  w.Road(a, b);
  int g1 = AddVassal(w, clan, a, 40);
  int g2 = AddVassal(w, clan, b, 20);
  for (int g : {g1, g2}) {
    BusyoTable[g].marchFlag = 1;
    BusyoTable[g].siro2 = static_cast<uint16_t>(e);
  }
  ExpectClean();
  DaimyoTable[clan].money = 100;
  SeasonIndex = 0;
  AiStrategyBudget(clan);
  EXPECT_EQ(BusyoTable[g1].marchFlag, 1);  // 40 x 4 / 4 = 40 of 50
  EXPECT_EQ(BusyoTable[g2].marchFlag, 0);  // 20 more does not fit in 10
  EXPECT_EQ(BusyoTable[g2].siro2, kNoSiro);
  EXPECT_EQ(DaimyoTable[clan].money, 60);
}

TEST_F(AiPoliticsTest, WithoutABudgetNoGeneralMarches) {
  int b = w.Siro(k0, "鶴岡", 1, 1);
  w.Road(b, e);
  AddVassal(w, clan, b, 40);
  AddVassal(w, clan, a, 40);
  BusyoTable[enemyHead].soldiers = 5;
  DaimyoTable[clan].targets[0] = static_cast<uint8_t>(k0);
  ExpectClean();
  for (int money : {0, 1000}) {
    DaimyoTable[clan].money = static_cast<uint16_t>(money);
    ScriptedDraws draws({}, 0);
    AiPlanOperations(clan);
    int marching = 0;
    for (int g = 0; g < 10; ++g) marching += BusyoTable[g].marchFlag == 1 && BusyoTable[g].siro2 == e;
    EXPECT_EQ(marching > 0, money > 0) << "money " << money;
    ExpectClean();
  }
}

TEST_F(AiPoliticsTest, AWeakForceWithAnotherHostileNeighbourStaysHome) {
  // Staging castle a faces e (the target, 60 soldiers) and castle x of clan 3 (also too strong).
  int x = w.Siro(k0, "梅原", 3, 1);
  w.Road(a, x);
  w.Clan("武田");
  AddVassal(w, 3, x, 50);
  BusyoTable[enemyHead].soldiers = 50;
  AddVassal(w, 2, e, 10);
  BusyoTable[head].soldiers = 10;
  DaimyoTable[clan].targets[0] = static_cast<uint8_t>(k0);
  DaimyoTable[clan].money = 5000;
  ExpectClean();
  ScriptedDraws draws({}, 0);
  AiPlanOperations(clan);
  EXPECT_EQ(BusyoTable[head].marchFlag, 0);
  // Without the other neighbour the garrison is thrown in; still too weak, it stays home too.
  SetSiroLink(a, x, false);
  ExpectClean();
  AiPlanOperations(clan);
  EXPECT_EQ(BusyoTable[head].marchFlag, 0);
  // Strong enough: it marches on e.
  BusyoTable[head].soldiers = 50;
  int second = AddVassal(w, clan, a, 50);
  ExpectClean();
  AiPlanOperations(clan);
  EXPECT_EQ(BusyoTable[head].marchFlag, 1);
  EXPECT_EQ(BusyoTable[head].siro2, e);
  EXPECT_EQ(BusyoTable[second].siro2, e);
  ExpectClean();
}

TEST_F(AiPoliticsTest, GeneralsInAClosedCountryNeitherDefendNorAttack) {
  AddVassal(w, clan, a, 50);
  BusyoTable[head].soldiers = 50;
  BusyoTable[enemyHead].soldiers = 5;
  DaimyoTable[clan].targets[0] = static_cast<uint8_t>(k0);
  DaimyoTable[clan].money = 5000;
  KuniTable[k0].eventState = 5;
  ScriptedDraws draws({}, 0);
  AiPlanOperations(clan);
  for (int g = 0; g < 10; ++g) EXPECT_EQ(BusyoTable[g].marchFlag, 0);
  EXPECT_TRUE(BusyoTable[head].cmdFlags & 1);
}

}  // namespace

namespace {

TEST_F(AiPoliticsTest, OnTheFirstTurnTheComputerClansOnlyShowTheirMessages) {
  SetSlgScenePort(&scene);
  FirstTurnFlag = 1;
  DaimyoTable[clan].money = 1000;
  DaimyoTable[clan].allies[0] = 2;
  DaimyoTable[clan].allyStanding[0] = 5;
  BusyoTable[head].marchFlag = 1;
  BusyoTable[head].siro2 = static_cast<uint16_t>(e);
  for (int i = 0; i < kDokuSlots; ++i) MarchOrderList[i] = static_cast<uint8_t>(i);
  ScriptedDraws draws({}, 0);
  ASSERT_GT(RunSteps([this] { AiPoliticsThink(clan); }), 0);
  ASSERT_GT(RunSteps([this] { AiStrategyThink(clan); }), 0);
  ASSERT_GT(RunSteps([] { IndependentForcesThink(); }), 0);
  FirstTurnFlag = 0;
  EXPECT_EQ(draws.Count(), 0);
  EXPECT_EQ(DaimyoTable[clan].money, 1000);
  EXPECT_EQ(DaimyoTable[clan].allyStanding[0], 5);
  EXPECT_EQ(BusyoTable[head].marchFlag, 1);
  for (int i = 0; i < kDokuSlots; ++i) ASSERT_EQ(MarchOrderList[i], i);
  ASSERT_GE(scene.messages.size(), 3u);
  EXPECT_NE(scene.messages[0].find("政略思考中"), std::string::npos);
}

TEST_F(AiPoliticsTest, InTheSecondSeasonTheWholeTreasuryPaysForMarches) {
  int g1 = AddVassal(w, clan, a, 40);
  BusyoTable[g1].marchFlag = 1;
  BusyoTable[g1].siro2 = static_cast<uint16_t>(e);
  DaimyoTable[clan].money = 60;  // half would not pay 40
  SeasonIndex = 1;
  AiStrategyBudget(clan);
  EXPECT_EQ(BusyoTable[g1].marchFlag, 1);
  EXPECT_EQ(DaimyoTable[clan].money, 20);
  SeasonIndex = 0;
}

}  // namespace

namespace {

TEST_F(AiPoliticsTest, ReinforcementStopsOnceTheThreatIsMatched) {
  // Castle a (level 4, the head with 10) faces e (50 soldiers): threat 52 against 18. Castle b,
  // joined to a, holds three generals of 30; two are enough.
  int b = w.Siro(k0, "鶴岡", 1, 1);
  w.Road(a, b);
  int g[3];
  for (int& x : g) x = AddVassal(w, clan, b, 30);
  BusyoTable[head].soldiers = 10;
  BusyoTable[enemyHead].soldiers = 50;
  DaimyoTable[clan].money = 0;  // no attack
  ExpectClean();
  ScriptedDraws draws({}, 0);
  AiPlanOperations(clan);
  int moved = 0;
  for (int x : g) moved += BusyoTable[x].siro == a;
  EXPECT_EQ(moved, 2);
  EXPECT_GE(GetSiroDefencePower(clan, a), FindStrongestEnemyNeighbour(clan, a).power);
  ExpectClean();
}

}  // namespace
