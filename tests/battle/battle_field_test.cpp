#include <cstring>

#include "battle_fixture.h"

namespace {

TEST(BattleRecords, LayoutOfTheSaveBlock) {
  ResetBattle();
  std::vector<int32_t> widths;
  static std::vector<int32_t>* sink;
  sink = &widths;
  BattleRegisterFields([](void*, int32_t size) { sink->push_back(size); }, false);
  EXPECT_EQ(widths, (std::vector<int32_t>{1, 2, 1, 1, 1, 1, 1032, 32}));
  int32_t sum = 0;
  for (int32_t w : widths) sum += w;
  EXPECT_EQ(sum, kBattleSaveBytes);
}

TEST(BattleRecords, SaveBlockRoundTripsEveryByte) {
  FieldBuilder f(3);
  g_Battle.mode = 1;
  g_Battle.targetSiro = 0x1234;
  g_Battle.siroLevel = 17;
  g_Battle.weather = 2;
  BattleUnit& u = f.Unit(0, 1, 2, 77, 30, 9, 120);
  u.pendingMorale = -5;
  u.copyMark = 16;
  g_Battle.sides[1].assaultBonus = -3;
  g_Battle.sides[1].countdown = 0xFFFE;
  uint8_t bytes[kBattleSaveBytes];
  BattleSaveToBytes(bytes);
  // Fixed offsets inside the block: the general of side 0 unit 0 follows the seven state bytes.
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 0x34);
  EXPECT_EQ(bytes[2], 0x12);
  EXPECT_EQ(bytes[7] | bytes[8] << 8, 77);
  EXPECT_EQ(bytes[7 + 2], 30);
  EXPECT_EQ(bytes[7 + 516 + 512] | bytes[7 + 516 + 513] << 8, 0xFFFE);
  EXPECT_EQ(bytes[7 + 1032], g_Battle.slots[0][0].unit);
  ResetBattle();
  ASSERT_TRUE(BattleSaveFromBytes(bytes, sizeof bytes));
  uint8_t again[kBattleSaveBytes];
  BattleSaveToBytes(again);
  EXPECT_EQ(0, std::memcmp(bytes, again, sizeof bytes));
  EXPECT_EQ(g_Battle.sides[0].units[0].pendingMorale, -5);
  EXPECT_FALSE(BattleSaveFromBytes(bytes, sizeof bytes - 1));
}

TEST(BattleField, DistanceFactorKeepsTheLowByteOfThePercent) {
  const int expected[] = {0, 88, 194, 68, 218, 131, 59, 0, 0};
  for (int d = 0; d <= 8; ++d) EXPECT_EQ(DistanceFactor(d), expected[d]) << d;
  EXPECT_EQ(DistanceFactor(-1), 0);
  EXPECT_LT(DistanceFactor(1), DistanceFactor(2));
}

TEST(BattleField, AdjacencyTests) {
  struct Case {
    const char* name;
    int weather;
    int ownCol, enemyLane, enemyCol;
    bool ahead, behind, next, two, aheadBehind, aheadNext;
  };
  // Side 0 unit in lane 1 of 3; facing +1, so lane - facing is 0 and lane + facing is 2.
  const Case cases[] = {
      {"ahead", 0, 3, 1, 4, true, false, false, false, false, false},
      {"two ahead", 0, 3, 1, 5, false, false, false, true, false, false},
      {"two ahead in fog", 2, 3, 1, 5, false, false, false, false, false, false},
      {"behind lane same column", 0, 3, 0, 3, false, true, false, false, false, false},
      {"next lane same column", 0, 3, 2, 3, false, false, true, false, false, false},
      {"behind lane one ahead", 0, 3, 0, 4, false, false, false, false, true, false},
      {"next lane one ahead in fog", 2, 3, 2, 4, false, false, false, false, false, false},
      {"behind", 0, 3, 1, 2, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    FieldBuilder f(3, c.weather);
    f.Unit(0, 1, c.ownCol, 10, 20, 0, 50);
    f.Unit(1, c.enemyLane, c.enemyCol, 20, 20, 0, 50);
    EXPECT_EQ(EnemyAhead(0, 1), c.ahead) << c.name;
    EXPECT_EQ(EnemyBehindLane(0, 1), c.behind) << c.name;
    EXPECT_EQ(EnemyNextLane(0, 1), c.next) << c.name;
    EXPECT_EQ(EnemyTwoAhead(0, 1), c.two) << c.name;
    EXPECT_EQ(EnemyAheadBehindLane(0, 1), c.aheadBehind) << c.name;
    EXPECT_EQ(EnemyAheadNextLane(0, 1), c.aheadNext) << c.name;
  }
  // A side-1 unit at column 0 sees the edge as an enemy diagonally ahead; a field edge lane too.
  FieldBuilder f(2);
  f.Unit(1, 0, 0, 20, 20, 0, 50);
  EXPECT_TRUE(EnemyAheadBehindLane(1, 0));
  EXPECT_TRUE(EnemyAheadNextLane(1, 0));
  FieldBuilder g(2);
  g.Unit(1, 0, 3, 20, 20, 0, 50);
  EXPECT_FALSE(EnemyAheadNextLane(1, 0));
  // Friends within one column of the neighbouring lanes.
  FieldBuilder h(3);
  h.Unit(0, 1, 3, 10, 20, 0, 50);
  h.Unit(0, 0, 4, 11, 20, 0, 50);
  h.Unit(0, 2, 5, 12, 20, 0, 50);
  EXPECT_TRUE(FriendBehindLane(0, 1));
  EXPECT_FALSE(FriendNextLane(0, 1));
}

class StrengthTest : public BattleWorldTest {};

TEST_F(StrengthTest, UnitStrengthIsClippedAndHalvedAgainstTheFormerClan) {
  int g0 = General("甲", home, 10, 0, 0);
  int g150 = General("乙", home, 10, 0, 150);
  int g60 = General("丙", home, 10, 0, 60);
  BusyoTable[g60].contactDaimyo = static_cast<uint16_t>(clanD);
  FieldBuilder f(3);
  g_Battle.sides[1].clan = static_cast<uint8_t>(clanD);
  f.Unit(0, 0, 1, static_cast<uint16_t>(g0), 10, 0, 50);
  f.Unit(0, 1, 1, static_cast<uint16_t>(g150), 10, 0, 50);
  f.Unit(0, 2, 1, static_cast<uint16_t>(g60), 10, 0, 50);
  EXPECT_EQ(UnitStrength(0, 0), 1);
  EXPECT_EQ(UnitStrength(0, 1), 100);
  EXPECT_EQ(UnitStrength(0, 2), 30);
  g_Battle.sides[0].units[0].strengthMod = 20;
  EXPECT_EQ(UnitStrength(0, 0), 20);
  EXPECT_EQ(SlotStrength(1, 0), 0);
}

TEST(BattleField, MoraleCollapseAtFortyPercent) {
  struct Case {
    int own, enemy, draw;
    bool collapses;
  };
  // own ratio, enemy ratio (percent), the draw.
  const Case cases[] = {
      {41, 100, 0, false},                       // above 40 never collapses
      {40, 100, 14, true},                       // d = 30, chance 15
      {40, 100, 15, false}, {40, 71, 0, false},  // d = 1 < 2
      {40, 72, 0, true},                         // d = 2, chance 1
      {40, 72, 1, false},
  };
  for (const Case& c : cases) {
    FieldBuilder f(2);
    f.Unit(0, 0, 1, 10, 10, 0, 100);
    f.Unit(1, 0, 6, 20, 10, 0, 100);
    f.Start();
    g_Battle.sides[0].morale = static_cast<uint16_t>(c.own);
    g_Battle.sides[1].morale = static_cast<uint16_t>(c.enemy);
    ScriptedDraws draws({c.draw});
    EXPECT_EQ(MoraleCollapse(0), c.collapses) << c.own << " " << c.enemy << " draw " << c.draw;
  }
}

TEST(BattleField, SplitUnitsFillsLanes) {
  struct Case {
    const char* name;
    int lanes;
    std::vector<int> soldiers;
    std::vector<int> expected;  // soldiers of units 0..5 after the split
  };
  const Case cases[] = {
      {"two units on three lanes: the larger gets the remainder", 3, {10, 20}, {10, 10, 10, 0, 0, 0}},
      {"seven soldiers in three pieces", 3, {7}, {3, 2, 2, 0, 0, 0}},
      {"one-soldier units are not split", 3, {1, 1}, {1, 1, 0, 0, 0, 0}},
      {"a two-soldier unit on five lanes makes one copy only", 5, {2}, {1, 1, 0, 0, 0, 0}},
      {"full lanes: nothing", 2, {5, 6}, {5, 6, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    FieldBuilder f(c.lanes);
    for (size_t i = 0; i < c.soldiers.size(); ++i)
      f.Unit(0, -1, 0, static_cast<uint16_t>(10 + i), c.soldiers[i], c.soldiers[i] / 2, 50);
    SplitUnits();
    std::vector<int> got;
    for (const BattleUnit& u : g_Battle.sides[0].units) got.push_back(u.general == kNoUnitGeneral ? 0 : u.soldiers);
    EXPECT_EQ(got, c.expected) << c.name;
    for (const BattleUnit& u : g_Battle.sides[0].units) {
      if (u.general == kNoUnitGeneral) continue;
      EXPECT_GE(u.soldiers, 1) << c.name;
      EXPECT_LE(u.guns, u.soldiers) << c.name;
    }
  }
  // Copies: no skills, copy mark 16, not on the field and not the commander.
  FieldBuilder f(3);
  BattleUnit& src = f.Unit(0, -1, 0, 10, 9, 3, 50);
  src.skills[0] = 5;
  src.commander = 1;
  SplitUnits();
  const BattleUnit& copy = g_Battle.sides[0].units[1];
  EXPECT_EQ(copy.general, 10);
  EXPECT_EQ(copy.skills[0], 0);
  EXPECT_EQ(copy.copyMark, 16u);
  EXPECT_EQ(copy.onField, 0);
  EXPECT_EQ(copy.commander, 0);
  EXPECT_EQ(copy.pieces, 3);
  EXPECT_EQ(g_Battle.sides[0].units[0].pieces, 3);
  EXPECT_EQ(g_Battle.sides[0].units[0].guns + 2 * copy.guns, 3);
}

TEST(BattleField, MergeSameGeneralRestoresTheTotals) {
  FieldBuilder f(3);
  f.Unit(0, -1, 0, 10, 10, 4, 50);
  SplitUnits();
  g_Battle.sides[0].units[2].lost = 1;
  MergeSameGeneral();
  const BattleUnit& u = g_Battle.sides[0].units[0];
  EXPECT_EQ(u.lost, 1);
  EXPECT_EQ(u.soldiers, 0);  // a lost copy marks the whole unit lost
  EXPECT_EQ(g_Battle.sides[0].units[1].general, kNoUnitGeneral);
  FieldBuilder g(3);
  g.Unit(0, -1, 0, 10, 10, 4, 50);
  SplitUnits();
  MergeSameGeneral();
  EXPECT_EQ(g_Battle.sides[0].units[0].soldiers, 10);
  EXPECT_EQ(g_Battle.sides[0].units[0].guns, 4);
}

TEST(BattleField, PlacementSortsByLaneWithReservesLast) {
  FieldBuilder f(3);
  f.Unit(0, -1, 0, 10, 10, 0, 0);  // reserve, routed (morale 0)
  f.Unit(0, 2, 1, 11, 10, 0, 50);
  f.Unit(0, 0, 1, 12, 10, 0, 50);
  f.Unit(0, -1, 0, 13, 10, 0, 50);  // reserve
  f.Unit(0, 1, 2, 14, 10, 0, 50);
  RefreshBattlePlacement();
  const BattleSide& s = g_Battle.sides[0];
  EXPECT_EQ(s.units[0].general, 12);
  EXPECT_EQ(s.units[1].general, 14);
  EXPECT_EQ(s.units[2].general, 11);
  for (int lane = 0; lane < 3; ++lane) EXPECT_EQ(g_Battle.slots[0][lane].unit, lane);
  EXPECT_EQ(g_Battle.views[0][0].status, 2);
  EXPECT_EQ(g_Battle.views[0][2].status, 4);
  int routed = s.units[3].general == 10 ? 3 : 4;
  EXPECT_EQ(g_Battle.views[0][routed].status, 8);
  EXPECT_EQ(g_Battle.views[0][7 - routed].status, 1);
}

TEST(BattleField, OrderListsStrongestFirstAndDetachedLast) {
  FieldBuilder f(2);
  f.Unit(0, 0, 1, 10, 10, 0, 50).strengthMod = 30;
  f.Unit(0, 1, 1, 11, 10, 0, 50).strengthMod = 60;
  f.Unit(1, 0, 6, 20, 10, 0, 50).strengthMod = 45;
  BattleUnit& d = f.Unit(1, -1, 0, 21, 10, 0, 50);
  d.lane = 2;  // detached position (lane = lane count)
  g_Battle.slots[1][2] = {1, 7, 1, 0};
  f.Start();
  ASSERT_EQ(g_Battle.order.size(), 0u);
  BuildBattleOrder();
  ASSERT_EQ(g_Battle.order.size(), 4u);
  EXPECT_EQ(g_Battle.order[0].general, 11);
  EXPECT_EQ(g_Battle.order[1].general, 20);
  EXPECT_EQ(g_Battle.order[2].general, 10);
  EXPECT_TRUE(g_Battle.order[3].detached);
  g_Battle.views[0][1].acted = true;
  g_Battle.currentActor = 0;
  EXPECT_EQ(AdvanceActor(), 1);
}

TEST(BattleField, FormationColumnsStayOnTheField) {
  for (int size = 0; size < 3; ++size)
    for (int formation = 0; formation < 5; ++formation)
      for (int lane = 0; lane < 5; ++lane) {
        int c = FormationColumn(size, formation, lane);
        EXPECT_GE(c, 0);
        EXPECT_LE(c, 2);
      }
  EXPECT_EQ(FormationColumn(2, 1, 2), 2);
  EXPECT_EQ(FormationColumn(1, 3, 2), 0);
  EXPECT_EQ(FormationColumn(0, 4, 1), 2);
}

}  // namespace
