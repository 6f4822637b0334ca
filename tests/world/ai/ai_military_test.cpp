#include <gtest/gtest.h>

#include "tests/world/ai/ai_test_support.h"
#include "world/ai/ai_common.h"
#include "world/ai/ai_military.h"
#include "world/ai/ai_entry.h"

namespace {

TEST(KuniDefencePower, SpecialCountriesRegionsAndNegativeSums) {
  WorldBuilder w;
  for (int i = 0; i < 36; ++i) w.Kuni("国");
  struct Case {
    int kuni, region, land, level, soldiers, expected;
  };
  // P = ((1000 - land) / 10 + 2 x level (halved in 35) + garrison) / 20, then the factors.
  const Case cases[] = {
      {1, 1, 0, 10, 40, 8},       // (100 + 20 + 40) / 20
      {2, 0, 0, 10, 40, 12},      // region 0: x 3 / 2
      {35, 1, 0, 10, 40, 7},      // levels halved: (100 + 10 + 40) / 20
      {33, 1, 0, 0, 0, 2},        // 5 / 2
      {24, 8, 0, 0, 0, 8},        // region 8 then country 24: 5 x 3 / 2 = 7, x 5 / 4 = 8
      {3, 1, 3000, 0, 0, 65000},  // a negative sum counts as the maximum
      {4, 1, 1995, 0, 0, 65000},  // -99 / 10 truncates toward zero to -9: still negative
      {5, 1, 1000, 1, 19, 1},     // (0 + 2 + 19) / 20
  };
  int clan = w.Clan("杉原");
  for (const Case& c : cases) {
    KuniTable[c.kuni].region = static_cast<uint8_t>(c.region);
    KuniTable[c.kuni].land = static_cast<uint16_t>(c.land);
    if (c.level || c.soldiers) {
      int s = w.Siro(c.kuni, "城", clan, c.level);
      AddVassal(w, clan, s, c.soldiers);
    }
  }
  for (const Case& c : cases) EXPECT_EQ(GetKuniDefencePower(c.kuni), c.expected) << "country " << c.kuni;
}

// Clan 1 (not the player) holds castle a in country 0 with two generals; country 0 has a second
// castle of another clan so that recruiting has somewhere to go.
class AiMilitaryTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    k0 = w.Kuni("尾張");
    a = w.Siro(k0, "鷹山", 1, 3);
    w.Clan("霧島");
    clan = w.Clan("杉原");
    head = w.Busyo("杉原 義久", a);
    w.Head(clan, head);
    vassal = w.Busyo("桐沢 景勝", a);
    w.Place();
    PlayerDaimyoId = 0;
    DaimyoRecord& d = DaimyoTable[clan];
    d.revenue = 100;
    d.rank = 2;
    d.cp = 3;
    d.money = 1000;
    d.gunRate = 2;
    KuniTable[k0].land = 1000;
    KuniTable[k0].landLimit = 2000;
    KuniTable[k0].mood = 60;
    KuniTable[k0].recruitBase = 20;
    BusyoTable[head].soldiers = 30;
    BusyoTable[vassal].soldiers = 30;
    ExpectClean();
  }
  WorldBuilder w;
  int k0, a, clan, head, vassal;
};

TEST_F(AiMilitaryTest, NothingChangesWithoutVassalsOrMoney) {
  int lonely = w.Clan("無人");
  DaimyoTable[lonely].money = 500;
  DaimyoTable[lonely].cp = 5;
  ScriptedDraws draws({}, 0);
  AiMilitaryThink(lonely);
  EXPECT_EQ(DaimyoTable[lonely].money, 500);
  EXPECT_EQ(DaimyoTable[lonely].cp, 5);

  DaimyoTable[clan].money = 1;  // half of it is nothing
  AiMilitaryThink(clan);
  EXPECT_EQ(DaimyoTable[clan].money, 1);
  EXPECT_EQ(DaimyoTable[clan].cp, 3);
  EXPECT_EQ(BusyoTable[head].guns, 0);
  EXPECT_EQ(draws.Count(), 0);
}

TEST_F(AiMilitaryTest, WithoutCommandPointsTheSetAsideMoneyComesBack) {
  DaimyoTable[clan].cp = 0;
  ScriptedDraws draws({}, 0);
  AiMilitaryThink(clan);
  EXPECT_EQ(DaimyoTable[clan].money, 1000);
  EXPECT_EQ(KuniTable[k0].land, 1000);
}

TEST_F(AiMilitaryTest, AtTheSoldierTargetNobodyIsRecruitedButGunsAreBought) {
  // Target 100 x 0.3 = 30 soldiers; the clan has 60.
  ScriptedDraws draws({}, 0);
  AiMilitaryThink(clan);
  EXPECT_EQ(KuniTable[k0].land, 1000);
  EXPECT_EQ(BusyoTable[head].soldiers + BusyoTable[vassal].soldiers, 60);
  int guns = BusyoTable[head].guns + BusyoTable[vassal].guns;
  EXPECT_GT(guns, 0);
  EXPECT_LE(guns, 4);  // 6 - gun rate 2
  EXPECT_EQ(DaimyoTable[clan].cp, 1);
  EXPECT_EQ(DaimyoTable[clan].money, 1000 - 2 * 2 * guns);
}

TEST_F(AiMilitaryTest, GunRateSixOrAboveTheCommandPointsBuysNoGuns) {
  for (int rate : {6, 4}) {
    DaimyoTable[clan].gunRate = static_cast<uint8_t>(rate);
    DaimyoTable[clan].cp = 3;
    DaimyoTable[clan].money = 1000;
    ScriptedDraws draws({}, 0);
    AiMilitaryThink(clan);
    EXPECT_EQ(BusyoTable[head].guns + BusyoTable[vassal].guns, 0) << "rate " << rate;
    EXPECT_EQ(DaimyoTable[clan].cp, 3) << "rate " << rate;
    EXPECT_EQ(DaimyoTable[clan].money, 1000) << "rate " << rate;
  }
}

TEST_F(AiMilitaryTest, ARankZeroClanFarBelowItsTargetRecruitsInAtMostItsCommandPointsCountries) {
  // Five more countries wholly held by the clan; soldiers far below a tenth of the koku.
  int more[5];
  for (int& k : more) {
    k = w.Kuni("国");
    int s = w.Siro(k, "城", clan, 1);
    (void)s;
    KuniTable[k].land = 1000;
    KuniTable[k].landLimit = 2000;
    KuniTable[k].mood = 60;
    KuniTable[k].recruitBase = 20;
  }
  ExpectClean();
  DaimyoRecord& d = DaimyoTable[clan];
  d.rank = 0;
  d.revenue = 6000;
  d.gunRate = 5;
  BusyoTable[head].soldiers = 1;
  BusyoTable[vassal].soldiers = 1;
  ScriptedDraws draws({}, 0);
  AiMilitaryThink(clan);
  int hit = 0;
  for (int k : more) hit += KuniTable[k].land < 1000;
  hit += KuniTable[k0].land < 1000;
  EXPECT_EQ(hit, 3);  // k 4 bounded by 3 command points
  EXPECT_EQ(d.cp, 0);
  EXPECT_GT(BusyoTable[head].soldiers + BusyoTable[vassal].soldiers, 2);
  EXPECT_LE(BusyoTable[head].soldiers, 50);
  EXPECT_LE(BusyoTable[vassal].soldiers, 50);
  ExpectClean();
}

TEST_F(AiMilitaryTest, FrontierCountriesOfEqualStrengthAreOrderedByACoinFlip) {
  // Two neighbouring countries, each with one castle of clan 2 and the same garrison.
  int ky = w.Kuni("美濃");
  int y = w.Siro(ky, "岐阜", 2, 2);
  int kz = w.Kuni("伊勢");
  int z = w.Siro(kz, "長島", 2, 2);
  w.Road(a, y);
  w.Road(a, z);
  int other = w.Clan("北条");
  (void)other;
  AddVassal(w, 2, y, 10);
  AddVassal(w, 2, z, 10);
  KuniTable[ky].land = KuniTable[kz].land = 500;
  ExpectClean();
  for (int draw : {0, 99}) {
    ScriptedDraws draws({}, draw);
    AiChooseMilitaryTargets(clan);
    EXPECT_EQ(draws.Count(), 1);
    uint8_t first = draw < 50 ? static_cast<uint8_t>(kz) : static_cast<uint8_t>(ky);
    uint8_t second = draw < 50 ? static_cast<uint8_t>(ky) : static_cast<uint8_t>(kz);
    EXPECT_EQ(DaimyoTable[clan].targets[0], first) << "draw " << draw;
    EXPECT_EQ(DaimyoTable[clan].targets[1], second) << "draw " << draw;
    EXPECT_EQ(DaimyoTable[clan].targets[2], kNoKuni);
    EXPECT_EQ(KuniTable[ky].frontier, 1);
  }
}

TEST_F(AiMilitaryTest, ABoxedInClanDropsItsSmallestAlly) {
  int kb = w.Kuni("美濃");
  int b = w.Siro(kb, "岐阜", 2, 2);
  int kc = w.Kuni("伊勢");
  int c = w.Siro(kc, "長島", 3, 2);
  w.Road(a, b);
  w.Road(a, c);
  w.Clan("北条");
  w.Clan("武田");
  DaimyoRecord& d = DaimyoTable[clan];
  d.allies[0] = 2;
  d.allyStanding[0] = 10;
  d.allies[1] = 3;
  d.allyStanding[1] = 10;
  DaimyoTable[2].revenue = 900;
  DaimyoTable[3].revenue = 400;
  ScriptedDraws draws({}, 0);
  AiChooseMilitaryTargets(clan);
  EXPECT_EQ(d.allyStanding[0], 10);
  EXPECT_EQ(d.allyStanding[1], 255);
  EXPECT_EQ(d.targets[0], kNoKuni);
}

}  // namespace
