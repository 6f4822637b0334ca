#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <string>
#include <vector>

#include "core/cv_input.h"
#include "core/game_rand.h"
#include "world/float_rules.h"
#include "world/slg_util.h"
#include "world/world_misc.h"
#include "world_fixture.h"

namespace {

using QueriesTest = WorldTest;

TEST_F(QueriesTest, DisplayNamesFromStoredNames) {
  struct Case {
    const char* stored;
    const char* shown;
  } cases[] = {
      {"霧島 信房", "霧島 信房"},
      {"霧島　信房", "霧島 信房"},     // full-width blank
      {"  霧島  信房 ", "霧島 信房"},  // leading, doubled and trailing blanks
      {"霧島", "霧島"},
  };
  for (const Case& c : cases) {
    WorldBuilder w;
    int g = w.Busyo(c.stored, kNoSiro);
    EXPECT_STREQ(GetBusyoName(g), c.shown) << c.shown;
    EXPECT_EQ(NormalizeName(BusyoTable[g].name, kBusyoNameLen), NormalizeName(c.shown, 64));
  }
  // The full-width blank is rewritten in the record on the first read.
  WorldBuilder w;
  int g = w.Busyo("霧島　信房", kNoSiro);
  GetBusyoName(g);
  EXPECT_EQ(0, std::memcmp(BusyoTable[g].name + 4, "  ", 2));
  EXPECT_STREQ(GetBusyoName(NullBusyoId), "");
  EXPECT_STREQ(GetBusyoName(0xFFFF), "");
}

TEST_F(QueriesTest, UnterminatedNameStopsAtItsField) {
  WorldBuilder w;
  int g = w.Busyo("", kNoSiro);
  std::memset(BusyoTable[g].name, 'A', kBusyoNameLen);
  BusyoTable[g].kind = 0x4242;  // 'B' 'B' right after the field
  EXPECT_EQ(std::string(GetBusyoName(g)), std::string(kBusyoNameLen, 'A'));
  EXPECT_EQ(NormalizeName(BusyoTable[g].name, kBusyoNameLen).size(), size_t(kBusyoNameLen));
}

TEST_F(QueriesTest, ClanNamesFollowTheHeadOrActingHead) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", 0);
  int c = w.Clan("霧島");
  int head = w.Busyo("霧島 信房", s);
  int acting = w.Busyo("杉原 義久", s);
  w.Head(c, head);
  EXPECT_STREQ(GetDaimyoName(c, false), "霧島");
  EXPECT_STREQ(GetDaimyoName(c, true), "霧島家");
  DaimyoTable[c].head = NullBusyoId;
  DaimyoTable[c].actingHead = static_cast<uint16_t>(acting);
  EXPECT_STREQ(GetDaimyoName(c, true), "杉原家");
  EXPECT_STREQ(GetDaimyoName(255, true), "独立勢力");
  EXPECT_STREQ(ForceName(255), "独立勢力");
}

// Two names looked up for one message come out as two names, whichever lookups they are and in
// whichever order the arguments are evaluated (a clan's name is built from its head's family name,
// which is built from the general's name).
TEST_F(QueriesTest, SeveralNamesInOneMessageStayApart) {
  WorldBuilder w;
  int k1 = w.Kuni("尾張");
  int k2 = w.Kuni("美濃");
  int s1 = w.Siro(k1, "鷹山", 0);
  int s2 = w.Siro(k2, "白鷺", 1);
  int c1 = w.Clan("霧島");
  int c2 = w.Clan("杉原");
  int h1 = w.Busyo("霧島 信房", s1);
  int h2 = w.Busyo("杉原 義久", s2);
  int g = w.Busyo("千崎 盛胤", s1);
  w.Head(c1, h1);
  w.Head(c2, h2);
  auto two = [](const char* fmt, const char* a, const char* b) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, a, b);
    return std::string(text);
  };
  struct Case {
    std::string got;
    const char* want;
  } cases[] = {
      {two("%sは%sと同盟を結びました", GetDaimyoName(c1, false), GetDaimyoName(c2, false)),
       "霧島は杉原と同盟を結びました"},
      {two("%6s家は%6s家との同盟を破棄しました。", GetBusyoFamilyName(h1), GetBusyoFamilyName(h2)),
       "  霧島家は  杉原家との同盟を破棄しました。"},
      {two("%sに%sが登場しました", GetDaimyoName(c1, false), GetBusyoName(g)), "霧島に千崎 盛胤が登場しました"},
      {two("%sに%sが登場しました", GetBusyoName(g), GetDaimyoName(c1, false)), "千崎 盛胤に霧島が登場しました"},
      {two("%s/%s", GetBusyoName(h1), GetBusyoName(h2)), "霧島 信房/杉原 義久"},
      {two("%s/%s", GetBusyoName(g), GetBusyoFamilyName(h2)), "千崎 盛胤/杉原"},
      {two("%s/%s", GetSiroName(s1, false), GetSiroName(s2, true)), "鷹山/白鷺城"},
      {two("%s/%s", GetKuniName(k1), GetKuniName(k2)), "尾張/美濃"},
      {two("%s/%s", ForceName(c1), ForceName(c2)), "    霧島軍/    杉原軍"},
      {two("%s/%s", GetDaimyoName(c1, true), ForceName(c2)), "霧島家/    杉原軍"},
      {two("%s/%s", GetBusyoDisplayName("霧島　信房"), GetBusyoDisplayName("杉原 義久")), "霧島信房/杉原義久"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST_F(QueriesTest, ShareWeighsCastlesByLevel) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  w.Siro(k, "鷹山", 0, 3);
  w.Siro(k, "鶴岡", 1, 1);
  int empty = w.Kuni("志摩");
  EXPECT_EQ(GetDaimyoKuniShare(k, 0), 62);  // 5 x 100 / 8
  EXPECT_EQ(GetDaimyoKuniShare(k, 1), 37);
  EXPECT_EQ(GetKuniOwnedShare(k), 100);
  // A country without a castle in use has no share (and no division by zero).
  EXPECT_EQ(GetDaimyoKuniShare(empty, 0), 0);
  EXPECT_EQ(GetKuniOwnedShare(empty), 0);
}

TEST_F(QueriesTest, ClanOfAGeneral) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  int b = w.Siro(k, "鶴岡", 1);
  int c0 = w.Clan("霧島");
  int c1 = w.Clan("杉原");
  int g0 = w.Busyo("霧島 信房", a);
  int g1 = w.Busyo("杉原 義久", b);
  w.Head(c0, g0);
  w.Head(c1, g1);
  w.Place();
  EXPECT_EQ(GetBusyoDaimyo(g0), c0);
  EXPECT_EQ(GetBusyoDaimyo(g1), c1);
  // Marching: his pair stands only in the target's second list; the second castle decides.
  BusyoTable[g1].siro2 = static_cast<uint16_t>(a);
  EXPECT_EQ(MoveSiroBusyo(b, a, static_cast<uint8_t>(c1), 0, 1), 0);
  EXPECT_EQ(GetBusyoDaimyo(g1), c1);
  // In the fictional castle he serves the player.
  int r = w.Busyo("千森 政長", KakuuSiroId);
  PlayerDaimyoId = static_cast<uint8_t>(c1);
  EXPECT_EQ(GetBusyoDaimyo(r), c1);
  EXPECT_EQ(GetBusyoKuni(r), -1);
  EXPECT_EQ(GetSiroKuni(KakuuSiroId), kNoKuni);
  EXPECT_EQ(GetBusyoDaimyo(0xFFFF), kNoDaimyo);
}

TEST_F(QueriesTest, SortKeepsEmptiesLastAndSetsTheIndependentLord) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", kNoDaimyo);
  SiroRecord& r = SiroTable[s];
  r.list1[0] = {7, kNoSlot};
  r.list1[1] = {255, 4};
  r.list1[2] = {255, 2};
  SortSiroSlots(s);
  EXPECT_EQ(r.list1[0].slot, 2);
  EXPECT_EQ(r.list1[1].slot, 4);
  EXPECT_EQ(r.list1[2].slot, kNoSlot);
  EXPECT_EQ(r.list1[2].force, kNoDaimyo);  // an empty entry gets force 255
  EXPECT_EQ(r.lord, 2);
}

// Player castle a (one general) across a border from player castle c (full), each alone in its
// country: every search leads back to the other castle. The search must end, with false.
TEST_F(QueriesTest, ReachSearchEndsOnPingPongCastles) {
  WorldBuilder w;
  int ka = w.Kuni("尾張");
  int a = w.Siro(ka, "鷹山", 0);
  int kc = w.Kuni("美濃");
  int c = w.Siro(kc, "鶴岡", 0);
  w.Road(a, c);
  int clan = w.Clan("霧島");
  DaimyoTable[clan].rank = 2;
  int g = w.Busyo("霧島 信房", a);
  w.Head(clan, g);
  for (int i = 0; i < 6; ++i) w.Busyo("杉原 義久", c);
  w.Place();
  ExpectClean();
  EXPECT_FALSE(CanReachSiro(g, a, a, true));
  // With room in c the same search succeeds.
  RemoveBusyoFromCastle(static_cast<int32_t>(GetForceSlotBusyo(0, SiroTable[c].list1[5].slot)));
  EXPECT_TRUE(CanReachSiro(g, a, a, true));
  // The reach set is left marked from b.
  EXPECT_TRUE(TestBit(c, SiroReachSet));
}

// A row of full player castles, each alone in its country: every castle can be searched from every
// other, so a search over paths would never end in practice. Each castle is searched once; the
// answer is false while all are full and true once the far end has room.
TEST_F(QueriesTest, ReachSearchOverARowOfFullCastlesEnds) {
  const int kRow = 8;
  WorldBuilder w;
  const char* names[kRow] = {"尾張", "美濃", "近江", "伊勢", "伊賀", "大和", "紀伊", "和泉"};
  int clan = w.Clan("霧島");
  DaimyoTable[clan].rank = 2;
  std::vector<int> row;
  for (int i = 0; i < kRow; ++i) {
    row.push_back(w.Siro(w.Kuni(names[i]), "鷹山", clan));
    if (i > 0) w.Road(row[i - 1], row[i]);
  }
  int g = -1;
  for (int s : row)
    for (int i = 0; i < kSiroListLen; ++i) {
      int b = w.Busyo("杉原 義久", s);
      if (g < 0) g = b;
    }
  w.Head(clan, g);
  w.Place();
  ExpectClean();
  for (int from : {0, kRow / 2, kRow - 1}) EXPECT_FALSE(CanReachSiro(g, row[from], row[0], true)) << from;
  RemoveBusyoFromCastle(static_cast<int32_t>(GetForceSlotBusyo(clan, SiroTable[row[kRow - 1]].list1[5].slot)));
  EXPECT_TRUE(CanReachSiro(g, row[0], row[0], true));
  // Without the need for room the general's own country answers at once.
  EXPECT_TRUE(CanReachSiro(g, row[0], row[3], false));
  EXPECT_TRUE(TestBit(row[3], SiroReachSet));  // left marked from b
}

TEST_F(QueriesTest, MoveTargetsCrossBordersOnlyWithRankAndOpenPasses) {
  WorldBuilder w;
  int k0 = w.Kuni("尾張");
  int a = w.Siro(k0, "鷹山", 0);
  int b = w.Siro(k0, "鶴岡", 0);
  int k1 = w.Kuni("美濃");
  int c = w.Siro(k1, "亀森", 0);
  int d = w.Siro(k1, "梅原", 1);
  w.Road(a, b);
  w.Road(b, c);
  w.Road(c, d);
  struct Case {
    int rank, passA, passB;
    bool cross, reachesC;
  } cases[] = {
      {2, 0, 0, true, true},   {1, 0, 0, true, false},  // rank below 2: no crossing
      {2, 1, 0, true, false},                           // no passage out of the first country
      {2, 0, 2, true, false},                           // no passage into the second
      {2, 0, 0, false, false},
  };
  for (const Case& t : cases) {
    DaimyoTable[0].rank = static_cast<uint8_t>(t.rank);
    KuniTable[k0].passFlags = static_cast<uint8_t>(t.passA);
    KuniTable[k1].passFlags = static_cast<uint8_t>(t.passB);
    std::memset(SiroReachSet, 0, sizeof SiroReachSet);
    MarkSiroMoveTargets(a, t.cross);
    EXPECT_TRUE(TestBit(b, SiroReachSet));
    EXPECT_EQ(TestBit(c, SiroReachSet), t.reachesC) << t.rank << t.passA << t.passB << t.cross;
    EXPECT_FALSE(TestBit(d, SiroReachSet));  // another clan's castle
  }
  // From the fictional castle: every castle of the player outside countries closed by pass bit 2.
  KuniTable[k0].passFlags = 0;
  KuniTable[k1].passFlags = 4;
  std::memset(SiroReachSet, 0, sizeof SiroReachSet);
  MarkSiroMoveTargets(KakuuSiroId, true);
  EXPECT_TRUE(TestBit(a, SiroReachSet) && TestBit(b, SiroReachSet));
  EXPECT_FALSE(TestBit(c, SiroReachSet));
  // Free entries near a castle: neighbours the clan owns, across open passes.
  KuniTable[k1].passFlags = 0;
  EXPECT_EQ(CountKuniFreeSlotsNear(b, 0), 12);
  EXPECT_EQ(CountKuniFreeSlotsNear(c, 1), 6);
  KuniTable[k0].passFlags = 1;
  EXPECT_EQ(CountKuniFreeSlotsNear(b, 0), 6);
}

TEST_F(QueriesTest, ConnectionFollowsOnlyThePlayersOpenCastles) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  int b = w.Siro(k, "鶴岡", 1);
  int c = w.Siro(k, "亀森", 0);
  w.Road(a, b);
  w.Road(b, c);
  EXPECT_FALSE(IsSiroConnected(a, c));  // through another clan's castle
  w.Road(a, c);
  EXPECT_TRUE(IsSiroConnected(a, c));
  KuniTable[k].eventState = 5;  // closed by weather
  EXPECT_FALSE(IsSiroConnected(a, c));
  KuniTable[k].eventState = 255;
  EXPECT_TRUE(IsSiroConnected(KakuuSiroId, c));
  EXPECT_FALSE(IsSiroConnected(KakuuSiroId, b));
}

TEST_F(QueriesTest, ItemsStayWithinStockAndFit) {
  WorldBuilder w;
  ItemTable[0].cls = 1;  // item 1 suits kind 2
  ItemTable[1].cls = 2;  // item 2 suits kind 3
  int a = w.Busyo("霧島 信房", kNoSiro, 1);
  int b = w.Busyo("杉原 義久", kNoSiro, 1);
  BusyoTable[a].items[0] = 1;
  BusyoTable[b].items[0] = 2;
  SwapBusyoItems(a, b);
  EXPECT_EQ(BusyoTable[a].items[0], 0);
  EXPECT_EQ(BusyoTable[b].items[0], 0);
  EXPECT_EQ(GetItemStock(1), 1);
  EXPECT_EQ(GetItemStock(2), 1);
  struct Case {
    int start, add, applied, after;
  } cases[] = {{0, 5, 5, 5}, {98, 5, 1, 99}, {3, -5, -3, 0}, {99, 0, 0, 99}};
  for (const Case& c : cases) {
    ItemStock[3] = c.start;
    EXPECT_EQ(AddItemStock(3, c.add), c.applied);
    EXPECT_EQ(ItemStock[3], c.after);
  }
  EXPECT_EQ(AddItemStock(0, 5), 0);
  EXPECT_EQ(AddItemStock(129, 5), 0);
  EXPECT_EQ(GetItemRecord(0), nullptr);
  EXPECT_EQ(GetItemRecord(129), nullptr);
}

TEST_F(QueriesTest, GrowthRollsUseTheSystemTableAndTheDraws) {
  WorldBuilder w;
  uint8_t sys[kSystemTableBytes] = {};
  auto put = [&](int off, int v) { std::memcpy(sys + off, &v, 4); };
  put(4, 60);   // kind 0, player: probability
  put(8, 20);   //                amount
  put(20, 10);  // kind 0, others
  put(24, 7);
  SetWorldSystemTable(sys, sizeof sys);
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", 0);
  int clan = w.Clan("霧島");
  int g = w.Busyo("霧島 信房", s);
  w.Head(clan, g);
  w.Place();
  PlayerDaimyoId = static_cast<uint8_t>(clan);
  struct Case {
    std::vector<int> draws;
    int chance, kind, stage, expect;
  } cases[] = {
      {{59, 49}, 50, 0, 1, 20},                    // both rolls below
      {{60}, 50, 0, 1, 0},                         // probability roll fails (the chance is not drawn)
      {{0, 50}, 50, 0, 1, 0},                      // chance roll fails
      {{}, 50, 0, 3, 0},                           // stage 3 never grows (no draw)
      {{7}, 5, 4, 1, 2},                           // kind 4: a roll below chance + 3 gives 2
      {{8}, 5, 4, 1, 1},        {{}, 1, 4, 1, 1},  // kind 4 with chance 1: 1, no draw
  };
  for (const Case& c : cases) {
    std::deque<int> draws(c.draws.begin(), c.draws.end());
    size_t used = 0;
    ScopedGameRandOverride scripted([&] {
      ++used;
      int v = draws.empty() ? 0 : draws.front();
      if (!draws.empty()) draws.pop_front();
      return v;
    });
    BusyoTable[g].stage = static_cast<uint16_t>(c.stage);
    BusyoTable[g].growthMark = 0;
    EXPECT_EQ(RollBusyoGrowth(c.kind, g, c.chance), c.expect);
    EXPECT_EQ(BusyoTable[g].growthMark, c.expect ? 1 : 0);
    EXPECT_EQ(used, c.draws.size());
  }
}

TEST_F(QueriesTest, CastleCheckExcusesMarchersHeldInTheirTargetOnlyWhileMarchesAreUnderway) {
  // A marcher stands in his target's second list while his castle field still names home.
  struct Case {
    const char* what;
    bool independent;
    void (*spoil)(int busyo, int target);
    bool cleanDuringWar;
  } cases[] = {
      {"clan marcher held in the target", false, [](int, int) {}, true},
      {"independent marcher held in the target", true, [](int, int) {}, true},
      {"march ended but still held", false, [](int b, int) { BusyoTable[b].marchFlag = 0; }, false},
      {"held in another castle than his target", false,
       [](int b, int t) { BusyoTable[b].siro2 = static_cast<uint16_t>(t + 1); }, false},
      {"lost from every list", false,
       [](int, int t) {
         SiroTable[t].list2[0] = {kNoDaimyo, kNoSlot};
       },
       false},
  };
  for (const Case& c : cases) {
    WorldBuilder w;
    int k = w.Kuni("尾張");
    int clan = w.Clan("霧島");
    int home = w.Siro(k, "鷹山", c.independent ? kNoDaimyo : clan);
    int target = w.Siro(k, "青城", clan + 1);
    w.Siro(k, "楓尾", clan);
    w.Road(home, target);
    int other = w.Clan("青木");
    w.Head(other, w.Busyo("青木 直家", target));
    int g = w.Busyo("霧島 信房", home);
    if (!c.independent)
      w.Head(clan, g);
    else
      w.Head(clan, w.Busyo("霧島 信安", home + 2));
    w.Place();
    uint8_t force = c.independent ? kNoDaimyo : static_cast<uint8_t>(clan);
    uint8_t slot = SiroTable[home].list1[0].slot;
    ASSERT_EQ(SiroTable[home].list1[0].force, force) << c.what;
    ASSERT_TRUE(CollectWorldProblems().empty()) << c.what;
    ASSERT_EQ(MoveSiroBusyo(home, target, force, slot, 1), 0) << c.what;
    BusyoTable[g].marchFlag = 1;
    BusyoTable[g].siro2 = static_cast<uint16_t>(target);
    c.spoil(g, target);
    // The game's own check stays strict: it runs only where no march is under way.
    EXPECT_FALSE(CollectSiroDataProblems().empty()) << c.what;
    EXPECT_EQ(CollectWorldProblems(true).empty(), c.cleanDuringWar) << c.what;
  }
}

TEST_F(QueriesTest, CastleCheckReportsEachKindOfFault) {
  struct Case {
    const char* what;
    void (*spoil)(int siro, int clan, int busyo);
    const char* line;
  } cases[] = {
      {"owner outside the clans", [](int s, int, int) { SiroTable[s].owner = 60; },
       "siro err siro[0] pass=3 code=1   "},
      {"mixed forces in the first list",
       [](int s, int, int) {
         SiroTable[s].list1[1] = {9, 3};
       },
       "siro err siro[0] pass=3 code=2   "},
      {"mixed forces in the second list",
       [](int s, int, int) {
         SiroTable[s].list2[0] = {1, 3};
         SiroTable[s].list2[1] = {2, 3};
       },
       "siro err siro[0] pass=3 code=4   "},
      {"vassal without stationing",
       [](int s, int, int) {
         SiroTable[s].list1[0] = {kNoDaimyo, kNoSlot};
       },
       "siro err siro[0] pass=1 code=0   "},
      {"independent without stationing",
       [](int s, int, int b) {
         DokuBusyoList[3] = static_cast<uint16_t>(b + 1);
         BusyoTable[b + 1].siro = static_cast<uint16_t>(s);
       },
       "siro err siro[0] pass=2 code=1   "},
  };
  for (const Case& c : cases) {
    WorldBuilder w;
    int k = w.Kuni("尾張");
    int s = w.Siro(k, "鷹山", 0);
    int clan = w.Clan("霧島");
    int g = w.Busyo("霧島 信房", s);
    w.Head(clan, g);
    w.Place();
    ASSERT_TRUE(CollectSiroDataProblems().empty()) << c.what;
    c.spoil(s, clan, g);
    std::vector<std::string> problems = CollectSiroDataProblems();
    ASSERT_FALSE(problems.empty()) << c.what;
    EXPECT_EQ(problems.front(), c.line) << c.what;
    boxes.boxes.clear();
    SiroCheckReported = 0;
    EXPECT_FALSE(CheckSiroData());
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(CheckSiroData());  // reported once
    EXPECT_EQ(boxes.boxes.size(), 1u);
  }
}

TEST_F(QueriesTest, SixthClanInACountryIsReported) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  for (int c = 0; c < 6; ++c) w.Siro(k, "鷹山", c);
  RebuildKuniDaimyoSets();
  EXPECT_EQ(KuniDaimyoCount[k], 5);
  EXPECT_TRUE(boxes.Has("SLGデータエラー"));
}

TEST(FloatRules, NamedTermsAreFloatsAndProductsDouble) {
  // A gun price of base 10 with a skill strength of 10: 10 x 0.9 gives 8.
  EXPECT_EQ(TruncProduct(10, SkillFactorDown(10)), 8);
  // Flood control with skill 30 on a product of 20: 20 x 1.3 gives 25.
  EXPECT_EQ(TruncProduct(20, SkillFactorUp(30)), 25);
  // Exact terms stay exact.
  EXPECT_EQ(TruncProduct(20, SkillFactorUp(50)), 30);
  EXPECT_EQ(TruncProduct(10, SkillFactorDown(0)), 10);
}

TEST(SlgUtil, RandomOfZeroDrawsNothing) {
  SetGameRandState(12345);
  EXPECT_EQ(SlgRandom(0), 0);
  EXPECT_EQ(GetGameRandState(), 12345u);
  int calls = 0;
  ScopedGameRandOverride scripted([&] { return ++calls, 205; });
  EXPECT_EQ(SlgRandom(100), 5);
}

TEST(SlgUtil, EventEffectAnimations) {
  struct Case {
    int kind, sub, anime;
  } cases[] = {{2, 2, 4}, {2, 7, 5}, {3, 3, 12}, {3, 7, 12}, {4, 4, 6},  {4, 7, 7}, {6, 6, 7}, {5, 5, 2},
               {5, 7, 3}, {8, 7, 9}, {8, 8, 9},  {9, 7, 10}, {9, 9, 10}, {9, 8, 8}, {0, 0, 8}};
  for (const Case& c : cases) EXPECT_EQ(KuniEventAnimeNumber(c.kind, c.sub), c.anime) << c.kind << c.sub;
}

struct AnimeRecorder : SlgScenePort {
  std::vector<int> played;
  void PlayCastleIconAnime(int icon, int anime, int restart) override { played.push_back(icon * 100 + anime); }
};

TEST_F(QueriesTest, EventEffectOnlyForProvinces) {
  AnimeRecorder scene;
  SetSlgScenePort(&scene);
  ShowKuniEventEffect(67, 2, 2);
  ShowKuniEventEffect(-1, 2, 2);
  ShowKuniEventEffect(5, 2, 2);
  EXPECT_EQ(scene.played, std::vector<int>{504});
}

TEST_F(QueriesTest, AllianceTests) {
  WorldBuilder w;
  DaimyoTable[1].allies[4] = 2;
  EXPECT_TRUE(IsDaimyoAllied(1, 2));    // five slots
  EXPECT_FALSE(AreDaimyoAllied(1, 2));  // first three only
  EXPECT_FALSE(IsDaimyoAllied(1, 1));
  DaimyoTable[1].allies[0] = 1;
  EXPECT_TRUE(IsDaimyoAllied(1, 1));
  EXPECT_FALSE(IsDaimyoAllied(255, 1));
}

TEST(SlgUtil, MouseButtonMaskForTheStrategyScreens) {
  struct Restore {
    ~Restore() { ResetMouseState(); }
  } restore;
  struct Case {
    bool active;
    int32_t left, right, mask;
  };
  for (const Case& c :
       {Case{true, 1, 1, 3}, Case{true, 1, 0, 1}, Case{true, 0, 1, 2}, Case{true, 0, 0, 0}, Case{false, 1, 1, 0}}) {
    MouseWindowActive = c.active;
    MouseLeftDown = c.left;
    MouseRightDown = c.right;
    EXPECT_EQ(MouseButtonMask(), c.mask) << c.active << c.left << c.right;
    EXPECT_EQ(PublishedMouseLeft(), c.active && c.left);
  }
}

TEST_F(QueriesTest, DebugOperationsOnThePlayersClan) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", 0, 4);
  w.Clan("霧島");
  int g = w.Busyo("霧島 信房", s);
  w.Head(0, g);
  w.Place();
  BusyoTable[g].cur.stat[0] = 50;
  BusyoTable[g].cur.stat[3] = 30;
  BusyoTable[g].stageBlock[2].stat[1] = 77;
  DebugBoostPlayerDaimyo();
  EXPECT_EQ(DaimyoTable[0].money, 20000);
  EXPECT_EQ(BusyoTable[g].cur.stat[0], 96);
  EXPECT_EQ(BusyoTable[g].cur.stat[3], 1);
  EXPECT_EQ(BusyoTable[g].soldiers, 40);
  EXPECT_EQ(SiroTable[s].level, 21);
  DebugSetPlayerBusyoStage3();
  EXPECT_EQ(BusyoTable[g].stage, 3);
  EXPECT_EQ(BusyoTable[g].cur.stat[1], 77);
  MarkPlayerBusyo();
  EXPECT_EQ(CountCharFlagBusyo(), 1);
  EXPECT_EQ(FormatDaimyoListLabel(0), "  霧島家");
}

}  // namespace
