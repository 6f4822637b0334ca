// The season turn: income, upkeep and debt, ranks, growth, new generals, gun rates, the calendar
// and the per-season recomputations.
#include <cstring>
#include <vector>

#include "turn_fixture.h"
#include "world/turn/season_turn.h"

namespace {

class SeasonTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    BuildSmallWorld();
  }
  // Runs one step routine to its end (bounded); true when it finished.
  template <typename F>
  bool RunRoutine(F routine, int maxFrames = 5000) {
    StepReset();
    for (int i = 0; i < maxFrames; ++i) {
      g_FrameWaitCounter.store(0);
      StepSetDepth(0);
      StepPush();
      routine();
      if (StepPop()) return true;
    }
    return false;
  }
  void SetThreshold(int32_t t) {
    uint8_t sys[kSystemTableBytes] = {};
    std::memcpy(sys, &t, 4);
    SetWorldSystemTable(sys, sizeof sys);
  }
  // A general of the scenario's spare records who has not come forward yet.
  int Newcomer(int year, int kuni, int clan = kNoDaimyo) {
    int g = w.Busyo("新参", kNoSiro);
    BusyoTable[g].siro = kNoSiro;
    BusyoTable[g].appearYear = static_cast<uint8_t>(year);
    BusyoTable[g].appearKuni = static_cast<uint8_t>(kuni);
    BusyoTable[g].appearDaimyo = static_cast<uint8_t>(clan);
    BusyoTable[g].patron = kNoBusyo;
    return g;
  }
};

TEST_F(SeasonTest, IncomeEverySeasonWithTheHarvestInSeasonTwo) {
  struct Case {
    int season, money, want;
  };
  // Country A (both castles the player's): town 300 gives 30 a season, land 500 adds 500 in
  // season 2; money stops at 65000.
  const Case cases[] = {{0, 100, 130}, {1, 100, 130}, {2, 100, 630}, {3, 0, 30}, {2, 64900, 65000}, {0, 65000, 65000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.season * 100000 + c.money);
    SeasonIndex = static_cast<uint8_t>(c.season);
    DaimyoTable[player].money = static_cast<uint16_t>(c.money);
    PayIncome();
    EXPECT_EQ(DaimyoTable[player].money, c.want);
  }
  EXPECT_EQ(g_TurnWork.season.income, 30);
}

TEST_F(SeasonTest, UpkeepByRank) {
  struct Case {
    int rank, revenue, want;
  };
  // S = 20 + 30 (stat 4), H = 10/2 + 20/2 = 15, L = 2 + 2, P = prestige 5 x revenue / 50.
  const Case cases[] = {
      {0, 1000, 25 + 4 + 100},  // S/2 + L + P
      {1, 1000, 25 + 4 + 100},
      {2, 1000, 8 + 7 + 50 + 100},            // 2L + H/2 + S + P
      {3, 1000, 7 + 12 + 50 + 100},           // H/2 + 3L + S + P
      {3, 2500, 7 + 12 + 50 + 250 + 7},       // revenue above 2000: H/2 more
      {3, 3500, 7 + 12 + 50 + 350 + 7 + 25},  // above 3000: S/2 more as well
  };
  BusyoTable[pHead].cur.stat[3] = 20;
  BusyoTable[pGen].cur.stat[3] = 30;
  BusyoTable[pHead].soldiers = 10;
  BusyoTable[pGen].soldiers = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rank * 10000 + c.revenue);
    DaimyoTable[player].rank = static_cast<uint8_t>(c.rank);
    DaimyoTable[player].prestige = 5;
    DaimyoTable[player].revenue = static_cast<uint16_t>(c.revenue);
    EXPECT_EQ(DaimyoUpkeep(player), c.want);
  }
}

TEST_F(SeasonTest, DebtIsPaidInStagesAndAnUnpaidRestIsDropped) {
  struct Case {
    const char* name;
    int stat4Head, stat4Gen;  // U = L (3 + 2) + S / 2 at rank 0 without prestige
    int wantMoney;
    int wantLevel0, wantLevel1, wantSoldiersHead, wantSoldiersGen, wantLoyaltyGen;
  };
  const Case cases[] = {
      {"castles then soldiers", 8, 0, 0, 1, 1, 6, 8, 10},     // 9: levels pay 6, soldiers 3
      {"a castle overpays", 0, 0, 1, 1, 1, 10, 10, 10},       // 5: three levels pay 6
      {"nothing left: dropped", 100, 100, 0, 1, 1, 2, 2, 1},  // 105: every stage runs dry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SiroTable[0].level = 3;
    SiroTable[1].level = 2;
    SiroTable[2].level = 1;
    for (int g : {pHead, pGen}) {
      BusyoTable[g].soldiers = 10;
      BusyoTable[g].guns = 10;
      BusyoTable[g].loyalty = 10;
    }
    BusyoTable[pHead].cur.stat[3] = static_cast<uint8_t>(c.stat4Head);
    BusyoTable[pGen].cur.stat[3] = static_cast<uint8_t>(c.stat4Gen);
    DaimyoTable[player].rank = 0;
    DaimyoTable[player].prestige = 0;
    DaimyoTable[player].money = 0;
    DaimyoTable[enemy].money = 60000;
    SeasonIndex = 2;
    ASSERT_TRUE(RunRoutine(RunUpkeep));
    EXPECT_EQ(g_TurnWork.season.upkeep, 5 + (c.stat4Head + c.stat4Gen) / 2);
    EXPECT_EQ(DaimyoTable[player].money, c.wantMoney);
    EXPECT_EQ(SiroTable[0].level, c.wantLevel0);
    EXPECT_EQ(SiroTable[1].level, c.wantLevel1);
    EXPECT_EQ(BusyoTable[pHead].soldiers, c.wantSoldiersHead);
    EXPECT_EQ(BusyoTable[pGen].soldiers, c.wantSoldiersGen);
    EXPECT_LE(BusyoTable[pGen].guns, BusyoTable[pGen].soldiers);
    EXPECT_EQ(BusyoTable[pGen].loyalty, c.wantLoyaltyGen);
  }
  // A bonded general's fixed loyalty is never spent.
  BusyoTable[pGen].kizuna = 1;
  BusyoTable[pGen].loyalty = 255;
  DaimyoTable[player].money = 0;
  ASSERT_TRUE(RunRoutine(RunUpkeep));
  EXPECT_EQ(BusyoTable[pGen].loyalty, 255);
  // Other seasons pay no upkeep.
  SeasonIndex = 1;
  DaimyoTable[player].money = 500;
  ASSERT_TRUE(RunRoutine(RunUpkeep));
  EXPECT_EQ(DaimyoTable[player].money, 500);
  EXPECT_EQ(g_TurnWork.season.upkeep, 0);
}

TEST_F(SeasonTest, RankRisesFromZeroToThreeInOnePass) {
  DaimyoTable[player].rank = 0;
  DaimyoTable[player].prestige = 7;
  DaimyoTable[player].revenue = 1000;
  ASSERT_TRUE(RunRoutine(UpdateDaimyoRank));
  EXPECT_EQ(DaimyoTable[player].rank, 3);
  EXPECT_EQ(DaimyoTable[player].prestige, 9);
  EXPECT_TRUE(scene.SaidSomething(std::string(GetDaimyoName(player, true)) + "は小大名になりました"));
  EXPECT_TRUE(scene.SaidSomething(std::string(GetDaimyoName(player, true)) + "は戦国大名になりました"));
  // The enemy holds 57 per cent of its country: rank 1, no prestige.
  EXPECT_EQ(DaimyoTable[enemy].rank, 1);
  EXPECT_EQ(DaimyoTable[enemy].prestige, 0);
  // Prestige stops at 20.
  DaimyoTable[player].rank = 1;
  DaimyoTable[player].prestige = 20;
  ASSERT_TRUE(RunRoutine(UpdateDaimyoRank));
  EXPECT_EQ(DaimyoTable[player].prestige, 20);
}

TEST_F(SeasonTest, GeneralsGrowPastTheThreshold) {
  SetThreshold(100);
  BusyoRecord& g = BusyoTable[pGen];
  g.stage = 1;
  g.progress = 150;
  g.stageBlock[1] = {{50, 51, 52, 53}, {1, 2, 3, 4}};
  g.growthMark = 1;
  BusyoRecord& e = BusyoTable[eGen];
  e.stage = 1;
  e.progress = 500;
  e.stageBlock[1] = {{0, 9, 9, 9}, {0, 0, 0, 0}};  // no next stage
  scene.dialogSlots[2] = {-1, 2};                  // dialog 16 closes on its second look
  ASSERT_TRUE(RunRoutine(RunGrowBusyo));
  EXPECT_EQ(g.stage, 2);
  EXPECT_EQ(g.progress, 50);
  EXPECT_EQ(g.cur.stat[0], 50);
  EXPECT_EQ(g.cur.skill[3], 4);
  EXPECT_EQ(g.grownWord, 1);
  EXPECT_EQ(g.growthMark, 0);
  EXPECT_EQ(e.stage, 1);
  EXPECT_EQ(e.progress, 500);
  EXPECT_EQ(scene.listA, std::vector<int>{pGen});
  ASSERT_EQ(scene.dialogs.size(), 1u);
  EXPECT_EQ(scene.dialogs[0].first, 16);
  EXPECT_EQ(scene.openDialog, -1);
}

TEST_F(SeasonTest, NewGeneralsComeForwardFromTheirYearAndPlace) {
  ScopedGameRandOverride zeros([] { return 0; });  // every chance succeeds, first castle picked
  const int early = Newcomer(50, kuniA);
  GameYear = 1549;
  ASSERT_TRUE(RunRoutine(RunBusyoAppearance));
  EXPECT_EQ(BusyoTable[early].siro, kNoSiro);
  // From 1550 on he comes forward at castle 0, the player's: offered through dialog 20.
  GameYear = 1550;
  scene.sceneResults = {19};  // declined
  ASSERT_TRUE(RunRoutine(RunBusyoAppearance));
  EXPECT_EQ(scene.dialogs.back(), std::make_pair(20, early));
  EXPECT_EQ(BusyoTable[early].siro, kNoSiro);
  EXPECT_EQ(BusyoTable[early].appearYear, 255);  // declined for good
  // Accepted: he joins the player's clan in the fictional castle.
  const int later = Newcomer(50, kuniA);
  scene.sceneResults = {18};
  ASSERT_TRUE(RunRoutine(RunBusyoAppearance));
  EXPECT_EQ(BusyoTable[later].siro, KakuuSiroId);
  EXPECT_EQ(GetBusyoDaimyo(later), player);
  EXPECT_EQ(std::string(scene.messages.back()), "");
  ExpectClean();
}

TEST_F(SeasonTest, LargeAiClansTakeOnlyStrongNewcomers) {
  ScopedGameRandOverride zeros([] { return 0; });
  // 31 generals in the enemy's slots.
  for (int i = 0, added = 0; added < 29 && i < kVassalScan; ++i)
    if (DaimyoTable[enemy].vassals[i] == kNoBusyo) {
      DaimyoTable[enemy].vassals[i] = static_cast<uint16_t>(w.Busyo("臣", kNoSiro));
      BusyoTable[DaimyoTable[enemy].vassals[i]].appearYear = 255;
      ++added;
    }
  ASSERT_EQ(CountDaimyoBusyo(enemy), 31);
  GameYear = 1560;
  const int weak = Newcomer(50, kuniB);
  BusyoTable[weak].cur.stat[0] = 29;
  BusyoTable[weak].cur.stat[2] = 29;
  ASSERT_TRUE(RunRoutine(RunBusyoAppearance));
  EXPECT_EQ(BusyoTable[weak].siro, kNoSiro);
  EXPECT_EQ(BusyoTable[weak].appearYear, 50);  // keeps his year
  BusyoTable[weak].cur.stat[2] = 30;
  ASSERT_TRUE(RunRoutine(RunBusyoAppearance));
  EXPECT_EQ(BusyoTable[weak].siro, 2);
  EXPECT_EQ(GetBusyoDaimyo(weak), enemy);
  EXPECT_TRUE(scene.SaidSomething(std::string(GetSiroName(2, false)) + "城に" + GetBusyoName(weak) + "が登場しました"));
}

TEST_F(SeasonTest, GunRatesFollowTheYearAndTheForeignPorts) {
  struct Case {
    int year;
    bool port;
    int rate;
  };
  const Case cases[] = {{1550, false, 5}, {1575, false, 3}, {1599, false, 1}, {1600, false, 1},
                        {1555, true, 4},  {1599, true, 1},  {1540, false, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year * 10 + c.port);
    GameYear = static_cast<uint16_t>(c.year);
    KuniTable[36].holder = c.port ? static_cast<uint8_t>(player) : kNoDaimyo;
    RecalcGunRates();
    EXPECT_EQ(DaimyoTable[player].gunRate, c.rate);
    EXPECT_EQ(DaimyoTable[player].gunsPerPurchase, 6 - c.rate);
  }
}

TEST_F(SeasonTest, CalendarAndAutoRunLimit) {
  struct Case {
    int season, year, turn;
    bool autoRun;
    int limit;
    int wantSeason, wantYear;
    bool wantAutoRun;
  };
  const Case cases[] = {
      {0, 1560, 4, false, 0, 1, 1560, false}, {3, 1560, 7, false, 0, 0, 1561, false},
      {2, 1560, 9, true, 5, 3, 1560, true},   // past the limit, but the year goes on
      {3, 1560, 9, true, 5, 0, 1561, false},  // stops at the year change
      {3, 1560, 3, true, 5, 0, 1561, true},   // limit not reached
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.season * 1000 + c.turn);
    SeasonIndex = static_cast<uint8_t>(c.season);
    GameYear = static_cast<uint16_t>(c.year);
    TurnCounter = static_cast<uint16_t>(c.turn);
    SetAutoRun(c.autoRun);
    AutoRunLastTurn = static_cast<uint16_t>(c.limit);
    AnnounceTurn();
    EXPECT_EQ(TurnCounter, c.turn + 1);
    EXPECT_EQ(SeasonIndex, c.wantSeason);
    EXPECT_EQ(GameYear, c.wantYear);
    EXPECT_EQ(IsAutoRun(), c.wantAutoRun);
  }
  SetAutoRun(false);
}

TEST_F(SeasonTest, CommandPointsAndRecruitBasesNeverWrap) {
  BusyoTable[pHead].cur.stat[2] = 50;  // 10 + rank 0 bonus 1 = 11; cap 14
  struct Case {
    int cp, want;
  };
  for (const Case& c : {Case{0, 11}, Case{5, 14}, Case{250, 14}}) {
    DaimyoTable[player].rank = 0;
    DaimyoTable[player].cp = static_cast<uint8_t>(c.cp);
    RecalcCommandPoints();
    EXPECT_EQ(DaimyoTable[player].cp, c.want) << c.cp;
  }
  ScopedGameRandOverride zeros([] { return 0; });
  KuniTable[kuniA].land = 60000;  // (0 + 30) x 60000 / 1000 = 1800: held at 255
  KuniTable[kuniA].mood = 100;
  KuniTable[kuniB].land = 1000;  // 30
  KuniTable[kuniB].mood = 50;
  RecalcRecruitBases();
  EXPECT_EQ(KuniTable[kuniA].recruitBase, 255);
  EXPECT_EQ(KuniTable[kuniB].recruitBase, 15);
}

TEST_F(SeasonTest, WholeSeasonKeepsTheWorldClean) {
  SeasonIndex = 1;  // the season turn makes it 2: harvest and upkeep
  ASSERT_TRUE(RunRoutine(RunSeasonTurn));
  EXPECT_EQ(SeasonIndex, 2);
  EXPECT_TRUE(scene.SaidSomething("今期の収入は " + std::to_string(g_TurnWork.season.income) + " でした\n支出は " +
                                  std::to_string(g_TurnWork.season.upkeep) + " でした"));
  EXPECT_GT(g_TurnWork.season.income, 500);
  ExpectClean();
}

}  // namespace
