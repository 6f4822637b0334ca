// Faults found on a second reading of the world code: what a new world keeps, bonded loyalty,
// generals who find no list entry, and a start slot that cannot be loaded.
#include <string>

#include "core/game_file.h"
#include "world/record_lists.h"
#include "world_fixture.h"

namespace {

using SecondReadingTest = WorldTest;

TEST_F(SecondReadingTest, ClearingTheWorldEmptiesTheEventMapAndTheGeneralsFlags) {
  RegisterSlgEvent(12, "千森 政長", 1, 0);
  BusyoFlagTable[7] = 3;
  ClearWorldTables();
  EXPECT_TRUE(SlgEventMap.empty());
  EXPECT_EQ(BusyoFlagTable[7], 0);
  std::vector<uint32_t> keys;
  ListSlgEventKeys(keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(NoVisitableBusyo());
}

TEST_F(SecondReadingTest, LoyaltyChangesKeepTheBondedMarker) {
  WorldBuilder w;
  int k = w.Kuni("尾張");
  int a = w.Siro(k, "鷹山", 0);
  w.Clan("霧島");
  int bonded = w.Busyo("霧島 信房", a);
  int plain = w.Busyo("千森 政長", a);
  w.Place();
  SetBusyoKizuna(bonded, true);
  ASSERT_EQ(BusyoTable[bonded].loyalty, kBondedLoyalty);
  struct Case {
    const char* what;
    void (*change)(uint32_t);
    int plainAfter;  // from 10
  };
  const Case cases[] = {
      {"set 5", [](uint32_t g) { SetBusyoLoyalty(g, 5); }, 5},
      {"set 99", [](uint32_t g) { SetBusyoLoyalty(g, 99); }, 16},
      {"add +3", [](uint32_t g) { AddBusyoLoyalty(g, 3); }, 13},
      {"add -20", [](uint32_t g) { AddBusyoLoyalty(g, -20); }, 1},
  };
  for (const Case& c : cases) {
    BusyoTable[plain].loyalty = 10;
    c.change(static_cast<uint32_t>(bonded));
    c.change(static_cast<uint32_t>(plain));
    EXPECT_EQ(BusyoTable[bonded].loyalty, kBondedLoyalty) << c.what;
    EXPECT_EQ(BusyoTable[plain].loyalty, c.plainAfter) << c.what;
  }
  // Enough decays that a plain general surely loses some; the bonded one keeps his marker.
  BusyoTable[plain].loyalty = 16;
  for (int i = 0; i < 400; ++i) {
    DecayBusyoLoyalty(bonded);
    DecayBusyoLoyalty(plain);
  }
  EXPECT_EQ(BusyoTable[bonded].loyalty, kBondedLoyalty);
  EXPECT_LT(BusyoTable[plain].loyalty, 16);
  EXPECT_GE(BusyoTable[plain].loyalty, 1);
  EXPECT_TRUE(IsBusyoLoyaltyFixed(bonded));
}

// One general more than a list holds: he is reported and left without a castle, not kept in a
// castle that does not list him.
TEST_F(SecondReadingTest, AGeneralWithNoFreeListEntryIsReported) {
  struct Case {
    bool independent;
    const char* says;
  };
  for (const Case& c : {Case{true, "浪人の枠が一杯です"}, Case{false, "家臣枠が一杯です"}}) {
    boxes.boxes.clear();
    WorldBuilder w;
    int k = w.Kuni("尾張");
    int owner = c.independent ? kNoDaimyo : 0;
    int a = w.Siro(k, "鷹山", owner);
    w.Clan("霧島");
    int first = -1, last = -1;
    for (int i = 0; i < kDokuSlots + 1; ++i) {
      last = w.Busyo("千森 政長", a);
      if (first < 0) first = last;
    }
    if (!c.independent) w.Head(0, first);
    w.Place();
    EXPECT_EQ(BusyoTable[last].siro, kNoSiro) << c.says;
    EXPECT_EQ(BusyoTable[last - 1].siro, a) << c.says;
    bool told = false;
    for (const v4test::RecordedBox& b : boxes.boxes)
      told = told || (b.title == "SLGデータエラー" && b.text.find(c.says) != std::string::npos);
    EXPECT_TRUE(told) << c.says;
  }
}

TEST_F(SecondReadingTest, AStartSlotThatCannotBeLoadedIsReportedAndANewGameStarts) {
  struct Rules : SlgRulesPort {
    int tried = -1;
    bool LoadGameSlot(int slot) override {
      tried = slot;
      return false;
    }
  } rules;
  SetSlgRulesPort(&rules);
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  ScenarioNumber = 0;
  StartSlot = 7;
  GameYear = 0;
  BeginGameOrLoad();
  EXPECT_EQ(rules.tried, 7);
  EXPECT_EQ(StartSlot, -1);
  EXPECT_TRUE(boxes.Has("SLGデータエラー"));
  EXPECT_EQ(GameYear, 1550) << "the scenario started instead";
  SetModuleDir("/");
}

// The built sample world: no general's stats fall when he rises a stage, and every carry-over entry
// has a real cost.
TEST_F(SecondReadingTest, SampleWorldStagesNeverFallAndCarryOversHaveValues) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  for (int n : {0, 1}) {
    ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(n).c_str())) << n;
    int falls = 0, headsChecked = 0;
    std::string first;
    for (int g = 0; g < NullBusyoId; ++g) {
      const BusyoRecord& b = BusyoTable[g];
      for (int i = 0; i < 4; ++i)
        for (int st = 1; st < 3; ++st)
          if (b.stageBlock[st].stat[i] < b.stageBlock[st - 1].stat[i]) {
            if (first.empty())
              first = std::string(GetBusyoName(g)) + " stat " + std::to_string(i) + " stage " + std::to_string(st + 1);
            ++falls;
          }
    }
    for (int c = 0; c < kDaimyoInPlay; ++c) headsChecked += DaimyoTable[c].head < NullBusyoId;
    EXPECT_EQ(falls, 0) << "scenario " << n << ": " << first;
    EXPECT_GT(headsChecked, 0);
    HikitugiList carry;
    ScenarioNumber = n;
    ASSERT_TRUE(LoadHikitugi(carry));
    ASSERT_FALSE(carry.empty());
    for (const auto& [id, value] : carry) {
      EXPECT_GE(HikitugiCost(value), 1) << "scenario " << n << " general " << id;
      EXPECT_LE(HikitugiCost(value), 99) << "scenario " << n << " general " << id;
      EXPECT_LT(HikitugiPage(value), 3) << "the dialog has three tabs; scenario " << n << " general " << id;
    }
  }
  ScenarioNumber = 0;
  SetModuleDir("/");
}

}  // namespace
