#include "world/world_names.h"
#include "world_fixture.h"

namespace {

using NamesTest = WorldTest;

TEST_F(NamesTest, NamesakeSuffixPicksTheNthGeneral) {
  WorldBuilder w;
  int first = w.Busyo("霧島 信房", kNoSiro);
  w.Busyo("杉原 義久", kNoSiro);
  int second = w.Busyo("霧島 信房", kNoSiro);
  int third = w.Busyo("霧島　信房", kNoSiro);                 // full-width blank: the same name
  for (int i = 0; i < 9; ++i) w.Busyo("霧島 信房", kNoSiro);  // namesakes 4 to 12
  int twelfth = 3 + 9;                                        // ids 0,2,3 then 4..12
  struct Case {
    const char* name;
    int expect;
  } cases[] = {
      {"霧島信房", first},   {"霧島信房@0", first},    {"霧島信房@1", first}, {"霧島信房@2", second},
      {"霧島信房@3", third}, {"霧島信房@12", twelfth}, {"杉原義久", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindBusyoByName(c.name), c.expect) << c.name;
  EXPECT_TRUE(boxes.boxes.empty());
  // More namesakes than exist: the box quotes the name with its suffix.
  EXPECT_EQ(FindBusyoByName("霧島信房@13"), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "武将名エラー");
  EXPECT_NE(boxes.boxes[0].text.find("霧島信房@13"), std::string::npos);
}

TEST_F(NamesTest, BlanksAreIgnoredInStoredNamesOnly) {
  WorldBuilder w;
  int g = w.Busyo("霧島　信房", kNoSiro);
  EXPECT_EQ(FindBusyoByName("霧島信房"), g);
  EXPECT_EQ(FindBusyoByName("霧島 信房"), -1);
  EXPECT_EQ(FindBusyoByNameSilent("霧島　信房"), -1);
}

TEST_F(NamesTest, AtSignAsATrailByteIsNoSuffix) {
  WorldBuilder w;
  // "ァ" is 0x83 0x40: its trail byte followed by a digit looks like "@1" to a byte scan.
  int g = w.Busyo("霧ァ1", kNoSiro);
  EXPECT_EQ(FindBusyoByName("霧ァ1"), g);
  EXPECT_EQ(FindBusyoByName("@"), -1);
  EXPECT_EQ(FindBusyoByName(""), -1);
}

TEST_F(NamesTest, CountryCastleAndClanLookups) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹 山", 0);
  int c = w.Clan("霧島");
  PlayerDaimyoId = 7;
  EXPECT_EQ(FindKuniByName("尾張"), k);
  EXPECT_EQ(FindSiroByName("鷹山"), s);
  EXPECT_EQ(FindDaimyoByName("霧島"), c);
  EXPECT_EQ(FindDaimyoByName("p"), 7);
  EXPECT_EQ(FindDaimyoByName("Pなんでも"), 7);
  EXPECT_EQ(FindKuniByName("美濃"), -1);
  EXPECT_STREQ(NameSearchResult, "指定された国名「美濃」は存在しませんでした");
  EXPECT_EQ(FindSiroByName("鶴岡"), -1);
  EXPECT_TRUE(boxes.boxes.empty());  // the three silent lookups show no box
}

TEST_F(NamesTest, ScriptQueriesByName) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", 0);
  int c = w.Clan("霧島");
  int g = w.Busyo("霧島 信房", s);
  int free = w.Busyo("杉原 義久", kNoSiro);
  w.Head(c, g);
  w.Place();
  KuniTable[k].holder = 0;
  KuniTable[k].playerShare = 80;
  EXPECT_EQ(ScriptGetBusyoSiro("霧島信房"), s);
  EXPECT_EQ(ScriptGetBusyoKuni("霧島信房"), k);
  EXPECT_EQ(ScriptIsBusyoPlaced("霧島信房"), 1);
  EXPECT_EQ(ScriptIsBusyoPlaced("杉原義久"), 0);
  EXPECT_EQ(ScriptGetDaimyoLeader("霧島"), g);
  EXPECT_EQ(ScriptGetKuniControlRate("尾張"), 80);
  EXPECT_EQ(FindDaimyoOfBusyoName("霧島信房"), c);
  EXPECT_EQ(FindDaimyoOfBusyoName("杉原義久"), -1);
  BusyoTable[free].flagWord = 1;
  EXPECT_EQ(FindDaimyoOfBusyoName("杉原義久"), PlayerDaimyoId);
  EXPECT_EQ(ScriptBusyoHasFlags("杉原義久"), 1);
  EXPECT_EQ(ScriptGetBusyoSiro("無名"), -1);
}

TEST_F(NamesTest, UnificationState) {
  struct Case {
    int heldKuni;  // countries held by the player (from 0), 67 = all
    bool holds33, declared, block;
    int prestige, revenue, expect;
  } cases[] = {
      {67, true, false, false, 0, 0, 2},       // all countries: 2 whatever else holds
      {3, false, true, false, 0, 0, 1},        // declared
      {3, false, false, false, 20, 20000, 0},  // without country 33
      {3, true, false, false, 0, 14000, 1},   {3, true, false, false, 0, 13999, 0},
      {3, true, false, true, 14, 18000, 1},  // free start: (18000-12000)/1000 + 14 = 20
      {3, true, false, true, 14, 17999, 0},  // 5 + 14 = 19
      {3, true, false, true, 13, 20000, 0},
  };
  for (const Case& c : cases) {
    WorldBuilder w;
    PlayerDaimyoId = 0;
    for (int k = 0; k < kKuniCount; ++k) KuniTable[k].holder = kNoDaimyo;
    for (int k = 0; k < c.heldKuni; ++k) KuniTable[k].holder = 0;
    KuniTable[33].holder = c.holds33 ? 0 : kNoDaimyo;
    UnificationDeclared = c.declared;
    StoryEventBlockFlag = c.block;
    DaimyoTable[0].prestige = static_cast<uint8_t>(c.prestige);
    DaimyoTable[0].revenue = static_cast<uint16_t>(c.revenue);
    EXPECT_EQ(GetUnificationState(), c.expect) << c.heldKuni << " " << c.revenue;
  }
  UnificationDeclared = 0;
  StoryEventBlockFlag = 0;
}

TEST_F(NamesTest, FullWidthFieldsWithoutTerminator) {
  WorldBuilder w;
  int k = w.Kuni("");
  std::memcpy(KuniTable[k].name, "尾張美濃", 8);  // fills the 8-byte field
  KuniTable[k].holder = 0x41;                     // 'A' right after it
  int s = w.Siro(k, "", 0);
  std::memcpy(SiroTable[s].name, "鷹山鶴岡", 8);
  int c = w.Clan("");
  std::memcpy(DaimyoTable[c].name, "霧島杉原千", 10);
  EXPECT_STREQ(GetKuniName(k), "尾張美濃");
  EXPECT_EQ(FindKuniByName("尾張美濃"), k);
  EXPECT_STREQ(GetSiroName(s, true), "鷹山鶴岡城");
  EXPECT_EQ(FindSiroByName("鷹山鶴岡"), s);
  EXPECT_EQ(FindDaimyoByName("霧島杉原千"), c);
}

}  // namespace
