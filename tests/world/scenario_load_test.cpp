#include <cstring>
#include <random>

#include "core/file_io.h"
#include "core/game_file.h"
#include "world/record_lists.h"
#include "world/world_file.h"
#include "world_fixture.h"

namespace {

struct TableFile {
  const char* name;
  bool common;
  void* data;
  int32_t bytes;
};

std::vector<TableFile> TableFiles() {
  return {{"kuni21.bin", false, KuniTable, kKuniFileBytes},          {"siro21.bin", false, SiroTable, kSiroFileBytes},
          {"daimyo21.bin", false, DaimyoTable, kDaimyoFileBytes},    {"busyo2.bin", false, BusyoTable, kBusyoFileBytes},
          {"doku21.bin", false, DokuBusyoList, kDokuFileBytes},      {"skill.bin", true, SkillTable, kSkillFileBytes},
          {"skillDoc.bin", true, SkillDocTable, kSkillDocFileBytes}, {"item.bin", true, ItemTable, kItemFileBytes}};
}

std::string FilePath(const v4test::TempFolder& root, const TableFile& f, int scenario) {
  return root.Path() + (f.common ? "/Data/scenario/common/" : "/Data/scenario/" + std::to_string(scenario) + "/") +
         f.name;
}

// Writes the tables in memory as scenario `scenario` under root, scrambled as the game reads them.
void WriteTables(const v4test::TempFolder& root, int scenario) {
  for (const TableFile& f : TableFiles())
    ASSERT_TRUE(WriteFileScrambled(FixedPath(FilePath(root, f, scenario).c_str()), f.data, f.bytes, kWorldTableSeed));
  ASSERT_TRUE(SetModuleDirFromHost(root.Path()));
}

class ScenarioLoadTest : public WorldTest {
 protected:
  void TearDown() override {
    SetModuleDir("/");
    WorldTest::TearDown();
  }
  // A small world: two countries, a clan in each, one independent castle.
  void BuildSmallWorld() {
    WorldBuilder w;
    int k0 = w.Kuni("尾張");
    int a = w.Siro(k0, "鷹山", 0, 3);
    int b = w.Siro(k0, "鶴岡", kNoDaimyo, 1);
    int k1 = w.Kuni("美濃");
    int c = w.Siro(k1, "亀森", 1, 2);
    w.Road(a, b);
    w.Road(b, c);
    w.Clan("霧島");
    w.Clan("杉原");
    w.Head(0, w.Busyo("霧島 信房", a));
    w.Head(1, w.Busyo("杉原 義久", c));
    w.Busyo("千森 政長", b);
    w.Busyo("萩原 元忠", a);
    SetFieldString(SkillTable[0].text, sizeof SkillTable[0].text, "一行目\\二行目");
  }
};

TEST_F(ScenarioLoadTest, TablesRoundTripAndPlacementIsRebuilt) {
  BuildSmallWorld();
  BusyoTable[3].stage = 2;  // current stats come from the block of his stage
  BusyoTable[3].stageBlock[1].stat[0] = 88;
  v4test::TempFolder root;
  WriteTables(root, 3);
  BusyoTable[0].kind = 77;  // overwritten by the load
  ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(3).c_str()));
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text;
  EXPECT_STREQ(GetBusyoName(0), "霧島 信房");
  EXPECT_EQ(BusyoTable[0].kind, 1);
  EXPECT_STREQ(GetSiroName(1, true), "鶴岡城");
  EXPECT_EQ(FindForceSlot(0, 0), 0);  // the head in slot 0
  EXPECT_EQ(DaimyoTable[0].vassals[1], 3);
  EXPECT_EQ(DokuBusyoList[0], 2);  // the independent
  EXPECT_EQ(SiroTable[1].lord, 0);
  EXPECT_EQ(BusyoTable[0].kizuna, 1);  // heads are bonded
  EXPECT_EQ(BusyoTable[0].appearYear, 255);
  EXPECT_STREQ(SkillTable[0].text, "一行目\n二行目");
  EXPECT_EQ(BusyoTable[3].cur.stat[0], 88);
  ExpectClean();
}

TEST_F(ScenarioLoadTest, AStartSlotIsLoadedOnceInsteadOfANewGame) {
  struct Rules : SlgRulesPort {
    std::vector<int> slots;
    bool LoadGameSlot(int slot) override {
      slots.push_back(slot);
      return true;
    }
  } rules;
  SetSlgRulesPort(&rules);
  StartSlot = 5;
  ActingSideFlag = 1;
  BeginGameOrLoad();
  EXPECT_EQ(rules.slots, std::vector<int>{5});
  EXPECT_EQ(ActingSideFlag, 0);
  EXPECT_EQ(StartSlot, -1);
}

TEST_F(ScenarioLoadTest, MissingOrShortTableFailsTheLoad) {
  for (const TableFile& f : TableFiles()) {
    for (bool missing : {true, false}) {
      BuildSmallWorld();
      v4test::TempFolder root;
      WriteTables(root, 0);
      std::string path = FilePath(root, f, 0);
      if (missing) {
        std::filesystem::remove(path);
      } else {
        std::filesystem::resize_file(path, static_cast<uintmax_t>(f.bytes - 1));
      }
      boxes.boxes.clear();
      EXPECT_FALSE(LoadScenarioTables(ScenarioDirectory(0).c_str())) << f.name;
      ASSERT_FALSE(boxes.boxes.empty()) << f.name;
      EXPECT_EQ(boxes.boxes[0].title, "FILE LOAD ERROR");
      EXPECT_NE(boxes.boxes[0].text.find(f.name), std::string::npos);
      // No half-loaded world: no castle is in use and no clan holds anyone.
      for (int s = 0; s < kSiroSlots; ++s) ASSERT_FALSE(IsSiroInUse(s)) << f.name;
      EXPECT_TRUE(CollectWorldProblems().empty()) << f.name;
    }
  }
}

TEST_F(ScenarioLoadTest, CorruptTablesNeverCrashTheLoad) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    BuildSmallWorld();
    v4test::TempFolder root;
    // Garbage of the right sizes: every id and count in the files is untrusted.
    for (const TableFile& f : TableFiles()) {
      std::vector<uint8_t> junk(static_cast<size_t>(f.bytes));
      for (uint8_t& b : junk) b = static_cast<uint8_t>(round % 2 ? rng() : (rng() % 4 ? 0xFF : rng()));
      ASSERT_TRUE(WriteWholeFile(FixedPath(FilePath(root, f, 0).c_str()), junk.data(), f.bytes));
    }
    ASSERT_TRUE(SetModuleDirFromHost(root.Path()));
    SiroCheckReported = 0;
    EXPECT_TRUE(LoadScenarioTables(ScenarioDirectory(0).c_str()));
    CollectWorldProblems();
    for (int g = 0; g < kBusyoCount; ++g) GetBusyoName(g);
    for (int k = 0; k < kKuniCount; ++k) GetDaimyoKuniShare(k, 0);
  }
}

TEST_F(ScenarioLoadTest, PlacementFaultsAreReportedAndRepaired) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  int b = w.Siro(k, "鶴岡", 0);
  w.Road(a, b, false);  // a road from a to b only
  ASSERT_FALSE(IsSiroLinkOpen(b, a));
  w.Clan("霧島");
  std::vector<int> g;
  for (int i = 0; i < 5; ++i) g.push_back(w.Busyo("千森 政長", b));
  int head = w.Busyo("霧島 信房", a);  // vassal slot 5 by scan order
  w.Head(0, head);
  int lost = w.Busyo("杉原 義久", 300);  // castle slot not in use
  w.Place();
  // The head moved to slot 0; the general who held slot 0 took slot 5, in the list and the castle.
  EXPECT_EQ(DaimyoTable[0].vassals[0], head);
  EXPECT_EQ(DaimyoTable[0].vassals[5], g[0]);
  EXPECT_EQ(SiroTable[a].list1[0].slot, 0);
  for (int i = 0; i < 5; ++i) EXPECT_LT(SiroTable[b].list1[i].slot, SiroTable[b].list1[i + 1].slot);  // sorted
  // The road now runs both ways.
  EXPECT_TRUE(IsSiroLinkOpen(a, b));
  EXPECT_TRUE(IsSiroLinkOpen(b, a));
  // The general of the unused castle is reported and unplaced.
  EXPECT_EQ(BusyoTable[lost].siro, kNoSiro);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "SLGデータエラー");
  EXPECT_NE(boxes.boxes[0].text.find("の配置城"), std::string::npos);
  ExpectClean();
}

TEST_F(ScenarioLoadTest, SeventhGeneralIsReportedAndNotStationed) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  w.Clan("霧島");
  w.Head(0, w.Busyo("霧島 信房", a));
  for (int i = 0; i < 6; ++i) w.Busyo("千森 政長", a);
  w.Place();
  EXPECT_EQ(CountSiroBusyo(a), 6);
  EXPECT_TRUE(boxes.Has("SLG_DATA_ERR"));
  EXPECT_EQ(CountDaimyoBusyo(0), 7);  // he stays in the clan's vassal list
  EXPECT_EQ(GetBusyoSiroEntry(6), kNoSlot);
}

TEST(EscapeConversion, LeadBytesAreNeverSplit) {
  struct Case {
    const char* in;
    const char* lf;  // single backslash form
    const char* nl;  // "\n" form
  } cases[] = {
      {"a\\b", "a\nb", "a\\b"},
      {"a\\nb", "a\nnb", "a\nb"},
      {"ソ\\", "ソ\n", "ソ\\"},  // ソ is 83 5C: its trail byte stays
      {"表n", "表n", "表n"},     // 表 is 95 5C: "5C 6E" is no escape
      {"表\\n表", "表\nn表", "表\n表"},
  };
  for (const Case& c : cases) {
    char a[16] = {}, b[16] = {};
    std::strcpy(a, c.in);
    std::strcpy(b, c.in);
    ConvertBackslashToLf(a, sizeof a);
    ConvertEscapedNewlines(b, sizeof b);
    EXPECT_STREQ(a, c.lf);
    EXPECT_STREQ(b, c.nl);
  }
  char full[4] = {'\\', '\\', '\\', '\\'};  // unterminated field: bounded
  ConvertBackslashToLf(full, sizeof full);
  EXPECT_EQ(0, std::memcmp(full, "\n\n\n\n", 4));
}

TEST(StartYear, ByScenario) {
  struct Case {
    int scenario, year;
  } cases[] = {{0, 1550}, {1, 1580}, {2, 1550}, {3, 1580}, {4, 1550}, {5, -1}, {-1, -1}};
  for (const Case& c : cases) EXPECT_EQ(ScenarioStartYear(c.scenario), c.year) << c.scenario;
}

// The sample world built into the game folder loads clean with the program's own loader.
TEST_F(ScenarioLoadTest, SampleScenariosAreClean) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  for (int n : {0, 1}) {
    boxes.boxes.clear();
    SiroCheckReported = 0;
    ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(n).c_str())) << n;
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().title << ": " << boxes.boxes.front().text;
    ExpectClean();
    int castles = 0, placed = 0, clans = 0;
    for (int s = 0; s < kSiroSlots; ++s) {
      castles += IsSiroInUse(s);
      EXPECT_LE(CountSiroBusyo(s), 6);
    }
    for (int g = 0; g < NullBusyoId; ++g) placed += BusyoTable[g].siro != kNoSiro;
    for (int c = 0; c < kDaimyoInPlay; ++c) clans += DaimyoTable[c].head < NullBusyoId;
    for (int k = 0; k < kKuniCount; ++k) {
      EXPECT_NE(KuniTable[k].name[0], 0) << k;
      EXPECT_GT(CountKuniSiro(k), 0) << k;
      EXPECT_LT(KuniTable[k].region, 10) << k;
    }
    EXPECT_STREQ(GetKuniName(33), "山城");
    EXPECT_EQ(castles, 400);
    EXPECT_GT(placed, 1000);
    EXPECT_GE(clans, n == 0 ? 60 : 30);
    EXPECT_NE(SkillTable[0].name[0], 0);
    EXPECT_NE(ItemTable[0].name[0], 0);
    HikitugiList carry;
    ScenarioNumber = n;
    ASSERT_TRUE(LoadHikitugi(carry));
    EXPECT_FALSE(carry.empty());
    EXPECT_EQ(carry.count(-1), 0u);
    EXPECT_TRUE(boxes.boxes.empty());
  }
  ScenarioNumber = 0;
  ASSERT_TRUE(LoadWorldSystemTable());
  EXPECT_GT(SystemTableWord(0), 0);
}

TEST_F(ScenarioLoadTest, StartNewGameSetsTheNewGameState) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  struct Rules : SlgRulesPort {
    int recalcs = 0;
    void RecalcDaimyoTotals(int flag) override { recalcs += flag == 1; }
  } rules;
  SetSlgRulesPort(&rules);
  ScenarioNumber = 1;
  PreferredStartDaimyo = 3;
  ASSERT_TRUE(StartNewGame());
  EXPECT_EQ(GameYear, 1550);
  EXPECT_EQ(SeasonIndex, 3);
  EXPECT_EQ(ActingSideFlag, 1);
  EXPECT_EQ(PlayerDaimyoId, 3);
  EXPECT_EQ(CurrentKuniId, GetDaimyoHomeKuni(3));
  EXPECT_EQ(rules.recalcs, 1);
  for (int d = kDaimyoInPlay; d < kDaimyoSlots; ++d) EXPECT_EQ(DaimyoTable[d].head, kNoBusyo);
  ExpectClean();
  PreferredStartDaimyo = -1;
  ScenarioNumber = 0;
}

}  // namespace
