// Small hand-made worlds for the world tests, and a recorder for the error boxes.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

#include "core/error_box.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_folder.h"
#include "world/scenario_tables.h"
#include "world/placement.h"
#include "world/world_check.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

// Builds a world directly in the global tables. Castles of one country must be added together
// (a country's castles are consecutive ids).
class WorldBuilder {
 public:
  WorldBuilder() {
    ResetToEmptyWorld();
    std::memset(BusyoFlagTable, 0, sizeof BusyoFlagTable);
    PlayerDaimyoId = 0;
    NoKakuuSiroFlag = 0;
    SiroCheckReported = 0;
    SiroCheckSwitch = 1;
  }

  int Kuni(const char* name) {
    int id = nextKuni_++;
    SetFieldString(KuniTable[id].name, kKuniNameLen, name);
    KuniTable[id].firstSiro = 0xFFFF;
    KuniTable[id].lastSiro = 0;
    KuniTable[id].eventState = 255;
    return id;
  }
  int Siro(int kuni, const char* name, int owner, int level = 1) {
    int id = nextSiro_++;
    SiroRecord& s = SiroTable[id];
    SetFieldString(s.name, kSiroNameLen, name);
    s.kuni = static_cast<uint8_t>(kuni);
    s.owner = static_cast<uint8_t>(owner);
    s.lord = static_cast<uint8_t>(owner);
    s.level = static_cast<uint8_t>(level);
    KuniRecord& k = KuniTable[kuni];
    if (k.firstSiro == 0xFFFF) k.firstSiro = static_cast<uint16_t>(id);
    k.lastSiro = static_cast<uint16_t>(id);
    return id;
  }
  void Road(int a, int b, bool bothWays = true) {
    Link(a, b, true);
    Link(b, a, bothWays);  // one-way: b names a as a neighbour without the road bit
    int ka = SiroTable[a].kuni, kb = SiroTable[b].kuni;
    if (ka != kb) {
      AddKuniNeighbour(ka, kb);
      AddKuniNeighbour(kb, ka);
    }
  }
  int Clan(const char* name) {
    int id = nextClan_++;
    SetFieldString(DaimyoTable[id].name, kDaimyoNameLen, name);
    return id;
  }
  int Busyo(const char* name, int siro, int kind = 1) {
    int id = nextBusyo_++;
    BusyoRecord& b = BusyoTable[id];
    SetFieldString(b.name, kBusyoNameLen, name);
    b.siro = static_cast<uint16_t>(siro);
    b.kind = static_cast<uint16_t>(kind);
    b.stage = 1;
    b.soldiers = 10;
    b.loyalty = 10;
    b.appearKuni = kNoKuni;
    b.appearDaimyo = kNoDaimyo;
    b.contactDaimyo = 0xFFFF;
    return id;
  }
  void Head(int clan, int busyo) { DaimyoTable[clan].head = static_cast<uint16_t>(busyo); }
  // Builds slots and stationing from the castle fields, as the scenario load does.
  void Place() { RebuildPlacement(); }

 private:
  static void Link(int a, int b, bool road) {
    for (int i = 0; i < 5; ++i)
      if (SiroTable[a].neighbours[i] == kNoSiro || SiroTable[a].neighbours[i] == b) {
        SiroTable[a].neighbours[i] = static_cast<uint16_t>(b);
        if (road) SiroTable[a].links[i] |= 1;
        return;
      }
  }
  static void AddKuniNeighbour(int a, int b) {
    for (uint8_t& n : KuniTable[a].neighbours) {
      if (n == b) return;
      if (n == kNoKuni) {
        n = static_cast<uint8_t>(b);
        return;
      }
    }
  }
  int nextKuni_ = 0, nextSiro_ = 0, nextClan_ = 0, nextBusyo_ = 0;
};

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorBoxPresenter(&boxes); }
  void TearDown() override {
    SetErrorBoxPresenter(nullptr);
    SetSlgScenePort(nullptr);
    SetBattlePort(nullptr);
    SetSlgRulesPort(nullptr);
  }
  void ExpectClean() {
    std::vector<std::string> problems = CollectWorldProblems();
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
  }
  v4test::RecordingBoxes boxes;
};
