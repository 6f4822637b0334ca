#include "battle_fixture.h"

namespace {

// The castles of the world fixture without generals; the field is set by hand.
class BattleAiTest : public BattleWorldTest {
 protected:
  void Field(int lanes, int weather = 0) {
    FieldBuilder f(lanes, weather);
    g_Battle.targetSiro = static_cast<uint16_t>(target);
    g_Battle.sides[0].clan = static_cast<uint8_t>(clanA);
    g_Battle.sides[1].clan = static_cast<uint8_t>(clanD);
  }
  BattleUnit& Unit(int side, int lane, int column, int soldiers, int guns, int morale) {
    BattleSide& s = g_Battle.sides[side];
    int i = 0;
    while (s.units[i].general != kNoUnitGeneral) ++i;
    BattleUnit& u = s.units[i];
    u.general = u.firstGeneral = static_cast<uint16_t>(100 + side * 10 + i);
    u.kind = 1;
    u.soldiers = static_cast<uint8_t>(soldiers);
    u.guns = static_cast<uint8_t>(guns);
    u.morale = u.maxMorale = u.startMorale = static_cast<uint8_t>(morale);
    u.lost = 0;
    if (lane >= 0) {
      u.lane = static_cast<uint8_t>(lane);
      g_Battle.slots[side][lane] = {static_cast<uint8_t>(i), static_cast<uint8_t>(column), 255, 0};
    }
    return u;
  }
  void Start() {
    for (int side = 0; side < 2; ++side) {
      SideMoraleTotal(side);
      SideSoldierTotal(side);
      g_Battle.sides[side].startMorale = g_Battle.sides[side].morale;
    }
  }
};

TEST_F(BattleAiTest, GunScoreByWeatherRoundAndReload) {
  struct Case {
    const char* name;
    int weather, round, side, reload, effect1, effect5, expected;
  };
  // DistanceFactor(2) x morale 100 x guns 10 x attack factor 100 x 2 / 10000 = 3880.
  const Case cases[] = {
      {"clear", 0, 1, 0, 0, 0, 0, 3880},
      {"rain", 1, 1, 0, 0, 0, 0, 0},
      {"rain with the rain skill", 1, 1, 0, 0, 1, 0, 3880},
      {"fog halves", 2, 1, 0, 0, 0, 0, 1940},
      {"attacker after round fifteen", 0, 16, 0, 0, 0, 0, 0},
      {"attacker in round fifteen", 0, 15, 0, 0, 0, 0, 3880},
      {"defender after round fifteen", 0, 16, 1, 0, 0, 0, 3880},
      {"reloading", 0, 1, 0, 1, 0, 0, 0},
      {"reloading with the quick-load skill", 0, 1, 0, 1, 0, 1, 3880},
  };
  for (const Case& c : cases) {
    Field(2, c.weather);
    g_Battle.round = static_cast<uint8_t>(c.round);
    int own = c.side, enemy = Opposite(c.side);
    BattleUnit& u = Unit(own, 0, own == 0 ? 2 : 5, 20, 10, 100);
    Unit(enemy, 0, own == 0 ? 4 : 3, 20, 0, 80);
    Start();
    u.reload = static_cast<uint8_t>(c.reload);
    u.effect1 = static_cast<uint16_t>(c.effect1);
    u.effect5 = static_cast<uint8_t>(c.effect5);
    EXPECT_EQ(GunScore(own, 0), c.expected) << c.name;
  }
}

TEST_F(BattleAiTest, AttackAndChargeScores) {
  Field(2);
  Unit(0, 0, 3, 20, 10, 100);
  Unit(1, 0, 4, 20, 0, 80);
  Start();
  EXPECT_EQ(AttackScore(0, 0), 1000);  // 10 x 100 x 100 x 100 / 10000
  EXPECT_EQ(ChargeScore(0, 0), 1300);
  g_Battle.siroFlag = 1;
  EXPECT_EQ(ChargeScore(0, 0), 0);
  g_Battle.siroFlag = 0;
  g_Battle.sides[0].units[0].morale = 10;
  EXPECT_GT(AttackScore(0, 0), 0);
  EXPECT_EQ(ChargeScore(0, 0), 0);
  // An attack score of 10 gives a charge score of 13.
  Field(2);
  Unit(0, 0, 3, 2, 1, 20).damagePct = -50;
  Unit(1, 0, 4, 20, 0, 30);
  Start();
  EXPECT_EQ(AttackScore(0, 0), 10);
  EXPECT_EQ(ChargeScore(0, 0), 13);
  // Out of reach of every adjacency test: nothing.
  Field(2);
  Unit(0, 0, 1, 20, 10, 100);
  Unit(1, 0, 6, 20, 0, 80);
  Start();
  EXPECT_EQ(AttackScore(0, 0), 0);
  EXPECT_EQ(ChargeScore(0, 0), 0);
  // A very strong attack keeps the largest score.
  Field(2);
  Unit(0, 0, 3, 255, 0, 255).damagePct = 500;
  Unit(1, 0, 4, 20, 0, 80);
  Start();
  EXPECT_EQ(AttackScore(0, 0), 65535);
}

TEST_F(BattleAiTest, SideRetreatChoice) {
  struct Case {
    const char* name;
    int side, mode, ownSoldiers, enemySoldiers, refugeOwner, expected;
  };
  // Side 1 defends with clan D; the refuge is D's castle next to the target with six free pairs.
  const Case cases[] = {
      {"a strong defender keeps the default", 1, 0, 30, 10, 1, 99},
      {"a weak defender with room retreats", 1, 1, 4, 40, 1, 6},
      {"many soldiers against a small castle retreat", 1, 1, 45, 40, 1, 6},
      {"no room to withdraw: hold the castle", 1, 1, 4, 40, 0, 5},
      {"an attacker always withdraws", 0, 1, 4, 40, 1, 6},
      {"cut off with room: retreat", 1, 2, 4, 40, 1, 6},
  };
  for (const Case& c : cases) {
    Field(2);
    SiroTable[refuge].owner = static_cast<uint8_t>(c.refugeOwner == 1 ? clanD : clanP);
    Unit(c.side, 0, 1, c.ownSoldiers / 2, 0, 50);
    Unit(c.side, 1, 1, c.ownSoldiers - c.ownSoldiers / 2, 0, 50);
    Unit(Opposite(c.side), 0, 6, c.enemySoldiers, 0, 50);
    Start();
    ScriptedDraws draws({0, 0, 0});
    EXPECT_EQ(SideRetreatChoice(c.side, 99, c.mode), c.expected) << c.name;
  }
}

TEST_F(BattleAiTest, OrderChoice) {
  struct Setup {
    const char* name;
    int ownSide, ownLane, ownCol, ownMorale, ownMax, ownGuns;
    int enemyLane, enemyCol;
    int siroFlag;
    int expected;
  };
  // Three lanes; side 0 attacks (aggressive), side 1 defends.
  const Setup cases[] = {
      {"a weak defender at distance one falls back", 1, 1, 4, 20, 100, 0, 1, 3, 0, kOrderFallBack},
      {"a weak defender at its own end does nothing", 1, 1, 7, 20, 100, 0, 1, 6, 0, kOrderNothing},
      {"at the enemy's end with the enemy away: advance", 0, 1, 7, 100, 100, 0, 1, 4, 0, kOrderAdvance},
      {"guns when their score dominates", 0, 1, 2, 100, 100, 10, 1, 4, 0, kOrderGuns},
      {"a charge beats an attack on the lane behind", 0, 1, 3, 100, 100, 0, 0, 3, 0, kOrderChargeFirst},
      {"no charges under the castle flag: attack", 0, 1, 3, 100, 100, 0, 0, 3, 1, kOrderAttackFirst},
      {"the next lane", 0, 1, 3, 100, 100, 0, 2, 3, 1, kOrderAttackFirst + 2},
      {"the own lane", 0, 1, 3, 100, 100, 0, 1, 4, 1, kOrderAttackFirst + 1},
  };
  for (const Setup& c : cases) {
    Field(3);
    g_Battle.siroFlag = static_cast<uint8_t>(c.siroFlag);
    BattleUnit& u = Unit(c.ownSide, c.ownLane, c.ownCol, 20, c.ownGuns, c.ownMorale);
    u.maxMorale = static_cast<uint8_t>(c.ownMax);
    Unit(Opposite(c.ownSide), c.enemyLane, c.enemyCol, 20, 0, 80);
    Start();
    ScriptedDraws draws({0, 0, 0, 0});
    EXPECT_EQ(BattleAiOrder(c.ownSide, c.ownLane), c.expected) << c.name;
  }
}

TEST_F(BattleAiTest, WeakUnitSwapsWithAFresherReserve) {
  Field(2);
  Unit(1, 0, 4, 20, 0, 20).maxMorale = 100;
  Unit(1, 1, 6, 20, 0, 90);
  Unit(1, -1, 0, 20, 0, 80);  // reserve, index 2 = lane count
  Unit(0, 0, 3, 20, 0, 80);
  Start();
  RefreshBattlePlacement();
  ScriptedDraws draws({0, 0, 0, 0});
  EXPECT_FALSE(KeepPlace(1, 0));
  EXPECT_EQ(BattleAiOrder(1, 0), kOrderSwap);
  UnitAction(1, 0, kOrderSwap);
  EXPECT_EQ(g_Battle.sides[1].units[0].morale, 80);
  EXPECT_EQ(SlotColumn(1, 0), 5);  // the lane moved back one column
  EXPECT_EQ(g_Battle.sides[1].units[2].lane, kNoLane);
}

TEST_F(BattleAiTest, SideDecisionAtTheFieldEnd) {
  Field(2);
  SiroTable[refuge].owner = static_cast<uint8_t>(clanP);  // no room: the defender holds
  Unit(1, 0, 7, 20, 0, 15).maxMorale = 100;
  Unit(0, 0, 6, 20, 0, 60);
  Start();
  g_Battle.round = 17;
  ScriptedDraws draws({0, 0, 0});
  BattleAiSideDecision(1, 0);
  EXPECT_EQ(g_Battle.sides[1].status, 1);
  // From round 18 the side fights on.
  Field(2);
  Unit(1, 0, 7, 20, 0, 15).maxMorale = 100;
  Unit(0, 0, 6, 20, 0, 60);
  Start();
  g_Battle.round = 18;
  BattleAiSideDecision(1, 0);
  EXPECT_EQ(g_Battle.sides[1].status, 0);
}

}  // namespace
