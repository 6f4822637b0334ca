#include <cstring>

#include "core/file_io.h"
#include "core/game_file.h"
#include "world/record_lists.h"
#include "world/world_file.h"
#include "world/world_names.h"
#include "world_fixture.h"

namespace {

class RecordListsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ClearSlgEventMap();
    ASSERT_TRUE(SetModuleDirFromHost(root.Path()));
  }
  void TearDown() override {
    SetModuleDir("/");
    ClearSlgEventMap();
    WorldTest::TearDown();
  }
  // Writes cbl.dat with the given (name, value) entries and item counts.
  void WriteCbl(const std::vector<std::pair<std::string, int>>& entries, int item3 = 0) {
    std::vector<uint8_t> names(kCblNameBlock, 0), items(kCblItemBlock, 0);
    for (size_t i = 0; i < entries.size(); ++i) {
      std::memcpy(&names[i * kCarriedEntryBytes], entries[i].first.data(),
                  std::min<size_t>(entries[i].first.size(), 16));
      names[i * kCarriedEntryBytes + 17] = static_cast<uint8_t>(entries[i].second);
    }
    std::memcpy(&items[(3 - 1) * 4], &item3, 4);
    SaveBlockList list;
    list.Append(names.data(), kCblNameBlock);
    list.Append(items.data(), kCblItemBlock);
    ASSERT_EQ(WriteBlockFile(FixedPath(CblDataPath()), &list, kWorldTableSeed), 2);
  }
  struct Cbl {
    std::vector<std::pair<std::string, int>> entries;
    int item3 = 0;
  };
  Cbl ReadCbl() {
    std::vector<uint8_t> names(kCblNameBlock), items(kCblItemBlock);
    SaveBlockList list;
    list.Append(names.data(), kCblNameBlock);
    list.Append(items.data(), kCblItemBlock);
    EXPECT_EQ(ReadBlockFile(FixedPath(CblDataPath()), &list, kWorldTableSeed), 2);
    Cbl out;
    for (int i = 0; i < kCarriedEntries; ++i) {
      const char* e = reinterpret_cast<const char*>(&names[i * kCarriedEntryBytes]);
      if (e[0]) out.entries.push_back({std::string(e, strnlen(e, 17)), static_cast<int8_t>(e[17])});
    }
    std::memcpy(&out.item3, &items[8], 4);
    return out;
  }
  // Country k: clan 0's castle with its head h and vassal v, and an independent castle with l.
  struct ClanAndIndependent {
    int k, h, v, l;
  };
  static ClanAndIndependent BuildClanAndIndependent(WorldBuilder& w) {
    int k = w.Kuni("尾張");
    int a = w.Siro(k, "鷹山", 0);
    int free = w.Siro(k, "鶴岡", kNoDaimyo);
    w.Clan("霧島");
    int h = w.Busyo("霧島 信房", a);
    int v = w.Busyo("杉原 義久", a);
    int l = w.Busyo("千森 政長", free);
    w.Head(0, h);
    w.Place();
    return {k, h, v, l};
  }
  // A player's general who is carried over: value = system word 0 x stage + progress.
  int CarriedGeneral(WorldBuilder& w, int progress) {
    int k = w.Kuni("尾張");
    int s = w.Siro(k, "鷹山", 0);
    w.Clan("霧島");
    int g = w.Busyo("霧島 信房", s);
    w.Head(0, g);
    w.Place();
    BusyoTable[g].charFlag = 1;
    BusyoTable[g].progress = static_cast<uint16_t>(progress);
    uint8_t sys[kSystemTableBytes] = {2};
    SetWorldSystemTable(sys, sizeof sys);
    PlayerDaimyoId = 0;
    return g;
  }
  v4test::TempFolder root;
};

TEST_F(RecordListsTest, EventMapKeepsTheLastRegistration) {
  RegisterSlgEvent(40, "霧島信房", 1, 0);
  RegisterSlgEvent(7, "杉原義久", 0, 1);
  RegisterSlgEvent(40, "千森政長", 0, 1);
  ASSERT_EQ(SlgEventMap.size(), 2u);
  EXPECT_STREQ(SlgEventMap[40].name, "千森政長");
  EXPECT_EQ(SlgEventMap[40].flags, 2);
  std::vector<uint32_t> keys;
  ListSlgEventKeys(keys);
  EXPECT_EQ(keys, (std::vector<uint32_t>{7, 40}));
  CloseSlgEvent(7);
  ListSlgEventKeys(keys);
  EXPECT_EQ(keys, std::vector<uint32_t>{40});
  EXPECT_FALSE(NoVisitableBusyo());
  CloseSlgEvent(40);
  EXPECT_TRUE(NoVisitableBusyo());
  // A name longer than the record is cut inside it.
  RegisterSlgEvent(1, std::string(100, 'x').c_str(), 0, 0);
  EXPECT_EQ(std::strlen(SlgEventMap[1].name), 64u);
}

TEST_F(RecordListsTest, EventMapRoundTripAndTruncatedData) {
  RegisterSlgEvent(3, "霧島信房", 1, 1);
  RegisterSlgEvent(9, "杉原義久", 0, 0);
  BusyoFlagTable[5] = 1;
  std::vector<uint8_t> data = SaveSlgEventData();
  ASSERT_EQ(data.size(), 4 + 2 * 72 + 2000u);
  ClearSlgEventMap();
  BusyoFlagTable[5] = 0;
  EXPECT_EQ(LoadSlgEventData(data.data(), data.size()), data.size());
  EXPECT_EQ(SlgEventMap.size(), 2u);
  EXPECT_STREQ(SlgEventMap[9].name, "杉原義久");
  EXPECT_TRUE(IsBusyoMarked(5));
  struct Case {
    size_t size, used, entries;
    uint32_t count;
  } cases[] = {
      {4, 0, 0, 2},             // too short for anything
      {4 + 72 + 10, 76, 1, 2},  // the second entry is cut: not read
      {4 + 144, 148, 2, 1000},  // a count beyond the data is not trusted
  };
  for (const Case& c : cases) {
    ClearSlgEventMap();
    std::vector<uint8_t> d(data.begin(), data.begin() + static_cast<long>(c.size));
    if (d.size() >= 4) std::memcpy(d.data(), &c.count, 4);
    EXPECT_EQ(LoadSlgEventData(d.data(), d.size()), c.used);
    EXPECT_EQ(SlgEventMap.size(), c.entries);
  }
  EXPECT_EQ(LoadSlgEventData(nullptr, 100), 0u);
}

TEST_F(RecordListsTest, RoadOrderListsTheReachablePartAndBorderLast) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  int b = w.Siro(k, "鶴岡", 0);
  int c = w.Siro(k, "亀森", 1);
  int d = w.Siro(k, "梅原", 1);
  int k2 = w.Kuni("美濃");
  int e = w.Siro(k2, "桜谷", 2);
  w.Road(a, e);
  w.Road(b, a);
  w.Road(c, d);  // c and d are cut off from a and b
  CTenkaList_Siro out;
  ListKuniSiroByRoad(k, out, false);
  EXPECT_EQ(out, (CTenkaList_Siro{static_cast<uint16_t>(a), static_cast<uint16_t>(b)}));
  ListKuniSiroByRoad(k, out, true);
  EXPECT_EQ(out, (CTenkaList_Siro{static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(e)}));
  ListDaimyoSiroInKuni(k, 1, out, false);
  EXPECT_EQ(out, (CTenkaList_Siro{static_cast<uint16_t>(c), static_cast<uint16_t>(d)}));
  ListDaimyoSiroInKuni(255, 1, out, false);
  EXPECT_TRUE(out.empty());
}

TEST_F(RecordListsTest, GeneralListsFollowTheStationing) {
  WorldBuilder w;
  const auto [k, h, v, l] = BuildClanAndIndependent(w);
  CTenkaList_Busyo out;
  ListKuniBusyo(k, kNoDaimyo, out);
  EXPECT_EQ(out, (CTenkaList_Busyo{h, v, l}));
  ListKuniBusyo(k, 0, out);
  EXPECT_EQ(out, (CTenkaList_Busyo{h, v}));
  EXPECT_TRUE(KuniHasForceBusyo(k, kNoDaimyo));
  ListPoachCandidates(1, k, out);  // for clan 1: the bonded head is no candidate
  EXPECT_EQ(out, (CTenkaList_Busyo{v, l}));
  ListPoachCandidates(0, k, out);  // for clan 0: only the independent
  EXPECT_EQ(out, CTenkaList_Busyo{l});
  ListDaimyoBusyo(0, out);
  EXPECT_EQ(out, (CTenkaList_Busyo{h, v}));
}

TEST_F(RecordListsTest, ClearedRunsKeepTheLargerValue) {
  WorldBuilder w;
  int g = CarriedGeneral(w, 5);  // 2 x 1 + 5 = 7
  ItemStock[3] = 60;
  ASSERT_TRUE(UpdateCblData());
  Cbl cbl = ReadCbl();
  ASSERT_EQ(cbl.entries.size(), 1u);
  EXPECT_EQ(cbl.entries[0].first, "霧島信房");
  EXPECT_EQ(cbl.entries[0].second, 7);
  EXPECT_EQ(cbl.item3, 60);
  BusyoTable[g].progress = 3;  // now 5
  ItemStock[3] = 70;
  ASSERT_TRUE(UpdateCblData());
  cbl = ReadCbl();
  ASSERT_EQ(cbl.entries.size(), 1u);
  EXPECT_EQ(cbl.entries[0].second, 7);
  EXPECT_EQ(cbl.item3, 99);
  EXPECT_TRUE(boxes.boxes.empty());
  CTenkaList_Busyo ids;
  LoadCblData(ids);
  EXPECT_EQ(ids, CTenkaList_Busyo{g});
}

TEST_F(RecordListsTest, UnknownNamesSurviveAndTheFileHoldsAtMost150) {
  WorldBuilder w;
  CarriedGeneral(w, 5);
  std::vector<std::pair<std::string, int>> entries;
  for (int i = 0; i < kCarriedEntries; ++i) entries.push_back({"無名" + std::to_string(i), i % 100});
  WriteCbl(entries);
  ASSERT_TRUE(UpdateCblData());
  EXPECT_TRUE(boxes.boxes.empty());  // unknown names are kept silently when the file is rewritten
  Cbl cbl = ReadCbl();
  ASSERT_EQ(cbl.entries.size(), size_t(kCarriedEntries));
  EXPECT_EQ(cbl.entries[0].first, "霧島信房");  // found generals first
  EXPECT_EQ(cbl.entries[1].first, "無名0");
  EXPECT_EQ(cbl.entries.back().first, "無名148");
  // Reading names that match no general: -1 after the name box.
  CTenkaList_Busyo ids;
  LoadCblData(ids);
  EXPECT_EQ(ids.size(), size_t(kCarriedEntries));
  EXPECT_EQ(ids[1], -1);
  EXPECT_TRUE(boxes.Has("武将名エラー"));
}

TEST_F(RecordListsTest, CarryOverListMarksCarriedGenerals) {
  WorldBuilder w;
  int g = CarriedGeneral(w, 5);
  int other = w.Busyo("杉原 義久", kNoSiro);
  std::vector<uint8_t> hiki(kHikitugiFileBytes, 0);
  std::memcpy(&hiki[0], "霧島信房", 8);
  hiki[17] = 3;
  std::memcpy(&hiki[21], "杉原義久", 8);
  hiki[21 + 17] = 4;
  ScenarioNumber = 0;
  ASSERT_TRUE(WriteFileScrambled(FixedPath((root.Path() + "/Data/scenario/0/hikitugi.bin").c_str()), hiki.data(),
                                 kHikitugiFileBytes, kWorldTableSeed));
  WriteCbl({{"霧島信房", 1}});
  HikitugiList list;
  CTenkaList_Busyo out;
  BuildHikitugiList(out, list);
  EXPECT_EQ(out, (CTenkaList_Busyo{g, other}));
  EXPECT_EQ(list[g], 10);
  EXPECT_EQ(list[other], 4);
}

TEST_F(RecordListsTest, ItemAndSkillFinders) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  int b = w.Siro(k, "鶴岡", 0);
  w.Clan("霧島");
  int h = w.Busyo("霧島 信房", a);
  int v = w.Busyo("杉原 義久", b);
  int v2 = w.Busyo("千森 政長", b);
  w.Head(0, h);
  w.Place();
  PlayerDaimyoId = 0;
  SkillTable[4].effects[6] = {26, 15};  // skill 5: recruitment 15
  SkillTable[5].effects[6] = {26, 30};  // skill 6: recruitment 30
  BusyoTable[v].cur.skill[2] = 5;
  BusyoTable[v2].cur.skill[0] = 6;
  EXPECT_EQ(FindSiroBusyoWithSkill(0, b, 26), v);
  EXPECT_FALSE(SiroHasBusyoWithSkill(0, a, 26));
  int value = 0;
  EXPECT_EQ(FindKuniBestSkillBusyo(&value, 0, k, 26), v2);
  EXPECT_EQ(value, 30);
  EXPECT_EQ(FindKuniBestSkillBusyo(&value, 0, k, 27), -1);
  EXPECT_EQ(GetDaimyoSkillValue(0, 26), 15);  // the first vassal in slot order who has it
  EXPECT_EQ(GetDaimyoSkillValue(255, 26), 0);
  BusyoTable[h].items[0] = 4;
  BusyoTable[v].items[0] = 4;
  ItemStock[9] = 2;
  std::vector<ItemListRecord> items;
  ListItemsForDetail(items);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].item, 4);
  EXPECT_EQ(items[0].equipped, 2);
  EXPECT_EQ(items[1].item, 9);
  EXPECT_EQ(items[1].stock, 2);
  CTenkaList_Busyo out;
  ListBusyoWithItem(4, out, h);
  EXPECT_EQ(out, CTenkaList_Busyo{v});
}

TEST_F(RecordListsTest, SkillTextsReplaceTheValueLiterally) {
  WorldBuilder w;
  SkillTable[0].effects[6] = {25, 10};
  SkillTable[0].effects[0] = {3, 12};
  SetFieldString(SkillDocTable[24].text[6], 33, "鉄砲が%s割安%n");
  SetFieldString(SkillDocTable[2].text[0], 33, "威力+%s%s");
  EXPECT_EQ(FormatSkillEffectText(1, 6), "鉄砲が10割安%n");
  EXPECT_EQ(FormatSkillEffectText(1, 0), "威力+1212");
  EXPECT_EQ(FormatSkillEffectText(1, 3), "");  // kind 0 has no text
  EXPECT_EQ(FormatSkillEffectText(0, 6), "");  // no skill 0
}

TEST_F(RecordListsTest, SecretContactCandidates) {
  WorldBuilder w;
  const auto [k, h, v, l] = BuildClanAndIndependent(w);
  struct Case {
    int busyo, clan, kizuna, cmdFlags;
    bool expect;
  } cases[] = {
      {v, 1, 0, 0, true}, {v, 0, 0, 0, false},                                              // his own clan
      {v, 1, 4, 0, true}, {v, 1, 2, 0, false},   {v, 1, 0, 8, false}, {h, 1, 1, 0, false},  // a head is never won over
      {l, 1, 0, 0, true}, {l, 255, 0, 0, false},
  };
  for (const Case& c : cases) {
    BusyoTable[c.busyo].kizuna = static_cast<uint8_t>(c.kizuna);
    BusyoTable[c.busyo].cmdFlags = static_cast<uint8_t>(c.cmdFlags);
    EXPECT_EQ(IsSecretContactCandidate(c.busyo, c.clan), c.expect) << c.busyo << " " << c.clan;
  }
  EXPECT_FALSE(IsSecretContactCandidate(0xFFFF, 1));
}

TEST_F(RecordListsTest, NamesPassThroughTheCodeSubstitutionFile) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int s = w.Siro(k, "鷹山", kNoDaimyo);
  w.Busyo("霧島 信房", s);
  // Write the scenario, then a substitution of 霧 (0x96 0xB6) by 雲 (0x89 0x5F).
  struct File {
    const char* rel;
    const void* data;
    int32_t bytes;
  } files[] = {{"/Data/scenario/0/kuni21.bin", KuniTable, kKuniFileBytes},
               {"/Data/scenario/0/siro21.bin", SiroTable, kSiroFileBytes},
               {"/Data/scenario/0/daimyo21.bin", DaimyoTable, kDaimyoFileBytes},
               {"/Data/scenario/0/busyo2.bin", BusyoTable, kBusyoFileBytes},
               {"/Data/scenario/0/doku21.bin", DokuBusyoList, kDokuFileBytes},
               {"/Data/scenario/common/skill.bin", SkillTable, kSkillFileBytes},
               {"/Data/scenario/common/skillDoc.bin", SkillDocTable, kSkillDocFileBytes},
               {"/Data/scenario/common/item.bin", ItemTable, kItemFileBytes}};
  for (const File& f : files)
    ASSERT_TRUE(WriteFileScrambled(FixedPath((root.Path() + f.rel).c_str()), f.data, f.bytes, kWorldTableSeed));
  const uint8_t scode[8] = {0xB6, 0x96, 0, 0, 0x5F, 0x89, 0, 0};
  ASSERT_TRUE(WriteWholeFile(FixedPath((root.Path() + "/sys/scodeDef.bin").c_str()), scode, 8));
  ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(0).c_str()));
  EXPECT_STREQ(GetBusyoName(0), "雲島 信房");
}

}  // namespace
