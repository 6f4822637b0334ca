#include "battle_fixture.h"

namespace {

// Side 0 in lane 0 faces side 1 in lane 0; both sides at their starting morale (ratio 100, so the
// morale-ratio multiplier draws nothing).
struct Duel {
  explicit Duel(int ownCol, int enemyCol, int guns = 10) : f(2) {
    f.Unit(0, 0, ownCol, 10, 20, guns, 100);
    f.Unit(1, 0, enemyCol, 20, 20, 0, 80).kind = 2;
    f.Start();
  }
  BattleUnit& own() { return g_Battle.sides[0].units[0]; }
  BattleUnit& enemy() { return g_Battle.sides[1].units[0]; }
  FieldBuilder f;
};

TEST(BattleCombat, GoldenGuns) {
  Duel d(2, 4);
  // base 100 x 194 x 10 x 10; B = base / 10 x 100 x 2 / 10000 x 100 / 100 = 3880.
  // L = ((10 + 25) x 3880 x 2 / 100 + 3880) / 3000 = 2; K = ((40 + 25) x 3880 x 2 / 100 + 3880) / 200 = 44.
  ScriptedDraws draws({10, 40});
  UnitAction(0, 0, kOrderGuns);
  EXPECT_EQ(d.enemy().soldiers, 18);
  EXPECT_EQ(d.enemy().morale, 80 - 44);
  EXPECT_EQ(d.enemy().hitMarks & 4, 4);
  EXPECT_EQ(d.own().reload, 2);
  EXPECT_EQ(d.own().actionMarks & 4, 4);
  EXPECT_EQ(g_Battle.slots[0][0].display, 3);
  EXPECT_EQ(draws.used(), 2u);
}

TEST(BattleCombat, GunsAtDistanceOneDealLessThanAtTwoAndNothingFromSeven) {
  int lossAt[8] = {};
  for (int dist : {1, 2, 7}) {
    Duel d(0, dist);
    d.enemy().soldiers = 50;
    d.own().soldiers = 50;
    d.own().guns = 50;
    ScriptedDraws draws({49, 49});
    UnitAction(0, 0, kOrderGuns);
    lossAt[dist] = 50 - d.enemy().soldiers;
  }
  EXPECT_LT(lossAt[1], lossAt[2]);
  EXPECT_EQ(lossAt[7], 0);
}

TEST(BattleCombat, GoldenAttackUsesTheKindTable) {
  Duel d(3, 4, 4);
  g_BattleConfig.params[20 + 1 * 4 + 2] = 120;  // no road: second table, kind 1 on kind 2
  // base = 100 x 10 x 16 / 10 x 100 x 100 / 10000 = 1600; B = 1920.
  // L = (25 x 1920 x 2 / 100 + 1920) / 1500 = 1; K = (74 x 1920 x 2 / 100 + 1920) / (20 x 8) = 29.
  ScriptedDraws draws({0, 49});
  UnitAction(0, 0, kOrderAttackFirst + 1);
  EXPECT_EQ(d.enemy().soldiers, 19);
  EXPECT_EQ(d.enemy().morale, 80 - 29);
  EXPECT_EQ(d.enemy().hitMarks & 1, 1);
  EXPECT_EQ(g_Battle.sides[0].marker, 0);
  EXPECT_EQ(g_Battle.slots[0][0].display, 2);
  // With a road to the castle the first table is read.
  Duel r(3, 4, 4);
  g_Battle.roadLinked = 1;
  g_BattleConfig.params[1 * 4 + 2] = 50;
  ScriptedDraws again({0, 49});
  UnitAction(0, 0, kOrderAttackFirst + 1);
  EXPECT_EQ(r.enemy().soldiers, 20 - 0);  // B = 800: L = 1200 / 1500 = 0
}

TEST(BattleCombat, GoldenCharge) {
  Duel d(3, 4, 4);
  // c = 3 + 1; B = 1600: L = (25 x 1600 x 2 / 100 + 1600) / 1200 = 2;
  // K = (74 x 1600 x 2 / 100 + 1600) / (18 x 6) = 36, on the soldiers left.
  ScriptedDraws draws({3, 0, 49});
  UnitAction(0, 0, kOrderChargeFirst + 1);
  EXPECT_EQ(d.enemy().soldiers, 18);
  EXPECT_EQ(d.enemy().morale, 80 - 36);
  EXPECT_EQ(d.enemy().hitMarks & 2, 2);
  EXPECT_EQ(d.own().morale, 96);
  EXPECT_EQ(g_Battle.slots[0][0].display, 4);
}

TEST(BattleCombat, HitsNeverEmptyAUnitAndAChargeLeavesOneMorale) {
  Duel d(3, 4, 0);
  d.own().soldiers = 255;
  d.own().morale = 2;
  d.enemy().soldiers = 1;
  d.enemy().morale = 3;
  ScriptedDraws draws({4, 49, 49});
  UnitAction(0, 0, kOrderChargeFirst + 1);
  EXPECT_EQ(d.enemy().soldiers, 1);
  EXPECT_EQ(d.enemy().morale, 0);
  EXPECT_EQ(d.own().morale, 1);
  // A huge attack factor does not overflow into a small loss.
  Duel big(3, 4, 0);
  big.own().soldiers = 255;
  big.own().morale = 255;
  big.own().damagePct = 30000;
  g_Battle.sides[1].morale = 1;  // enemy ratio 1: attack factor (99/4 + 100)
  ScriptedDraws more({49, 49});
  UnitAction(0, 0, kOrderAttackFirst + 1);
  EXPECT_EQ(big.enemy().soldiers, 1);
  EXPECT_EQ(big.enemy().morale, 0);
}

TEST(BattleCombat, MovesStayOnTheField) {
  struct Case {
    int side, col, order, expected;
  };
  const Case cases[] = {
      {0, 3, kOrderAdvance, 4},  {0, 3, kOrderFallBack, 2}, {1, 3, kOrderAdvance, 2},
      {0, 0, kOrderFallBack, 0}, {1, 7, kOrderFallBack, 7}, {1, 0, kOrderAdvance, 0},
  };
  for (const Case& c : cases) {
    FieldBuilder f(2);
    f.Unit(c.side, 1, c.col, 10, 20, 0, 50);
    f.Start();
    UnitAction(c.side, 0, c.order);
    EXPECT_EQ(SlotColumn(c.side, 1), c.expected) << c.side << " " << c.col << " " << c.order;
  }
}

TEST(BattleCombat, ExposureAndRecoveryAtRoundEnd) {
  const int display[] = {0, 3, 1, 4, 5};
  const int exposure[] = {8, 9, 10, 11, 10};
  for (int i = 0; i < 5; ++i) {
    FieldBuilder f(2);
    f.Unit(0, 0, 1, 10, 20, 0, 50).maxMorale = 100;
    f.Start();
    g_Battle.slots[0][0].display = static_cast<uint8_t>(display[i]);
    ScriptedDraws draws({9});
    RoundEnd();
    const BattleUnit& u = g_Battle.sides[0].units[0];
    EXPECT_EQ(u.exposure, exposure[i]) << display[i];
    int gain = display[i] == 0 ? 20 : display[i] == 5 ? 10 : 0;
    EXPECT_EQ(u.morale, 50 + gain) << display[i];
  }
  // Recovery never passes the highest morale; with the castle flag it is halved.
  FieldBuilder f(2);
  f.Unit(0, 0, 1, 10, 20, 0, 50).maxMorale = 55;
  f.Start();
  g_Battle.slots[0][0].display = 0;
  ScriptedDraws draws({9});
  RoundEnd();
  EXPECT_EQ(g_Battle.sides[0].units[0].morale, 55);
  FieldBuilder h(2);
  h.Unit(0, 0, 1, 10, 20, 0, 50).maxMorale = 100;
  h.Start();
  g_Battle.siroFlag = 1;
  g_Battle.slots[0][0].display = 0;
  ScriptedDraws more({9});
  RoundEnd();
  EXPECT_EQ(g_Battle.sides[0].units[0].morale, 60);
}

TEST(BattleCombat, ARoutedSideLosesSoldiersTwice) {
  for (int status : {2, 3}) {
    FieldBuilder f(2);
    f.Unit(0, 0, 1, 10, 20, 0, 50);
    f.Unit(1, 0, 6, 20, 20, 0, 50);
    f.Start();
    g_Battle.sides[0].status = static_cast<uint8_t>(status);
    ScriptedDraws draws({});
    FinishBattleRounds();
    EXPECT_EQ(g_Battle.sides[0].units[0].soldiers, status == 3 ? 17 : 18) << status;
    EXPECT_EQ(g_Battle.sides[0].status, 2);
    EXPECT_EQ(g_Battle.sides[1].units[0].soldiers, 20);
  }
}

TEST(BattleCombat, BreakThroughAndRout) {
  FieldBuilder f(2);
  f.Unit(0, 0, 6, 10, 20, 0, 50);
  f.Unit(1, 1, 3, 20, 20, 0, 50);
  BattleUnit& weak = f.Unit(1, 0, 4, 21, 20, 0, 50);
  f.Start();
  // Advancing to column 7 breaks through the other side.
  UnitTurn(0, 0, kOrderAdvance);
  EXPECT_EQ(g_Battle.sides[1].status, 4);
  (void)weak;
  // A unit without morale leaves its lane; the commander's flight routs his side.
  FieldBuilder g(2);
  g.Unit(0, 0, 2, 10, 20, 0, 50);
  g.Unit(1, 0, 5, 20, 20, 0, 0);
  g.Unit(1, 1, 5, 21, 20, 0, 0).commander = 1;
  g.Start();
  UnitTurn(0, 0, kOrderNothing);
  EXPECT_EQ(g_Battle.slots[1][0].unit, 255);
  EXPECT_EQ(g_Battle.slots[1][0].display, 10);
  EXPECT_EQ(g_Battle.sides[1].status, 3);
}

TEST(BattleCombat, TheAttackerRetreatsAfterRoundTwenty) {
  FieldBuilder f(2);
  f.Unit(0, 0, 0, 10, 20, 0, 50);
  f.Unit(1, 0, 7, 20, 20, 0, 50);
  f.Start();
  BeginBattleRounds();
  EXPECT_FALSE(BattleRoundStep());
  EXPECT_EQ(g_Battle.round, 2);
  g_Battle.round = 20;
  EXPECT_TRUE(BattleRoundStep());
  EXPECT_EQ(g_Battle.round, 21);
  EXPECT_EQ(g_Battle.sides[0].status, 2);
  EXPECT_EQ(g_Battle.sides[1].status, 0);
}

TEST(BattleCombat, TheDetachedUnitIsSentOnceAndStrikesOnce) {
  for (int weather : {0, 2}) {
    FieldBuilder f(2, weather);
    f.Unit(0, 0, 3, 10, 20, 0, 100).commander = 1;
    f.Unit(0, 1, 3, 11, 20, 0, 100);
    f.Unit(0, -1, 0, 12, 20, 0, 100);  // reserve, willing
    f.Unit(1, 0, 4, 20, 20, 0, 100);
    f.Unit(1, 1, 4, 21, 20, 0, 100);
    f.Start();
    ScriptedDraws draws({});
    int order = BattleAiOrder(0, 0);
    if (weather == 2) {
      EXPECT_NE(order, kOrderDetach) << "never in fog";
      UnitAction(0, 0, kOrderDetach);
      EXPECT_EQ(g_Battle.sides[0].countdown, 0xFFFF);
      continue;
    }
    ASSERT_EQ(order, kOrderDetach);
    UnitAction(0, 0, kOrderDetach);
    const BattleSide& s = g_Battle.sides[0];
    EXPECT_EQ(s.countdown, 2);
    EXPECT_EQ(g_Battle.slots[0][2].unit, 2);
    EXPECT_EQ(g_Battle.slots[0][2].column, 0);
    EXPECT_EQ(s.units[2].lane, 2);
    EXPECT_EQ(g_Battle.views[0][2].status, 7);
    EXPECT_NE(BattleAiOrder(0, 0), kOrderDetach) << "only once";
    CountdownRound();
    CountdownRound();
    EXPECT_EQ(s.countdown, 0);
    uint8_t before = g_Battle.sides[1].units[0].morale;
    UnitAction(0, 0, kOrderAttackDetFirst + 1);
    EXPECT_EQ(s.countdown, 0xFFFE);
    EXPECT_EQ(g_Battle.sides[1].units[0].hitMarks & 9, 9);
    EXPECT_EQ(s.units[2].actionMarks & 9, 9);
    EXPECT_LT(g_Battle.sides[1].units[0].morale, before);
    CountdownRound();
    EXPECT_EQ(s.countdown, 0xFFFE);
  }
}

// ---- Skills ----

struct SkillCase {
  int pos, cond, condValue, trigger, chance, timing, timingRound, duration, durationValue, target, effect, value;
};

void PutSkill(int number, const SkillCase& c) {
  SkillRecord& r = SkillTable[number - 1];
  std::memset(&r, 0, sizeof r);
  r.effects[0].kind = static_cast<uint16_t>(c.pos);
  r.effects[1] = {static_cast<uint16_t>(c.cond), static_cast<uint16_t>(c.condValue)};
  r.effects[2] = {static_cast<uint16_t>(c.trigger), static_cast<uint16_t>(c.chance)};
  r.effects[3] = {static_cast<uint16_t>(c.timing), static_cast<uint16_t>(c.timingRound)};
  r.effects[4] = {static_cast<uint16_t>(c.duration), static_cast<uint16_t>(c.durationValue)};
  r.effects[5].kind = static_cast<uint16_t>(c.target);
  r.effects[6] = {static_cast<uint16_t>(c.effect), static_cast<uint16_t>(static_cast<int16_t>(c.value))};
}

TEST(BattleSkills, TriggersTargetsAndEffects) {
  FieldBuilder f(3, 1);
  BattleUnit& a = f.Unit(0, 0, 1, 10, 20, 5, 60);
  f.Unit(0, 1, 1, 11, 20, 5, 90);
  f.Unit(1, 0, 6, 20, 20, 5, 70);
  f.Unit(1, 1, 6, 21, 20, 9, 40);
  f.Start();
  // Round 1, rain: raise the defence of every own unit; lower the morale of the enemy's weakest.
  PutSkill(1, {1, 4, 0, 1, 0, 2, 0, 2, 3, 4, 4, 15});
  PutSkill(2, {1, 1, 0, 2, 50, 3, 0, 1, 0, 18, 7, 10});
  a.skills[0] = 1;
  a.skills[1] = 2;
  ScriptedDraws draws({49});  // chance 50 exceeds the draw 49
  SkillPhase();
  EXPECT_EQ(g_Battle.sides[0].units[0].defencePct, 15);
  EXPECT_EQ(g_Battle.sides[0].units[1].defencePct, 15);
  EXPECT_EQ(g_Battle.sides[0].units[0].skillCount[0], 3);
  EXPECT_EQ(g_Battle.sides[1].units[1].morale, 30);
  EXPECT_EQ(g_Battle.sides[1].units[0].morale, 70);
  // The next round the running skills count down and apply again; the chance skill runs on.
  g_Battle.round = 2;
  SkillPhase();
  EXPECT_EQ(g_Battle.sides[0].units[0].skillCount[0], 2);
  EXPECT_EQ(g_Battle.sides[0].units[1].defencePct, 15);
  EXPECT_EQ(g_Battle.sides[1].units[1].morale, 20);
  // Siege effects are not allowed in the field, nor field effects in the siege.
  EXPECT_FALSE(SkillEffectAllowed(8));
  g_Battle.fieldBattle = 0;
  EXPECT_TRUE(SkillEffectAllowed(8));
  EXPECT_FALSE(SkillEffectAllowed(3));
}

TEST(BattleSkills, TargetKindsPickTheFirstOnTies) {
  FieldBuilder f(3);
  f.Unit(0, 0, 1, 10, 20, 5, 60);
  f.Unit(0, 1, 1, 11, 20, 5, 90).commander = 1;
  f.Unit(1, 0, 6, 20, 20, 7, 70).kind = 3;
  f.Unit(1, 1, 6, 21, 20, 7, 70);
  f.Unit(1, 2, 6, 22, 20, 2, 70);
  f.Unit(1, -1, 0, 23, 20, 0, 70);  // reserve units never count
  f.Start();
  struct Case {
    int kind;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {2, {0}},  {3, {1}},  {4, {0, 1}}, {8, {1}},   {9, {0}}, {13, {8, 9, 10}}, {15, {8}},
      {17, {8}}, {18, {8}}, {21, {8}},   {22, {10}}, {23, {}}, {24, {8}},
  };
  for (const Case& c : cases) {
    int out[12];
    int n = SkillTargets(0, 0, c.kind, out);
    EXPECT_EQ(std::vector<int>(out, out + n), c.expected) << c.kind;
  }
}

}  // namespace
