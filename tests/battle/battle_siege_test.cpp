#include <string>

#include "battle_fixture.h"
#include "core/frame_wait.h"

namespace {

class BattleSiegeTest : public BattleWorldTest {
 protected:
  // Rosters of the fixture's march; the field battle is taken as over with both sides in place.
  void Rosters() {
    g_Battle.targetSiro = static_cast<uint16_t>(target);
    g_Battle.siroLevel = SiroTable[target].level;
    BattleBuildRosters();
  }
  int RunSiege() {
    BeginBattleSiege();
    int steps = 0;
    while (!BattleSiegeStep())
      if (++steps > 10) break;
    return steps;
  }
  BattleSide& Att() { return g_Battle.sides[g_Battle.attackerSide]; }
  BattleSide& Def() { return g_Battle.sides[g_Battle.defenderSide]; }
};

TEST_F(BattleSiegeTest, AttackersOrders) {
  Build({20, 20}, {20});
  struct Case {
    const char* name;
    int money, clan, round, expected;
  };
  const Case cases[] = {
      {"storm in the first round without money", 0, 0, 1, kOrderStorm},
      {"withdraw in the second round without money", 0, 0, 2, kOrderRetreat},
      {"besiege while the money lasts", 1000, 0, 1, kOrderBesiege},
      {"besiege in a later round", 1000, 0, 3, kOrderBesiege},
      {"independents always besiege", 0, 1, 2, kOrderBesiege},
  };
  for (const Case& c : cases) {
    Rosters();
    DaimyoTable[clanA].money = static_cast<uint16_t>(c.money);
    if (c.clan) Att().clan = kNoDaimyo;
    g_Battle.round = static_cast<uint8_t>(c.round);
    EXPECT_EQ(BattleSiegeAiOrder(), c.expected) << c.name;
  }
  // Besieging costs the endurance, never below 0.
  Rosters();
  DaimyoTable[clanA].money = 1000;
  int cost = SiegeEndurance(g_Battle.attackerSide);
  SiegeAction(kOrderBesiege);
  EXPECT_EQ(DaimyoTable[clanA].money, 1000 - cost);
}

TEST_F(BattleSiegeTest, ACastleWithoutStrengthFallsAtOnce) {
  Build({20}, {20, 15});
  SiroTable[target].level = 0;
  Rosters();
  RunSiege();
  EXPECT_EQ(g_Battle.outcome, 1u);
  for (const BattleUnit& u : Def().units)
    if (u.general != kNoUnitGeneral) {
      EXPECT_EQ(u.soldiers, 1);
      EXPECT_EQ(u.guns, 0);
    }
}

TEST_F(BattleSiegeTest, AtMostThreeRoundsThenTheAttackersWithdraw) {
  Build({5, 5}, {50, 50, 50});
  SiroTable[target].level = 200;
  DaimyoTable[clanA].money = 60000;
  Rosters();
  int steps = RunSiege();
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(g_Battle.outcome, 0u);
  EXPECT_EQ(Att().status, 1);
  EXPECT_GT(g_Battle.siroLevel, 0);
  EXPECT_EQ(g_Battle.round, 4);
}

TEST_F(BattleSiegeTest, TheSiegeEndsWhenTheCastleHasNoStrengthLeft) {
  // Independents besiege every round and cannot withdraw by money: the castle's fall ends the
  // rounds.
  Build({50, 50, 50, 50}, {1});
  SiroTable[target].level = 1;
  Rosters();
  Att().clan = kNoDaimyo;
  g_Battle.attackerClan = kNoDaimyo;
  int steps = RunSiege();
  EXPECT_LE(steps, 3);
  EXPECT_EQ(g_Battle.siroLevel, 0);
  EXPECT_EQ(g_Battle.outcome, 1u);
}

TEST_F(BattleSiegeTest, StormLossesNeverEmptyAUnit) {
  Build({2, 2, 3}, {50, 50, 50, 50});
  SiroTable[target].level = 100;
  Rosters();
  Att().siegeLossRate = 10000;
  SiegeAction(kOrderStorm);
  for (const BattleUnit& u : Att().units)
    if (u.general != kNoUnitGeneral) {
      EXPECT_EQ(u.soldiers, 1);
    }
}

TEST_F(BattleSiegeTest, DefendersWhoRetreatedLeaveAnEmptyCastleWithItsStrength) {
  Build({20}, {20, 20});
  Rosters();
  Def().status = 2;
  BeginBattleSiege();
  EXPECT_EQ(g_Battle.siroLevel, 10);
  for (const BattleUnit& u : Def().units) {
    EXPECT_EQ(u.general, kNoUnitGeneral);
    EXPECT_EQ(u.morale, 0);
  }
  EXPECT_EQ(Def().units[0].firstGeneral, def[0]);
  while (!BattleSiegeStep()) {}
  EXPECT_EQ(Def().status, 2);
}

TEST_F(BattleSiegeTest, TheLoneDefenderMaySurrender) {
  Build({50, 50}, {3});
  BusyoTable[def[0]].kizuna = 0;
  BusyoTable[def[0]].loyalty = 5;
  SiroTable[target].level = 3;
  Rosters();
  g_Battle.round = 1;
  // The gate: SlgRandom(100) against attacker power x 10 / defender power - 30, then the loyalty.
  ScriptedDraws draws({99, 19});
  SiegeSurrender();
  EXPECT_EQ(Def().units[0].lost, 2);
  EXPECT_EQ(Def().status, 1);
  EXPECT_EQ(g_Battle.outcome, 1u);
  // Never in the third round, and never for independents.
  Rosters();
  g_Battle.round = 3;
  SiegeSurrender();
  EXPECT_EQ(Def().status, 0);
}

// ---- Results ----

class BattleResultsTest : public BattleSiegeTest {};

TEST_F(BattleResultsTest, TheCastleKeepsHalfOfItsLossAndFailedAttackersGoHome) {
  Build({20, 18}, {20});
  Rosters();
  g_Battle.siroLevel = 4;
  Att().status = 1;
  Att().units[0].soldiers = 7;
  Att().units[0].guns = 2;
  BattleResults();
  EXPECT_EQ(SiroTable[target].level, 7);
  EXPECT_EQ(StationedCount(target, true), 0);
  EXPECT_EQ(StationedCount(home), 2);
  EXPECT_EQ(BusyoTable[att[0]].soldiers, 7);
  EXPECT_EQ(BusyoTable[att[0]].guns, 2);
  EXPECT_EQ(BusyoTable[att[0]].siro, home);
  EXPECT_EQ(BusyoTable[att[0]].marchFlag, 0);
  EXPECT_EQ(BusyoTable[att[0]].siro2, kNoSiro);
  EXPECT_EQ(SiroTable[target].owner, clanD);
  ExpectClean();
}

TEST_F(BattleResultsTest, AnAttackerWhoseHomeFilledUpGoesToAnotherCastleOfHisClan) {
  Build({20, 18}, {20});
  static const char* const kNames[] = {"甲", "乙", "丙", "丁", "戊", "己"};
  for (const char* name : kNames) {
    int g = General(name, kNoSiro, 10, 0, 30);
    ASSERT_GE(AddBusyoToDaimyo(g, kNoDaimyo, kNoSlot, kNoSiro, clanA, home), 0);
  }
  ASSERT_EQ(StationedCount(home), 6);
  Rosters();
  Att().status = 2;
  BattleResults();
  EXPECT_EQ(StationedCount(target, true), 0);
  EXPECT_EQ(BusyoTable[att[0]].siro, alt);
  EXPECT_EQ(BusyoTable[att[1]].siro, alt);
  EXPECT_EQ(GetBusyoDaimyo(att[0]), clanA);
  ExpectClean();
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(BattleResultsTest, AStormedCastleChangesHands) {
  // The defenders' status is 0 after a storm; the outcome alone says the castle was lost.
  Build({20, 18}, {20, 10});
  Rosters();
  g_Battle.siroLevel = 0;
  g_Battle.outcome = 1;
  g_Battle.preSiegeDefenderStatus = 0;
  BusyoTable[def[1]].kizuna = 0;
  ScriptedDraws draws({99, 17});  // the vassal stays (99), then passes the surrender test (17 > 16)
  BusyoTable[def[1]].loyalty = 16;
  BattleResults();
  EXPECT_EQ(SiroTable[target].owner, clanA);
  EXPECT_EQ(StationedCount(target, true), 0);
  EXPECT_EQ(BusyoTable[def[0]].siro, refuge) << "the clan head flees to his clan's castle";
  EXPECT_EQ(GetBusyoDaimyo(def[1]), clanA) << "the vassal surrendered";
  EXPECT_EQ(BusyoTable[att[0]].siro, target);
  ExpectClean();
}

// A vassal of status 0 and loyalty 16 surrenders only on draws 17 to 19; otherwise he takes his life.
class SurrenderDrawTest : public BattleResultsTest, public ::testing::WithParamInterface<int> {};

TEST_P(SurrenderDrawTest, OnLoyalty) {
  int draw = GetParam();
  Build({20}, {20, 10});
  Rosters();
  g_Battle.siroLevel = 0;
  g_Battle.outcome = 1;
  BusyoTable[def[1]].kizuna = 0;
  BusyoTable[def[1]].loyalty = 16;
  ScriptedDraws draws({99, draw});
  BattleResults();
  if (draw > 16) {
    EXPECT_EQ(GetBusyoDaimyo(def[1]), clanA);
  } else {
    EXPECT_EQ(BusyoTable[def[1]].siro, kNoSiro);
  }
  ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(Draws, SurrenderDrawTest, ::testing::Values(0, 16, 17, 19));

TEST_F(BattleResultsTest, IndependentsTakeNoPrisonersAndNoSurrender) {
  Build({20}, {20, 10});
  Rosters();
  g_Battle.siroLevel = 0;
  g_Battle.outcome = 1;
  g_Battle.attackerClan = kNoDaimyo;
  g_BattleConfig.surrenderTest = 0;
  ScriptedDraws draws({99});
  BattleResults();
  EXPECT_NE(GetBusyoDaimyo(def[1]), clanA);
  EXPECT_EQ(BusyoTable[def[1]].siro, kNoSiro);
}

TEST_F(BattleResultsTest, TheTreasureIsFoundOnce) {
  Build({20}, {20});
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  Rosters();
  g_Battle.outcome = 1;
  SiroTable[target].treasureChance = 100;
  for (int i = 0; i < 10; ++i) SiroTable[target].treasure[i] = static_cast<uint16_t>(i == 3 ? 0 : 7);
  int before = GetItemStock(7);
  // The run-time generator draws the chance and the slot; find seeds for each slot kind.
  auto slotFor = [](uint32_t seed) {
    uint32_t s = seed * 214013u + 2531011u;
    s = s * 214013u + 2531011u;
    return static_cast<int>((s >> 16) & 0x7FFF) % 10;
  };
  uint32_t empty = 1, full = 1;
  while (slotFor(empty) != 3) ++empty;
  while (slotFor(full) == 3) ++full;
  g_Battle.crtRand = empty;
  EXPECT_EQ(BattleAftermathFind(), 0);
  EXPECT_EQ(SiroTable[target].treasureChance, 0) << "an empty slot still uses the chance up";
  EXPECT_EQ(GetItemStock(7), before);
  SiroTable[target].treasureChance = 1;
  g_Battle.sides[g_Battle.defenderSide].cutOff = 1;  // a cut-off commander always yields the find
  g_Battle.crtRand = full;
  EXPECT_EQ(BattleAftermathFind(), 7);
  EXPECT_EQ(GetItemStock(7), before + 1);
  EXPECT_EQ(BattleAftermathFind(), 0);
  EXPECT_EQ(GetItemStock(7), before + 1);
}

TEST_F(BattleResultsTest, ClanMoraleStaysWithinItsBounds) {
  Build({50, 50, 50}, {50});
  Rosters();
  DaimyoTable[clanA].renown = 149;
  DaimyoTable[clanD].renown = 2;
  // The attackers stayed in the field: they win; two draws each (50 soldiers / 50 + 1).
  ScriptedDraws draws({149, 149, 0, 0});
  ClanMoraleAfterBattle();
  EXPECT_EQ(DaimyoTable[clanA].renown, 149);
  EXPECT_EQ(DaimyoTable[clanD].renown, 1);
  ScriptedDraws more({0, 0, 149, 149});
  DaimyoTable[clanA].renown = 20;
  ClanMoraleAfterBattle();
  EXPECT_EQ(DaimyoTable[clanA].renown, 20);
  EXPECT_EQ(DaimyoTable[clanD].renown, 1);
}

}  // namespace

namespace {

class AskingScreen : public BattleScreenPort {
 public:
  explicit AskingScreen(int answer) : answer_(answer) {}
  int AcceptSurrender(int busyo) override {
    asked = busyo;
    return ++polls < 3 ? -1 : answer_;
  }
  int asked = -1, polls = 0;

 private:
  int answer_;
};

class SurrenderQuestionTest : public BattleResultsTest, public ::testing::WithParamInterface<int> {};

TEST_P(SurrenderQuestionTest, ThePlayerDecidesOnAGeneralWhoSurrenders) {
  Build({20}, {20, 10});
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  Rosters();
  g_Battle.siroLevel = 0;
  g_Battle.outcome = 1;
  BusyoTable[def[1]].kizuna = 0;
  BusyoTable[def[1]].loyalty = 16;
  AskingScreen screen(GetParam());
  SetBattleScreenPort(&screen);
  ScriptedDraws draws({99, 17});
  int steps = 0;
  while (!BattleResultsStep()) ASSERT_LT(++steps, 10);
  EXPECT_EQ(steps, 2) << "the results wait while the player decides";
  EXPECT_EQ(screen.asked, def[1]);
  if (GetParam() == 18) {
    EXPECT_EQ(GetBusyoDaimyo(def[1]), clanA);
  } else {
    EXPECT_EQ(BusyoTable[def[1]].siro, kNoSiro);
  }
  EXPECT_EQ(SiroTable[target].owner, clanA);
  ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(Answers, SurrenderQuestionTest, ::testing::Values(18, 19));

}  // namespace
