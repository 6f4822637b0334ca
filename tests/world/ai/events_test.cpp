#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/debug_words.h"
#include "tests/world/ai/ai_test_support.h"
#include "world/ai/ai_common.h"
#include "world/ai/independents.h"
#include "world/ai/random_events.h"
#include "world/ai/ai_entry.h"

namespace {

bool Contains(const std::vector<std::string>& texts, const char* part) {
  for (const std::string& t : texts)
    if (t.find(part) != std::string::npos) return true;
  return false;
}

// Two countries of region 0: k0 with castles a (clan 1) and b (clan 1, the last id), k1 with
// castle c (clan 2) and castle f (independent). Clan 0 is the player.
class EventsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    k0 = w.Kuni("加賀");
    a = w.Siro(k0, "尾山", 1, 3);
    b = w.Siro(k0, "松任", 1, 9);
    k1 = w.Kuni("越中");
    c = w.Siro(k1, "富山", 2, 2);
    f = w.Siro(k1, "増山", kNoDaimyo, 2);
    w.Road(a, b);
    w.Road(b, c);
    w.Road(c, f);
    for (const char* n : {"霧島", "杉原", "北条"}) w.Clan(n);
    head1 = w.Busyo("杉原 義久", a);
    w.Head(1, head1);
    head2 = w.Busyo("北条 氏康", c);
    w.Head(2, head2);
    loner = w.Busyo("萩原 元忠", f);
    w.Place();
    PlayerDaimyoId = 0;
    for (int k : {k0, k1}) {
      KuniTable[k].land = 1000;
      KuniTable[k].landLimit = 2000;
      KuniTable[k].town = 100;
      KuniTable[k].townLimit = 200;
      KuniTable[k].mood = 50;
      KuniTable[k].region = 0;
    }
    KuniTable[k0].holder = 1;
    ResolveKuniNameTables();
    SetSlgScenePort(&scene);
    ExpectClean();
  }
  void Run(int season, std::vector<int> draws, int rest = 99) {
    SeasonIndex = static_cast<uint8_t>(season);
    ScriptedDraws d(std::move(draws), rest);
    ASSERT_GT(RunSteps([] { RunRandomEvents(); }), 0);
  }
  WorldBuilder w;
  ScriptedSlgScene scene;
  int k0, a, b, k1, c, f, head1, head2, loner;
};

TEST_F(EventsTest, APoorHarvestLastsIntoTheFamineSeasonAndClearsWithTheYear) {
  DaimyoTable[1].money = 3;
  // Season 2: harvest slot draws 0 (poor harvest), region 0 hit (0), other regions not (99).
  Run(2, {0, 0});
  EXPECT_EQ(KuniTable[k0].eventState, 6);
  EXPECT_EQ(KuniTable[k1].eventState, 6);
  EXPECT_TRUE(Contains(scene.messages, "東北地方が凶作です"));
  EXPECT_EQ(DaimyoTable[1].money, 0);  // the loss exceeds the money: it stops at 0
  // Season 3: the famine strikes a poor-harvest country (region 0: chance 50).
  Run(3, {0}, 99);
  EXPECT_TRUE(Contains(scene.messages, "加賀国が飢饉です"));
  EXPECT_FALSE(Contains(scene.messages, "越中国が飢饉です"));
  EXPECT_LT(KuniTable[k0].land, 1000);
  EXPECT_EQ(KuniTable[k0].eventState, 255);  // the famine's state ends with the season's events
  EXPECT_EQ(KuniTable[k1].eventState, 6);
  // Season 0: every state clears.
  Run(0, {});
  EXPECT_EQ(KuniTable[k0].eventState, 255);
  EXPECT_EQ(KuniTable[k1].eventState, 255);
  ExpectClean();
}

TEST_F(EventsTest, TheDebugMenuForcesTheSeasonEventInItsSeason) {
  // Every draw misses (99), so only the forced word makes an event happen.
  struct Case {
    uint8_t forced;
    int season;
    const char* message;  // nullptr: none of the four events happens
    uint8_t state;        // k0's event state after the run (255 cleared)
  } cases[] = {
      {0, 2, "東北地方が凶作です", 6},
      {1, 2, "東北地方が豊作です", 255},
      {2, 0, "国に疫病が発生しました", 255},
      {3, 1, "東北地方に旱魃の被害が出ています", 4},
      {3, 2, nullptr, 255},  // a drought only in its season
      {DebugWords::kNone, 2, nullptr, 255},
  };
  for (const Case& c : cases) {
    GetDebugWords().forcedSeasonEvent = c.forced;
    for (int k : {k0, k1}) KuniTable[k].eventState = 255;
    DaimyoTable[1].money = 1000;
    scene.messages.clear();
    Run(c.season, {}, 99);
    for (const char* m : {"凶作です", "豊作です", "疫病が発生しました", "旱魃の被害"}) {
      bool want = c.message && std::string(c.message).find(m) != std::string::npos;
      EXPECT_EQ(Contains(scene.messages, m), want) << int{c.forced} << " " << m;
    }
    if (c.message) {
      EXPECT_TRUE(Contains(scene.messages, c.message)) << int{c.forced};
    }
    if (c.forced != 2) {
      EXPECT_EQ(KuniTable[k0].eventState, c.state) << int{c.forced};
    }
  }
  GetDebugWords().forcedSeasonEvent = DebugWords::kNone;
}

TEST(RebellionTest, ARebellionNeverTakesTheCountrysLastCastle) {
  // Country 0 of clan 1: castle a (the head and a vassal), d (empty, level 2) and b (empty, level
  // 9, the last id). The rebel takes d, not the stronger b.
  v4test::RecordingBoxes boxes;
  SetErrorBoxPresenter(&boxes);
  WorldBuilder w;
  int k0 = w.Kuni("尾張");
  int a = w.Siro(k0, "鷹山", 1, 3);
  int d = w.Siro(k0, "鶴岡", 1, 2);
  int b = w.Siro(k0, "亀森", 1, 9);
  w.Road(a, d);
  w.Road(d, b);
  w.Clan("霧島");
  w.Clan("杉原");
  int head = w.Busyo("杉原 義久", a);
  w.Head(1, head);
  int rebel = w.Busyo("千森 政長", a);
  w.Place();
  PlayerDaimyoId = 0;
  KuniTable[k0].holder = 1;
  DaimyoTable[1].rank = 2;
  BusyoTable[rebel].loyalty = 1;
  ResolveKuniNameTables();
  ScriptedSlgScene scene;
  SetSlgScenePort(&scene);
  SeasonIndex = 1;
  // Misses for the disaster, drought, plague, envoy, submission and fortification draws; then the
  // rebellion: chance 5, the vassal, 20 above loyalty + 4, the coin.
  ScriptedDraws draws({99, 99, 99, 99, 99, 99, 0, 0, 19, 0}, 99);
  ASSERT_GT(RunSteps([] { RunRandomEvents(); }), 0);
  EXPECT_EQ(SiroTable[d].owner, kNoDaimyo);
  EXPECT_EQ(SiroTable[b].owner, 1);
  EXPECT_EQ(BusyoTable[rebel].siro, d);
  EXPECT_NE(FindForceSlot(kNoDaimyo, rebel), 0xFFFF);
  EXPECT_EQ(FindForceSlot(1, rebel), 0xFFFF);
  EXPECT_TRUE(Contains(scene.messages, "謀反"));
  std::vector<std::string> problems = CollectWorldProblems();
  EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
  SetSlgScenePort(nullptr);
  SetErrorBoxPresenter(nullptr);
}

TEST_F(EventsTest, ThePlagueSpreadsToNeighboursUnlessASkilledGeneralPreventsIt) {
  // k0 lists k1 twice among its neighbours: a country reached twice loses its values twice.
  KuniTable[k0].neighbours[1] = static_cast<uint8_t>(k1);
  BusyoTable[head1].soldiers = 10;
  // Misses for the disaster and drought; the plague strikes country 0; every later draw hits.
  Run(1, {99, 99, 0, 0}, 0);
  EXPECT_TRUE(Contains(scene.messages, "加賀国に疫病が発生しました"));
  EXPECT_TRUE(Contains(scene.messages, "越中国に伝染しました"));
  EXPECT_EQ(KuniTable[k0].land, 800);
  EXPECT_EQ(KuniTable[k1].land, 640);
  EXPECT_EQ(KuniTable[k0].eventState, 8);
  EXPECT_EQ(BusyoTable[head1].soldiers, 9);
  ExpectClean();

  // A general with the plague skill in the struck country stops it there.
  SkillTable[0].effects[6] = {23, 10};
  BusyoTable[head1].cur.skill[0] = 1;
  KuniTable[k0].land = KuniTable[k1].land = 1000;
  scene.messages.clear();
  Run(1, {99, 99, 0, 0}, 0);
  EXPECT_TRUE(Contains(scene.messages, "疫病を防ぐことが出来ました"));
  EXPECT_EQ(KuniTable[k0].land, 1000);
  EXPECT_EQ(KuniTable[k1].land, 1000);
  SkillTable[0].effects[6] = {0, 0};
}

TEST_F(EventsTest, TheEnvoyGrantsARankAndFortificationRaisesHeldCastles) {
  DaimyoRecord& d = DaimyoTable[1];
  d.rank = 2;
  d.prestige = 5;
  d.money = 1000;
  d.revenue = 100;
  SiroTable[a].maxLevel = 20;
  SiroTable[b].maxLevel = 10;
  // Misses for disaster, drought and plague; the envoy comes (20 in 100); no submission; the
  // fortification strikes clan 1.
  Run(1, {99, 99, 99, 0, 99, 0, 1}, 99);
  EXPECT_TRUE(Contains(scene.messages, "朝廷から特使が来ました"));
  EXPECT_TRUE(Contains(scene.messages, "加賀守護の官位を与えられました"));
  EXPECT_EQ(d.title, 1);
  EXPECT_EQ(d.money, 1000 - (10 * 5 + 100 / 20 + 50));
  EXPECT_EQ(d.prestige, 6);
  EXPECT_EQ(SiroTable[a].level, 5);
  EXPECT_EQ(SiroTable[b].level, 10);  // capped at its maximum
  EXPECT_EQ(SiroTable[c].level, 2);   // clan 2's castle is untouched
}

TEST_F(EventsTest, AnIndependentSubmitsToAClanCastleOfHisCountry) {
  DaimyoTable[2].rank = 2;
  int entry = FindForceSlot(kNoDaimyo, loner);
  ASSERT_NE(entry, 0xFFFF);
  // Misses for disaster, drought, plague and clan 2's envoy; submission in country 1 at castle c.
  Run(1, {99, 99, 99, 99, 1, 0, 0}, 99);
  EXPECT_TRUE(Contains(scene.messages, "に臣従しました"));
  EXPECT_EQ(DokuBusyoList[entry], kNoBusyo);
  EXPECT_NE(FindForceSlot(2, loner), 0xFFFF);
  EXPECT_EQ(BusyoTable[loner].siro, c);
  EXPECT_EQ(SiroTable[f].list1[0].slot, kNoSlot);
  ExpectClean();
}

TEST_F(EventsTest, TheIkkoRevoltIsQuelledWithoutAFreeGeneralRecord) {
  DaimyoTable[0].rank = 2;  // the player's rank lets revolts happen
  ResolveKuniNameTables();
  ASSERT_EQ(IkkoKuniList[0], k0);  // 加賀
  // Every record is named and placed or listed: no record is free.
  for (int g = 0; g < NullBusyoId; ++g)
    if (BusyoTable[g].name[0] == '\0') SetFieldString(BusyoTable[g].name, kBusyoNameLen, "名");
  // Castle b stands empty: the revolt would take it.
  ScriptedDraws d({}, 0);  // every chance hits
  SeasonIndex = 1;
  ASSERT_GT(RunSteps([] { RunRandomEvents(); }), 0);
  EXPECT_TRUE(Contains(scene.messages, "一向一揆は鎮まりました"));
  EXPECT_EQ(SiroTable[b].owner, 1);
}

TEST_F(EventsTest, TheIkkoRevoltTakesAnEmptyCastleWithANewIndependent) {
  DaimyoTable[0].rank = 2;
  ResolveKuniNameTables();
  KuniTable[k1].holder = kNoDaimyo;  // only 加賀 revolts
  SeasonIndex = 1;
  // Every chance hits, the 50/50 of the revolt included.
  ScriptedDraws d({}, 0);
  ASSERT_GT(RunSteps([] { RunRandomEvents(); }), 0);
  EXPECT_TRUE(Contains(scene.messages, "加賀国に一向一揆が発生しました"));
  EXPECT_EQ(SiroTable[b].owner, kNoDaimyo);
  uint8_t entry = SiroTable[b].list1[0].slot;
  ASSERT_LT(entry, kDokuSlots);
  int g = DokuBusyoList[entry];
  EXPECT_EQ(BusyoTable[g].siro, b);
  EXPECT_EQ(SiroTable[b].lord, entry);
  EXPECT_EQ(std::strncmp(BusyoTable[g].name, "  一向一揆  ", 12), 0);
  ExpectClean();
}

TEST_F(EventsTest, SuccessionPassesToAnHeirAndEndsTheAlliances) {
  int heir = AddVassal(w, 1, a, 10, "杉原 義信");
  DaimyoTable[1].heirs[0] = static_cast<uint16_t>(heir);
  DaimyoTable[1].allies[0] = 2;
  DaimyoTable[1].allyStanding[0] = 20;
  DaimyoTable[2].allies[1] = 1;
  DaimyoTable[2].allyStanding[1] = 20;
  // The head leaves his castle (he fell).
  RemoveBusyoFromCastle(head1);
  ASSERT_EQ(BusyoTable[head1].siro, kNoSiro);
  BusyoTable[heir].kizuna = 1;
  ASSERT_GT(RunSteps([] { RunSuccession(); }), 0);
  EXPECT_EQ(DaimyoTable[1].head, heir);
  EXPECT_EQ(DaimyoTable[1].heirs[0], kNoBusyo);
  EXPECT_TRUE(Contains(scene.messages, "が継ぎました"));
  EXPECT_EQ(DaimyoTable[1].allies[0], kNoDaimyo);
  EXPECT_EQ(DaimyoTable[2].allies[1], kNoDaimyo);
  ExpectClean();
}

TEST_F(EventsTest, WithoutAnHeirTheAblestVassalSeizesPower) {
  int weak = AddVassal(w, 1, a, 10, "千森 政長");
  int able = AddVassal(w, 1, b, 10, "桐沢 景勝");
  BusyoTable[weak].cur.stat[0] = 10;
  BusyoTable[able].cur.stat[0] = 60;
  RemoveBusyoFromCastle(head1);
  ASSERT_GT(RunSteps([] { RunSuccession(); }), 0);
  EXPECT_EQ(DaimyoTable[1].head, able);
  EXPECT_TRUE(Contains(scene.messages, "が実権を握りました"));
  EXPECT_EQ(BusyoTable[able].kizuna, 1);
  EXPECT_EQ(BusyoTable[able].loyalty, 0);
}

TEST_F(EventsTest, IndependentsGrowTheirCastlesUpToLevelTen) {
  int index = FindForceSlot(kNoDaimyo, loner);
  ASSERT_NE(index, 0xFFFF);
  for (int level : {0, 9, 10}) {
    SiroTable[f].level = static_cast<uint8_t>(level);
    IndependentRaiseCastle(index);
    EXPECT_EQ(SiroTable[f].level, std::min(level + 1, 10));
  }
}

TEST_F(EventsTest, IndependentsAttackAnUndefendedCastleWithoutDividingByZero) {
  // Castle c stands empty at level 0 in the loner's country.
  RemoveBusyoFromCastle(head2);
  DaimyoTable[2].head = kNoBusyo;  // the clan keeps only its castle
  SiroTable[c].level = 0;
  BusyoTable[loner].soldiers = 10;
  int index = FindForceSlot(kNoDaimyo, loner);
  ScriptedDraws d({}, 0);
  IndependentNormalOperation(index);
  EXPECT_EQ(BusyoTable[loner].marchFlag, 1);
  EXPECT_EQ(BusyoTable[loner].siro2, c);
  EXPECT_EQ(BusyoTable[loner].siro, f);
  ExpectClean();
}

TEST_F(EventsTest, ACountryWithoutClanCastlesTurnsPassiveAndFewSoldiersNeverMarch) {
  int k2 = w.Kuni("飛騨");
  int g = w.Siro(k2, "高山", kNoDaimyo, 1);
  w.Road(f, g);
  w.Busyo("江馬 時盛", g);
  w.Place();
  ExpectClean();
  BusyoTable[loner].soldiers = 3;
  KuniTable[k1].dokuMode = 0;
  KuniTable[k2].dokuMode = 0;
  FirstTurnFlag = 0;
  ScriptedDraws d({}, 0);
  ASSERT_GT(RunSteps([] { IndependentForcesThink(); }), 0);
  EXPECT_EQ(KuniTable[k2].dokuMode, 1);  // no clan weight at all
  EXPECT_EQ(KuniTable[k1].dokuMode, 1);  // clan 2 holds half of it
  EXPECT_NE(BusyoTable[loner].marchFlag, 1);
  ExpectClean();
}

}  // namespace
