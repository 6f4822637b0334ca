#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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

// ---- What the siege shows ----

// The battle screen as the siege drives it, recorded with the strength at each call.
class SiegeScreen : public BattleScreenPort {
 public:
  struct Call {
    std::string op, name;
    int value = 0, maximum = 0, strength = 0, order = 0;
    bool countUp = false;
  };
  bool FightsByHand() const override { return byHand; }
  int PlayerSiegeOrder() override {
    ++polls;
    return orders.empty() ? -1 : orders.front();
  }
  void ShowSiegeCastle(const char* name, int value, int maximum) override {
    calls.push_back({"castle", name, value, maximum, g_Battle.siroLevel, 0, false});
  }
  void ShowSiegeGauge(int value, int maximum, bool countUp) override {
    calls.push_back({"gauge", "", value, maximum, g_Battle.siroLevel, g_Battle.siegeOrder, countUp});
  }
  void ShowSiegePanels() override { calls.push_back({"panels"}); }
  void ShakeSiegeGate() override { calls.push_back({"shake", "", 0, 0, g_Battle.siroLevel, g_Battle.siegeOrder}); }
  void OpenSiegeGate() override { calls.push_back({"open", "", 0, 0, g_Battle.siroLevel}); }
  std::vector<Call> calls;
  std::vector<int> orders;
  bool byHand = false;
  int polls = 0;
};

class SiegeDisplayTest : public BattleSiegeTest {
 protected:
  void TearDown() override {
    SetBattleScreenPort(nullptr);
    g_BattleConfig.animation = 1;
    BattleSiegeTest::TearDown();
  }
  // A new world for the next case of a table.
  void Fresh() {
    BattleSiegeTest::TearDown();
    w = WorldBuilder();
    att.clear();
    def.clear();
    BattleSiegeTest::SetUp();
    screen.calls.clear();
    SetBattleScreenPort(&screen);
    SetGameRandState(7);
  }
  SiegeScreen screen;
};

// The castle panel gets the castle's name with its suffix and the strength the siege begins with
// as value and full gauge; each storm or besiege moves the gauge to the strength left (counting
// only with the battle's animation), the maximum stays; a storm shakes the gate and a fallen castle
// opens it. A battle the player does not fight shows nothing.
TEST_F(SiegeDisplayTest, TheCastlePanelFollowsTheStrength) {
  struct Case {
    const char* name;
    std::vector<int> attackers, defenders;
    int level, money, mode, animation;
    bool falls;
    int storms;
  };
  const Case cases[] = {
      {"besieged to its fall", {50, 50, 50, 50}, {5}, 12, 60000, 2, 1, true, 0},
      {"stormed once, then the poor attackers withdraw", {50, 50, 50}, {10}, 60, 0, 2, 1, false, 1},
      {"the gauge jumps without the battle animation", {50, 50, 50, 50}, {5}, 12, 60000, 2, 0, true, 0},
      {"a castle without strength falls at once", {20}, {20, 15}, 0, 0, 2, 1, true, 0},
      {"the map's battle shows no panel", {50, 50, 50, 50}, {5}, 12, 60000, 1, 1, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Build(c.attackers, c.defenders);
    SiroTable[target].level = static_cast<uint8_t>(c.level);
    DaimyoTable[clanA].money = static_cast<uint16_t>(c.money);
    Rosters();
    g_Battle.mode = static_cast<uint8_t>(c.mode);
    g_BattleConfig.animation = c.animation;
    RunSiege();
    EXPECT_EQ(g_Battle.outcome == 1, c.falls);
    const auto& calls = screen.calls;
    if (c.mode != 2) {
      EXPECT_TRUE(calls.empty());
      continue;
    }
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, "panels");
    EXPECT_EQ(calls[1].op, "castle");
    EXPECT_EQ(calls[1].name, std::string(GetSiroName(target, false)) + "城");
    EXPECT_EQ(calls[1].value, c.level);
    const int maximum = std::max(1, c.level);
    EXPECT_EQ(calls[1].maximum, maximum);
    int last = c.level, gauges = 0, storms = 0, shakes = 0, opens = 0;
    for (size_t i = 2; i < calls.size(); ++i) {
      const SiegeScreen::Call& k = calls[i];
      if (k.op == "gauge") {
        ++gauges;
        storms += k.order == kOrderStorm;
        EXPECT_EQ(k.value, k.strength) << "the strength after the action";
        EXPECT_LE(k.value, last);
        EXPECT_EQ(k.maximum, maximum);
        EXPECT_EQ(k.countUp, c.animation != 0);
        last = k.value;
      }
      if (k.op == "shake") {
        ++shakes;
        EXPECT_EQ(calls[i - 1].op, "gauge");
        EXPECT_EQ(calls[i - 1].order, kOrderStorm);
      }
      if (k.op == "open") {
        ++opens;
        EXPECT_EQ(i, calls.size() - 1) << "the gate opens last";
      }
    }
    EXPECT_EQ(last, g_Battle.siroLevel);
    EXPECT_EQ(storms, c.storms);
    EXPECT_EQ(shakes, storms);
    EXPECT_EQ(opens, c.falls ? 1 : 0);
    if (c.level == 0) {
      EXPECT_EQ(gauges, 0) << "no round is fought";
    } else {
      EXPECT_GE(gauges, 1);
      if (c.falls) {
        EXPECT_EQ(last, 0);
      } else {
        EXPECT_LT(last, c.level) << "the storm wore the castle down";
      }
    }
  }
}

// While the player chooses his siege order the rules poll him every frame; the round's skill phase
// runs once, so a running skill does not count down on every poll.
TEST_F(SiegeDisplayTest, TheSkillPhaseRunsOnceARoundWhileThePlayerChooses) {
  Build({50, 50}, {20});
  SiroTable[target].level = 100;
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  Rosters();
  ASSERT_EQ(g_Battle.attackerSide, 0);
  ASSERT_EQ(Att().clan, clanA);
  g_Battle.mode = 2;
  SkillRecord& r = SkillTable[0];
  std::memset(&r, 0, sizeof r);
  // Any place, no condition, always, every round, three rounds, the storm rate up.
  r.effects[0].kind = 1;
  r.effects[1] = {1, 0};
  r.effects[2] = {1, 0};
  r.effects[3] = {3, 0};
  r.effects[4] = {2, 3};
  r.effects[5].kind = 4;
  r.effects[6] = {8, 10};
  Att().units[0].skills[0] = 1;
  screen.byHand = true;
  SetBattleScreenPort(&screen);
  BeginBattleSiege();
  for (int i = 0; i < 5; ++i) ASSERT_FALSE(BattleSiegeStep());
  EXPECT_EQ(screen.polls, 5);
  EXPECT_EQ(g_Battle.round, 1);
  EXPECT_EQ(Att().units[0].skillCount[0], 3) << "fired once and not counted down by the polls";
  screen.orders = {kOrderStorm};
  ASSERT_FALSE(BattleSiegeStep());
  EXPECT_EQ(g_Battle.round, 2);
  screen.orders.clear();
  for (int i = 0; i < 3; ++i) BattleSiegeStep();
  EXPECT_EQ(Att().units[0].skillCount[0], 2) << "the next round counts it down once";
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

// A winner whose scanned vassal slots are all taken (its castles still have room) takes no
// surrender: the general who passed the test meets the fate of one who did not, and no data error
// box comes from a join that cannot be made.
TEST_F(BattleResultsTest, AWinnerWithoutAFreeVassalSlotTakesNoSurrender) {
  Build({20}, {20, 10});
  for (int i = 0; CountDaimyoBusyo(clanA) < kVassalScan; ++i) {
    if (DaimyoTable[clanA].vassals[i] != kNoBusyo) continue;
    const int g = General("兵", kNoSiro, 1, 0, 10);
    DaimyoTable[clanA].vassals[i] = static_cast<uint16_t>(g);
    BusyoTable[g].siro = GetDaimyoKakuuSiro(clanA);
  }
  ASSERT_GT(CountDaimyoFreeSlots(clanA), 0) << "room in the winner's castles";
  Rosters();
  g_Battle.siroLevel = 0;
  g_Battle.outcome = 1;
  BusyoTable[def[1]].kizuna = 0;
  BusyoTable[def[1]].loyalty = 16;
  ScriptedDraws draws({99, 17});  // the vassal stays (99), then passes the surrender test (17 > 16)
  BattleResults();
  EXPECT_TRUE(boxes.boxes.empty()) << (boxes.boxes.empty() ? "" : boxes.boxes.front().text);
  EXPECT_EQ(SiroTable[target].owner, clanA);
  EXPECT_NE(GetBusyoDaimyo(def[1]), clanA);
  EXPECT_EQ(BusyoTable[def[1]].siro, kNoSiro) << "he took his life, as one who does not surrender";
  EXPECT_EQ(CountDaimyoBusyo(clanA), kVassalScan);
  ExpectClean();
}

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
