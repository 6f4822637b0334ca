// The battle screen's panel logic: which unit each duel panel shows, the lane a hovered target
// command points at, the duel panels' entry animations, and the display mode's change through the
// cover.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "battle/battle_state.h"
#include "screens/battle/scene_kassen.h"
#include "world/world_tables.h"

namespace {

TEST(KassenDuelPanels, ThePlayersUnitIsAlwaysFirst) {
  struct Case {
    int actor, target;
    bool playersActor;
    KassenDuel want;
  };
  for (Case c : {Case{2, 8, true, {2, 8, 0}},     // the player acts: as given
                 Case{8, 2, false, {2, 8, 1}},    // the enemy acts: swapped, direction reversed
                 Case{9, -1, false, {-1, 9, 1}},  // an enemy without a target still goes second
                 Case{3, -1, true, {3, -1, 0}}, Case{-1, -1, false, {-1, -1, 0}}}) {
    const KassenDuel d = KassenDuelOf(c.actor, c.target, c.playersActor);
    EXPECT_EQ(d.first, c.want.first) << c.actor << " " << c.target;
    EXPECT_EQ(d.second, c.want.second) << c.actor << " " << c.target;
    EXPECT_EQ(d.direction, c.want.direction) << c.actor << " " << c.target;
  }
  // The acting unit's panel comes in from its edge, the other's from below.
  EXPECT_EQ(KassenDuelEntryAnime(0, 0), 1);
  EXPECT_EQ(KassenDuelEntryAnime(0, 1), 2);
  EXPECT_EQ(KassenDuelEntryAnime(1, 0), 2);
  EXPECT_EQ(KassenDuelEntryAnime(1, 1), 1);
}

TEST(KassenDuelPanels, HoveredTargetLane) {
  struct Case {
    int lane, command, facing, want;
  };
  for (Case c : {Case{2, 27, 1, 1}, Case{2, 30, 1, 1}, Case{2, 33, 1, 1}, Case{2, 36, 1, 1},  // left wing
                 Case{2, 29, 1, 3}, Case{2, 32, 1, 3}, Case{2, 35, 1, 3}, Case{2, 38, 1, 3},  // right wing
                 Case{2, 27, -1, 3}, Case{2, 29, -1, 1},                   // the other side faces the other way
                 Case{2, 28, 1, 2}, Case{2, 34, 1, 2}, Case{2, -1, 1, 2},  // the front, or nothing hovered
                 Case{0, 27, 1, -1}}) {                                    // off the field: the caller shows none
    EXPECT_EQ(KassenHoverLane(c.lane, c.command, c.facing), c.want) << c.lane << " " << c.command << " " << c.facing;
  }
}

using A = KassenDisplayModes::Action;

TEST(KassenDisplayModeChange, TheCoverTakesThreeStagesOneCheckAFrame) {
  KassenDisplayModes m;
  EXPECT_EQ(m.Request(0, true), A::kApply) << "the formation shows at once";
  EXPECT_EQ(m.Mode(), 0);
  EXPECT_FALSE(m.Pending());
  for (int mode : {1, 2, 3}) {
    SCOPED_TRACE(mode);
    const int before = m.Mode();
    EXPECT_EQ(m.Request(mode), A::kOpenCover);
    EXPECT_TRUE(m.Pending());
    EXPECT_EQ(m.Wanted(), mode);
    EXPECT_EQ(m.Mode(), before) << "the old panels stay until the cover has closed in";
    EXPECT_EQ(m.Step(true), A::kNothing) << "the cover is still closing in";
    EXPECT_EQ(m.Step(false), A::kBuild);
    EXPECT_EQ(m.Mode(), mode);
    EXPECT_EQ(m.Previous(), before);
    EXPECT_TRUE(m.Pending()) << "the cover still opens out";
    EXPECT_EQ(m.Step(false), A::kCloseCover) << "one stage a frame, even when nothing plays";
    EXPECT_FALSE(m.Pending());
    EXPECT_EQ(m.Step(false), A::kNothing);
  }
  EXPECT_EQ(m.Request(4), A::kApply) << "mode 4 needs no cover";
  EXPECT_EQ(m.Request(5), A::kNothing) << "no mode above 4";
  EXPECT_EQ(m.Mode(), 4);
  EXPECT_EQ(m.Request(4), A::kNothing) << "the same mode again does nothing";
  EXPECT_EQ(m.Request(4, true), A::kApply) << "unless forced";
}

TEST(KassenDisplayModeChange, ARequestDuringAChangeWaitsForIt) {
  KassenDisplayModes m;
  m.Request(0, true);
  ASSERT_EQ(m.Request(1), A::kOpenCover);
  EXPECT_EQ(m.Request(2), A::kNothing) << "queued behind the running change";
  EXPECT_EQ(m.Request(0), A::kNothing);
  EXPECT_EQ(m.Wanted(), 0) << "the latest request wins";
  EXPECT_EQ(m.Step(false), A::kBuild);
  EXPECT_EQ(m.Mode(), 1) << "the running change is never cut short";
  EXPECT_EQ(m.Step(true), A::kNothing);
  EXPECT_EQ(m.Step(false), A::kCloseCover);
  EXPECT_TRUE(m.Pending()) << "the queued request still counts as a change";
  EXPECT_EQ(m.Step(false), A::kApply);
  EXPECT_EQ(m.Mode(), 0);
  EXPECT_FALSE(m.Pending());
}

// A copy the deployment made to fill a lane reads as its general's detachment wherever the screen
// names units; under the order icons every unit shows its family name alone.
TEST(KassenUnitNames, ACopyReadsAsADetachment) {
  g_Battle = BattleState();
  const BusyoRecord saved = BusyoTable[5];
  std::memset(BusyoTable[5].name, 0, sizeof BusyoTable[5].name);
  std::strcpy(BusyoTable[5].name, "高木 貞晴");
  BattleUnit& own = g_Battle.sides[0].units[0];
  BattleUnit& copy = g_Battle.sides[0].units[1];
  own.general = copy.general = 5;
  copy.copyMark = 16;
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(0, 0)), "高木 貞晴");
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(0, 1)), "高木分隊");
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(0, 0, true)), "高木");
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(0, 1, true)), "高木分隊");
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(0, 2)), "") << "no general";
  EXPECT_EQ(std::string(CVSceneKassen::UnitName(2, 0)), "") << "no such side";
  BusyoTable[5] = saved;
  g_Battle = BattleState();
}

}  // namespace
