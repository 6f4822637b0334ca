// Golden values of the command prices and yields, with the float rule of the world and the
// mended ranges (levy and applicants saturate, the gun price never reaches 0, no hire limit
// below 0).
#include <gtest/gtest.h>

#include "command_fixture.h"

namespace {

using CommandCostTest = CommandTest;

TEST_F(CommandCostTest, YieldFormulasGiveTheWorkedResults) {
  struct Case {
    const char* name;
    int got, want;
  };
  const Case cases[] = {
      // 2 x (25 / 5) x 2 = 20, skill 30: 20 x 1.3 gives 25, not 26.
      {"flood control with skill 30", FloodControlGain(25, 1, 30), 25},
      {"flood control without skill", FloodControlGain(25, 1, 0), 20},
      {"flood control, stat 4", FloodControlGain(4, 0, 0), 1},
      {"flood control, stat 0", FloodControlGain(0, 1, 50), 0},
      {"free markets, stat 50, town 300, draw 0", FreeMarketGain(50, 300, 0, 0), 30},
      {"free markets, draw 1 doubles", FreeMarketGain(50, 300, 1, 0), 60},
      {"free markets, stat 4", FreeMarketGain(4, 300, 0, 0), 2},
      // (5 x 100 + 2 x 300) x 0.25 x 100 / 1000 = 27
      {"levy, low draw", LevyAmount(100, 300, 0), 27},
      // a figure of 300 saturates instead of wrapping to 44
      {"levy figure 300", LevyAmount(800, 0, 200), 255},
      // 5120 x 0.25 x 200 / 1000 = 256 would wrap to 0: it saturates too
      {"levy figure 256", LevyAmount(1024, 0, 100), 255},
      {"levy figure 128", LevyAmount(1024, 0, 0), 128},
      {"levy of an empty country", LevyAmount(0, 0, 200), 0},
      // (20 - 10) x (50 + 50) / 100 = 10; skill 50 halves it
      {"levy mood drop", LevyMoodDrop(10, 50, 0), 10},
      {"levy mood drop with skill 50", LevyMoodDrop(10, 50, 50), 5},
      {"recruit mood drop 60 x 10 x 3 / 1000", RecruitMoodDrop(60, 10, 1000), 1},
      {"recruit mood drop on value 0", RecruitMoodDrop(60, 10, 0), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST_F(CommandCostTest, PricesAndCapsFollowRankSkillAndStat) {
  DaimyoRecord& p = DaimyoTable[player];
  // Gun price: base 2 x gun rate; a skill-25 general in the country takes (100 - p) %.
  p.gunRate = 5;
  EXPECT_EQ(GetGunPrice(kuniA), 10);
  BusyoTable[pGen].cur.skill[0] = 1;
  SkillTable[0].effects[6] = {25, 10};
  EXPECT_EQ(GetGunPrice(kuniA), 8);   // 10 x 0.9 gives 8, not 9
  EXPECT_EQ(GetGunPrice(kuniB), 10);  // the skilled general is not there
  SkillTable[0].effects[6] = {25, 100};
  EXPECT_EQ(GetGunPrice(kuniA), 1);  // never free
  SkillTable[0].effects[6] = {0, 0};

  // Recruit ratio by rank and koku.
  p.rank = 3;
  p.revenue = 5000;
  EXPECT_FLOAT_EQ(GetRecruitRatio(player), 0.25f);
  p.revenue = 12000;
  EXPECT_FLOAT_EQ(GetRecruitRatio(player), 0.2f);
  p.rank = 1;
  EXPECT_FLOAT_EQ(GetRecruitRatio(player), 0.35f);
  p.rank = 2;
  EXPECT_FLOAT_EQ(GetRecruitRatio(player), 0.3f);
  // Hire limit: koku x ratio - soldiers, never below 0.
  p.revenue = 1000;
  p.soldiers = 100;
  EXPECT_EQ(GetHireLimit(player), 200);
  p.soldiers = 400;
  EXPECT_EQ(GetHireLimit(player), 0);

  // Applicants: base x share / 100, never the 255 sentinel.
  KuniTable[kuniA].recruitBase = 200;
  KuniTable[kuniA].playerShare = 50;
  EXPECT_EQ(GetKuniApplicants(kuniA), 100);
  KuniTable[kuniA].recruitBase = 255;
  KuniTable[kuniA].playerShare = 100;
  SkillTable[0].effects[6] = {26, 50};
  uint16_t who = 0;
  EXPECT_EQ(GetKuniApplicants(kuniA, &who), 254);
  EXPECT_EQ(who, pGen);
  SkillTable[0].effects[6] = {0, 0};

  // Castle works: (20 - min(s, 16) / 5 + n) x (n + 3) / 8; the stat is capped before the division.
  BusyoTable[pGen].cur.stat[2] = 16;
  const int at16 = SiroWorkCost(pGen, 1);
  BusyoTable[pGen].cur.stat[2] = 90;
  EXPECT_EQ(SiroWorkCost(pGen, 1), at16);
  EXPECT_EQ(at16, 8);                    // (20 - 3.2 + 1) x 4 x 0.125 = 8.9
  EXPECT_EQ(SiroWorkCost(pGen, 3), 14);  // 19.8 x 6 x 0.125 = 14.85
  // Level cap: min(sqrt(koku) x 0.5 + 5, maximum level).
  SiroTable[0].maxLevel = 30;
  p.revenue = 400;
  EXPECT_EQ(GetSiroLevelCap(player, 0), 15);
  SiroTable[0].maxLevel = 9;
  EXPECT_EQ(GetSiroLevelCap(player, 0), 9);

  // Moving, information, reward.
  EXPECT_EQ(MoveCostPerBusyo(0), 1);
  EXPECT_EQ(MoveCostPerBusyo(1), 1);
  EXPECT_EQ(MoveCostPerBusyo(2), 3);
  EXPECT_EQ(MoveCostPerBusyo(3), 5);
  EXPECT_EQ(GetInfoCost(1), 0);
  EXPECT_EQ(GetInfoCost(2), 10);
  EXPECT_EQ(GetInfoCost(3), 20);
  EXPECT_EQ(GetRewardCost(0), 5);
  EXPECT_EQ(GetRewardCost(1), 15);
  EXPECT_EQ(GetRewardCost(2), 0);
  p.money = 15;
  EXPECT_FALSE(IsCommandCostAffordable(1));
  EXPECT_TRUE(IsCommandCostAffordable(0));
  EXPECT_EQ(GetVisitCpCost(0), 1);
  EXPECT_EQ(GetVisitCpCost(1), 0);
}

}  // namespace
