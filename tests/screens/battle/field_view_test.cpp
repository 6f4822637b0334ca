// Tables of the battle field view: lane positions, backgrounds, unit model and motion numbers,
// castle numbers and camera cell presets.
#include <gtest/gtest.h>

#include <string>

#include "screens/battle/field_view.h"

namespace {

TEST(KassenFieldView, LanePositions) {
  struct Case {
    int size, lane, column;
    float across, along;
  };
  const FieldPoint cur{-1.0f, -2.0f};
  for (Case c :
       {Case{2, 1, 0, 0.0f, 0.0f},                                     // five lanes: no offset
        Case{0, 1, 0, 410.1f, 0.0f},                                   // two lanes: offset 410.1
        Case{1, 2, 3, 546.8f, -474.6f},                                // three lanes: offset 273.4
        Case{2, 4, 7, 820.2f, -1107.4f}, Case{2, 5, 8, -1.0f, -2.0f},  // lane 5 and column 8 keep the coordinates
        Case{0, 0, -1, -1.0f, -2.0f}}) {
    FieldPoint p = KassenFieldPosition(c.size, c.lane, c.column, cur);
    EXPECT_NEAR(p.across, c.across, 1e-3) << c.size << " " << c.lane;
    EXPECT_NEAR(p.along, c.along, 1e-3) << c.column;
  }
}

TEST(KassenFieldView, Backgrounds) {
  struct Case {
    int r;
    bool road, siro;
    int weather, want;
  };
  for (Case c : {Case{7, true, true, 0, 201}, Case{6, true, false, 1, 202}, Case{5, false, true, 0, 101},
                 Case{4, false, true, 2, 102}, Case{6, false, false, 0, 2}, Case{99, false, false, 1, 7},
                 Case{3, false, false, 2, 7}})
    EXPECT_EQ(KassenBackgroundId(c.r, c.road, c.siro, c.weather), c.want) << c.r;
}

TEST(KassenFieldView, UnitModelsAndMotions) {
  struct Case {
    int kind;
    bool gun, road, player, charge;
    int model, motion;
  };
  for (Case c : {Case{1, false, false, true, false, 400, 2}, Case{1, false, false, false, true, 401, 3},
                 Case{3, false, false, true, true, 402, 5}, Case{2, false, false, true, false, 404, 0},
                 Case{1, false, true, true, true, 404, 1}, Case{3, true, false, false, false, 407, 6}}) {
    EXPECT_EQ(KassenUnitModelId(c.kind, c.gun, c.road, c.player), c.model) << c.kind;
    EXPECT_EQ(KassenUnitMotionId(c.kind, c.gun, c.road, c.charge), c.motion) << c.kind;
  }
}

TEST(KassenFieldView, CastlesAndCellPresets) {
  EXPECT_EQ(KassenCastleNumber(9, true, false), 0);
  EXPECT_EQ(KassenCastleNumber(10, true, false), 1);
  EXPECT_EQ(KassenCastleNumber(25, false, false), 5);
  EXPECT_EQ(KassenCastleNumber(25, false, true), 105);
  // A burning castle is the same castle as its number - 100.
  EXPECT_EQ(std::string(KassenCastleTexture(104)), KassenCastleTexture(4));
  EXPECT_EQ(std::string(KassenCastleTexture(2)), "shiro_b.dds");
  int lane = 0, column = 0;
  ASSERT_TRUE(KassenCellPreset(13, lane, column));
  EXPECT_EQ(lane, 1);
  EXPECT_EQ(column, 0);
  ASSERT_TRUE(KassenCellPreset(30, lane, column));
  EXPECT_EQ(lane, 3);
  EXPECT_EQ(column, 1);
  ASSERT_TRUE(KassenCellPreset(54, lane, column));
  EXPECT_EQ(lane, 6);
  EXPECT_EQ(column, 7);
  EXPECT_FALSE(KassenCellPreset(55, lane, column));
  EXPECT_FALSE(KassenCellPreset(12, lane, column));
}

}  // namespace
