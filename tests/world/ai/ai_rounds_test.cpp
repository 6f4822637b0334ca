// Every AI routine in turn over the full sample world, round after round, with the world checked
// after each routine. The war phase is not part of this test (the soak of the whole turn covers
// it): marches are called off at the end of each round as if the armies came home.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/game_file.h"
#include "tests/world/ai/ai_test_support.h"
#include "world/ai/ai_common.h"
#include "world/scenario_tables.h"
#include "world/ai/ai_entry.h"

namespace {

struct CountingScene : ScriptedSlgScene {
  int alliances = 0, breaks = 0;
  void ShowMessage(const char* text, int kind, bool immediate) override {
    std::string t = text ? text : "";
    if (t.find("同盟を結びました") != std::string::npos) ++alliances;
    if (t.find("同盟を破棄しました") != std::string::npos) ++breaks;
    ScriptedSlgScene::ShowMessage(text, kind, immediate);
  }
};

// The season's totals that the turn engine keeps (holders, revenues, soldier totals).
void RecalcTotals() {
  for (int k = 0; k < kKuniCount; ++k) {
    KuniTable[k].holder = kNoDaimyo;
    for (int c = 0; c < kDaimyoInPlay && KuniTable[k].holder == kNoDaimyo; ++c)
      if (GetDaimyoKuniShare(k, c) >= 80) KuniTable[k].holder = static_cast<uint8_t>(c);
  }
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    int revenue = 0;
    for (int k = 0; k < kKuniCount; ++k) revenue += KuniTable[k].land * GetDaimyoKuniShare(k, c) / 100;
    DaimyoTable[c].revenue = static_cast<uint16_t>(std::min(revenue, 65535));
    DaimyoTable[c].soldiers = static_cast<uint16_t>(SumDaimyoSoldiers(c));
    DaimyoTable[c].cp = 6;
    AddDaimyoMoney(c, 300);
  }
}

class AiRoundsTest : public WorldTest {
 protected:
  void Check(const char* where, int round) {
    std::vector<std::string> problems = CollectWorldProblems();
    ASSERT_TRUE(problems.empty()) << where << " round " << round << ": " << problems.front();
    for (int c = 0; c < kDaimyoSlots; ++c) ASSERT_LE(DaimyoTable[c].money, 65535);
    for (int g = 0; g < kBusyoCount; ++g) {
      ASSERT_LE(BusyoTable[g].soldiers, 50) << where << " general " << g;
      ASSERT_LE(BusyoTable[g].guns, std::max<int>(BusyoTable[g].soldiers, 10)) << where << " general " << g;
    }
    for (int s = 0; s < kSiroCount; ++s) {
      if (!IsSiroInUse(s)) continue;
      const SiroRecord& r = SiroTable[s];
      // A castle's garrison is its owner's (independents in independent castles).
      if (r.list1[0].slot != kNoSlot) {
        ASSERT_EQ(r.list1[0].force, r.owner) << where << " castle " << s;
      }
    }
    ASSERT_TRUE(boxes.boxes.empty()) << where << ": " << boxes.boxes.front().text;
  }
};

TEST_F(AiRoundsTest, TwentyRoundsOfEveryRoutineKeepTheSampleWorldClean) {
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  ASSERT_TRUE(LoadScenarioTables(ScenarioDirectory(0).c_str()));
  CountingScene scene;
  SetSlgScenePort(&scene);
  SetGameRandState(12345);
  PlayerDaimyoId = 0;
  NoKakuuSiroFlag = 1;  // the player's clan is played by the rules
  FirstTurnFlag = 0;
  ActingSideFlag = 1;
  ResolveKuniNameTables();
  for (int k = 0; k < kKuniCount; ++k) KuniTable[k].eventState = 255;
  Check("load", 0);
  for (int round = 0; round < 20; ++round) {
    SeasonIndex = static_cast<uint8_t>(round % 4);
    RecalcTotals();
    for (int c = 0; c < kDaimyoInPlay; ++c) {
      if (!IsDaimyoAlive(c)) continue;
      AiChooseMilitaryTargets(c);
      AiMilitaryThink(c);
    }
    Check("military", round);
    for (int c = 0; c < kDaimyoInPlay; ++c) ASSERT_GT(RunSteps([c] { AiPoliticsThink(c); }), 0);
    Check("politics", round);
    ASSERT_GT(RunSteps([] { AiPoach(); }), 0);
    Check("poach", round);
    for (int c = 0; c < kDaimyoInPlay; ++c) ASSERT_GT(RunSteps([c] { AiStrategyThink(c); }), 0);
    Check("strategy", round);
    ASSERT_GT(RunSteps([] { IndependentForcesThink(); }), 0);
    Check("independents", round);
    ASSERT_GT(RunSteps([] { RunRandomEvents(); }), 0);
    Check("events", round);
    ASSERT_GT(RunSteps([] { RunSuccession(); }), 0);
    Check("succession", round);
    int marching = 0;
    for (int g = 0; g < kBusyoCount; ++g) {
      marching += BusyoTable[g].marchFlag == 1;
      if (BusyoTable[g].marchFlag == 1) {
        BusyoTable[g].marchFlag = 0;
        BusyoTable[g].siro2 = kNoSiro;
      }
    }
    if (round > 0) {
      EXPECT_GT(marching, 0) << "round " << round;
    }
  }
  EXPECT_GT(scene.alliances, 0);
  SetSlgScenePort(nullptr);
}

}  // namespace
