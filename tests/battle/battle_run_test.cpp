#include <cstring>
#include <set>
#include <string>

#include "core/frame_wait.h"
#include "world/turn/save_register.h"

#include "battle_fixture.h"

namespace {

class BattleRunTest : public BattleWorldTest {
 protected:
  // Every general of the fixture stands in exactly one place: one stationing entry or none
  // (removed from play), never two.
  void ExpectEveryGeneralOnce() {
    ExpectClean();
    for (int g : att) {
      int entries = 0;
      for (int s = 0; s < kSiroCount; ++s)
        if (IsSiroInUse(s))
          for (const SiroBusyoRef* list : {SiroTable[s].list1, SiroTable[s].list2})
            for (int i = 0; i < kSiroListLen; ++i)
              entries += list[i].slot != kNoSlot && GetForceSlotBusyo(list[i].force, list[i].slot) == g;
      EXPECT_LE(entries, 1) << g;
      EXPECT_EQ(BusyoTable[g].marchFlag, 0) << g;
    }
  }
};

TEST_F(BattleRunTest, HiddenBattleRunsToTheEndAndWritesTheWorld) {
  Build({30, 30, 30}, {10, 8});
  SetGameRandState(12345);
  int frames = DriveBattle(target);
  ASSERT_GT(frames, 0);
  EXPECT_EQ(g_Battle.mode, 0);
  EXPECT_EQ(StationedCount(target, true), 0) << "no general is left marching on the castle";
  if (g_Battle.outcome == 1) {
    EXPECT_EQ(SiroTable[target].owner, clanA);
    for (const SiroBusyoRef& r : SiroTable[target].list1)
      if (r.slot != kNoSlot) {
        EXPECT_EQ(r.force, clanA);
      }
  } else {
    EXPECT_EQ(SiroTable[target].owner, clanD);
    EXPECT_EQ(StationedCount(home), static_cast<int>(att.size()));
  }
  ExpectEveryGeneralOnce();
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(BattleRunTest, TheSameSeedFightsTheSameBattle) {
  Build({25, 20, 15, 12}, {20, 18, 9});
  std::vector<uint8_t> busyo(sizeof BusyoTable), siro(sizeof SiroTable), daimyo(sizeof DaimyoTable);
  std::memcpy(busyo.data(), BusyoTable, busyo.size());
  std::memcpy(siro.data(), SiroTable, siro.size());
  std::memcpy(daimyo.data(), DaimyoTable, daimyo.size());
  auto fight = [&] {
    std::memcpy(BusyoTable, busyo.data(), busyo.size());
    std::memcpy(SiroTable, siro.data(), siro.size());
    std::memcpy(DaimyoTable, daimyo.data(), daimyo.size());
    ResetBattle();
    SetGameRandState(777);
    EXPECT_GT(DriveBattle(target), 0);
    std::vector<uint8_t> after(sizeof BusyoTable + sizeof SiroTable);
    std::memcpy(after.data(), BusyoTable, sizeof BusyoTable);
    std::memcpy(after.data() + sizeof BusyoTable, SiroTable, sizeof SiroTable);
    return after;
  };
  std::vector<uint8_t> first = fight();
  uint32_t state = GetGameRandState();
  EXPECT_TRUE(fight() == first);
  EXPECT_EQ(GetGameRandState(), state);
}

TEST_F(BattleRunTest, InvolvementOfThePlayer) {
  Build({20}, {20});
  struct Case {
    const char* name;
    int owner, attacker, playerCastleInCountry, turnLimit, option, expected;
  };
  const Case cases[] = {
      {"two other clans far away", clanD, clanA, 0, 0, 0, 0},
      {"two other clans in the player's country", clanD, clanA, 1, 0, 0, 1},
      {"the player defends", clanP, clanA, 0, 0, 0, 2},
      {"the player attacks", clanD, clanP, 0, 0, 0, 2},
      {"the player attacks, automatic battles", clanD, clanP, 0, 0, 1, 1},
      {"the player attacks, ask each time", clanD, clanP, 0, 0, 2, 2},
      {"turn limit", clanD, clanP, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SiroTable[target].owner = static_cast<uint8_t>(c.owner);
    SiroTable[target].list2[0].force = static_cast<uint8_t>(c.attacker);
    SiroTable[refuge].owner = static_cast<uint8_t>(c.playerCastleInCountry ? clanP : clanD);
    g_BattleConfig.turnLimit = c.turnLimit;
    g_BattleConfig.startOption = c.option;
    EXPECT_EQ(DecideBattleMode(target), c.expected) << c.name;
  }
}

TEST_F(BattleRunTest, RostersCommanderAndStartMorale) {
  Build({20, 20, 20}, {20, 20});
  // The clan head is the attackers' commander even with the lowest stat.
  BusyoTable[att[0]].cur.stat[0] = 1;
  BusyoTable[att[1]].cur.stat[0] = 90;
  BusyoTable[def[1]].contactDaimyo = static_cast<uint16_t>(clanA);  // half morale: his former clan attacks
  g_Battle.targetSiro = static_cast<uint16_t>(target);
  g_Battle.siegeOrder = kOrderStorm;  // left by the last battle's siege
  BattleBuildRosters();
  EXPECT_EQ(g_Battle.siegeOrder, 0) << "a new battle starts on the field, not in a siege";
  const BattleSide& a = g_Battle.sides[g_Battle.attackerSide];
  const BattleSide& d = g_Battle.sides[g_Battle.defenderSide];
  EXPECT_EQ(g_Battle.attackerSide, 0);
  EXPECT_EQ(g_Battle.laneCount, 3);
  EXPECT_EQ(a.units[0].commander, 1);
  EXPECT_EQ(a.commanderStat, 1);
  EXPECT_EQ(a.units[1].commander, 0);
  // 3 x (stat1 + commander stat) / 5 + clan morale.
  EXPECT_EQ(a.units[1].morale, 3 * (90 + 1) / 5 + 80);
  int full = 3 * (48 + d.commanderStat) / 5 + 70;
  EXPECT_EQ(d.units[1].morale, full * 50 / 100);
  EXPECT_EQ(d.clan, clanD);
  EXPECT_EQ(a.clan, clanA);
  EXPECT_EQ(g_Battle.roadLinked, 1);
  EXPECT_EQ(a.startMorale, a.morale);
}

TEST_F(BattleRunTest, WeatherBandsAndForcedWeather) {
  const int draws[][2] = {{0, 0}, {59, 0}, {60, 1}, {89, 1}, {90, 2}, {99, 2}};
  for (const auto& d : draws) {
    ScriptedDraws s({d[0]});
    DrawBattleWeather();
    EXPECT_EQ(g_Battle.weather, d[1]) << d[0];
  }
  g_BattleConfig.debugWeather = 2;
  ScriptedDraws s({0});
  DrawBattleWeather();
  EXPECT_EQ(g_Battle.weather, 2);
}

TEST_F(BattleRunTest, LaneCountFollowsTheSizeClass) {
  Build({20}, {20});
  const int expected[] = {2, 3, 5, 5};
  for (int size = 0; size < 4; ++size) {
    SiroTable[target].battlefield = static_cast<uint8_t>(size);
    g_Battle.targetSiro = static_cast<uint16_t>(target);
    BattleBuildRosters();
    EXPECT_EQ(g_Battle.laneCount, expected[size]) << size;
  }
}

TEST_F(BattleRunTest, InvariantsOverManySeeds) {
  Build({30, 25, 20, 15}, {28, 22, 10});
  // Snapshot the world so every seed starts from it.
  std::vector<uint8_t> busyo(sizeof BusyoTable), siro(sizeof SiroTable), daimyo(sizeof DaimyoTable);
  std::memcpy(busyo.data(), BusyoTable, busyo.size());
  std::memcpy(siro.data(), SiroTable, siro.size());
  std::memcpy(daimyo.data(), DaimyoTable, daimyo.size());
  std::set<int> outcomes;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    std::memcpy(BusyoTable, busyo.data(), busyo.size());
    std::memcpy(SiroTable, siro.data(), siro.size());
    std::memcpy(DaimyoTable, daimyo.data(), daimyo.size());
    SiroTable[target].battlefield = static_cast<uint8_t>(seed % 3);
    ResetBattle();
    SetGameRandState(seed);
    // Field battle by hand so the invariants are checked after every round.
    g_Battle.targetSiro = static_cast<uint16_t>(target);
    g_Battle.siroLevel = SiroTable[target].level;
    BattleBuildRosters();
    DrawBattleWeather();
    AiDeploy(g_Battle.defenderSide);
    RefreshBattlePlacement();
    if (g_Battle.sides[g_Battle.defenderSide].status == 0) AiDeploy(g_Battle.attackerSide);
    RefreshBattlePlacement();
    BeginBattleRounds();
    int rounds = 0;
    bool over = false;
    while (!over) {
      over = BattleRoundStep();
      ASSERT_LE(++rounds, 21) << seed;
      ASSERT_LE(g_Battle.round, 21) << seed;
      for (int side = 0; side < 2; ++side)
        for (const BattleUnit& u : g_Battle.sides[side].units) {
          if (u.general == kNoUnitGeneral) continue;
          EXPECT_GE(u.soldiers, 1) << "seed " << seed;
          EXPECT_LE(u.guns, u.soldiers) << "seed " << seed;
          if (u.lane < g_Battle.laneCount) {
            int col = g_Battle.slots[side][u.lane].column;
            EXPECT_LE(col, 7) << "seed " << seed;
          }
        }
    }
    if (g_Battle.round > 20) {
      EXPECT_EQ(g_Battle.sides[g_Battle.attackerSide].status, 2) << seed;
    }
    // The rest of the battle through the routine itself.
    ResetBattle();
    std::memcpy(BusyoTable, busyo.data(), busyo.size());
    std::memcpy(SiroTable, siro.data(), siro.size());
    std::memcpy(DaimyoTable, daimyo.data(), daimyo.size());
    SiroTable[target].battlefield = static_cast<uint8_t>(seed % 3);
    SetGameRandState(seed);
    ASSERT_GT(DriveBattle(target), 0) << seed;
    outcomes.insert(static_cast<int>(g_Battle.outcome));
    for (int c = 0; c < kDaimyoInPlay; ++c) {
      if (DaimyoTable[c].name[0] == 0) continue;
      EXPECT_GE(DaimyoTable[c].renown, 1);
      EXPECT_LE(DaimyoTable[c].renown, 150);
    }
    std::vector<std::string> problems = CollectWorldProblems();
    ASSERT_TRUE(problems.empty()) << "seed " << seed << ": " << problems.front();
    ASSERT_TRUE(boxes.boxes.empty()) << "seed " << seed;
    EXPECT_EQ(StationedCount(target, true), 0) << seed;
  }
  EXPECT_EQ(outcomes.size(), 2u) << "both outcomes occur over the seeds";
}

}  // namespace

namespace {

// Records what the battle shows on the strategy map.
class RecordingMap : public SlgScenePort {
 public:
  void ShowMessage(const char* text, int, bool) override {
    if (text && text[0]) messages.emplace_back(text);
  }
  std::vector<std::string> messages;
};

class BattleShownTest : public BattleRunTest {
 protected:
  void TearDown() override {
    SetSlgScenePort(nullptr);
    BattleRunTest::TearDown();
  }
  // One logic step of the war phase: push, the battle, pop; true when the battle finished.
  bool Frame() {
    StepPush();
    Battle().BattleRun(target);
    return StepPop();
  }
};

TEST_F(BattleShownTest, ABattleInThePlayersCountryIsShownOnTheMapWithWaits) {
  Build({30, 30}, {20});
  SiroTable[refuge].owner = static_cast<uint8_t>(clanP);
  RulesBattlePort port;
  SetBattlePort(&port);
  RecordingMap map;
  SetSlgScenePort(&map);
  StepReset();
  SetGameRandState(99);
  int frames = 0;
  bool waited = false;
  while (!Frame()) {
    waited |= g_FrameWaitCounter.load() > 0;
    ASSERT_LT(++frames, 2000);
  }
  EXPECT_EQ(g_Battle.mode, 1);
  EXPECT_TRUE(waited);
  EXPECT_GT(frames, 5) << "a shown battle takes a step per routine";
  ASSERT_FALSE(map.messages.empty());
  EXPECT_NE(map.messages.front().find("攻め込みました"), std::string::npos);
  EXPECT_GE(map.messages.size(), 2u);
  EXPECT_EQ(StationedCount(target, true), 0);
  ExpectClean();
  EXPECT_STREQ(port.BattleResolverName(), "lane battles: field battle, siege and results");
}

TEST_F(BattleShownTest, SavedBeforeDeploymentALoadResumesTheSameBattle) {
  Build({30, 25, 20}, {25, 20});
  SiroTable[refuge].owner = static_cast<uint8_t>(clanP);  // shown on the map: the battle takes many steps
  RulesBattlePort port;
  SetBattlePort(&port);
  StepReset();
  SetGameRandState(4242);
  // Run until the battle's start has begun, as when the opening event offers a save.
  int frames = 0;
  while (g_StepMachine.step[1] != 2 || g_StepMachine.subStep[1] < 4) {
    ASSERT_FALSE(Frame());
    ASSERT_LT(++frames, 200);
  }
  ASSERT_TRUE(IsBattleSaveAllowed());
  // The save: the step machine, the battle's registered fields, the world and the generator.
  uint8_t machine[kStepMachineBytes];
  StepMachineToBytes(machine);
  SaveRegisterMode = kSaveRegisterSave;
  SaveBlockList list;
  SaveRegisterList = &list;
  EXPECT_EQ(Battle().BattleRun(0), 0);
  SaveRegisterMode = kSaveRegisterNone;
  SaveRegisterList = nullptr;
  uint8_t bytes[kBattleSaveBytes];
  BattleSaveToBytes(bytes);
  std::vector<uint8_t> world(sizeof BusyoTable + sizeof SiroTable + sizeof DaimyoTable);
  std::memcpy(world.data(), BusyoTable, sizeof BusyoTable);
  std::memcpy(world.data() + sizeof BusyoTable, SiroTable, sizeof SiroTable);
  std::memcpy(world.data() + sizeof BusyoTable + sizeof SiroTable, DaimyoTable, sizeof DaimyoTable);
  uint32_t rand = GetGameRandState();
  auto finish = [&] {
    int n = 0;
    while (!Frame()) EXPECT_LT(++n, 3000);
    std::vector<uint8_t> after(sizeof BusyoTable + sizeof SiroTable);
    std::memcpy(after.data(), BusyoTable, sizeof BusyoTable);
    std::memcpy(after.data() + sizeof BusyoTable, SiroTable, sizeof SiroTable);
    return after;
  };
  std::vector<uint8_t> played = finish();
  BattleState playedBattle = g_Battle;
  // A fresh program loads the save: the battle block is all it has of the battle.
  g_Battle = BattleState();
  std::memcpy(BusyoTable, world.data(), sizeof BusyoTable);
  std::memcpy(SiroTable, world.data() + sizeof BusyoTable, sizeof SiroTable);
  std::memcpy(DaimyoTable, world.data() + sizeof BusyoTable + sizeof SiroTable, sizeof DaimyoTable);
  SetGameRandState(rand);
  ASSERT_TRUE(StepMachineFromBytes(machine, sizeof machine));
  ASSERT_TRUE(BattleSaveFromBytes(bytes, sizeof bytes));
  EXPECT_TRUE(g_Battle.needsRederive);
  EXPECT_EQ(g_Battle.laneCount, 0) << "the file does not hold the lane count";
  std::vector<uint8_t> loaded = finish();
  EXPECT_TRUE(loaded == played);
  EXPECT_EQ(g_Battle.laneCount, playedBattle.laneCount);
  EXPECT_EQ(g_Battle.outcome, playedBattle.outcome);
  EXPECT_EQ(g_Battle.round, playedBattle.round);
}

}  // namespace

namespace {

// A battle screen that answers slowly: every question is answered on its second poll; the
// deployment and the orders are the battle AI's, given through the screen.
class SlowScreen : public BattleScreenPort {
 public:
  bool FightsByHand() const override { return true; }
  void EnterBattleScene(int mode) override { entered.push_back(mode); }
  void LeaveBattleScene(int mode) override { left.push_back(mode); }
  void ShowMessage(const char* text) override { messages.emplace_back(text); }
  bool PlayerDeploy(int side) override {
    if (++deployPolls % 2) return false;
    AiDeploy(side);
    return true;
  }
  int PlayerUnitOrder(int side, int unit) override {
    ++orderPolls;
    if (orderPolls % 2) return -1;
    return BattleAiOrder(side, g_Battle.sides[side].units[unit].lane);
  }
  int PlayerSiegeOrder() override {
    ++siegePolls;
    return siegePolls % 2 ? -1 : BattleSiegeAiOrder();
  }
  std::vector<int> entered, left;
  std::vector<std::string> messages;
  int deployPolls = 0, orderPolls = 0, siegePolls = 0;
};

TEST_F(BattleShownTest, ThePlayersBattleIsFoughtThroughTheBattleScreen) {
  Build({25, 25, 20}, {40, 40, 30});  // defenders strong enough to stand in the field
  // The player's clan attacks.
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  RulesBattlePort port;
  SetBattlePort(&port);
  SlowScreen screen;
  SetBattleScreenPort(&screen);
  StepReset();
  SetGameRandState(5);
  int frames = 0;
  while (!Frame()) ASSERT_LT(++frames, 5000);
  EXPECT_EQ(g_Battle.mode, 2);
  EXPECT_EQ(g_Battle.attackerSide, 0) << "the player stands on side 0";
  EXPECT_EQ(screen.entered, std::vector<int>{2});
  EXPECT_EQ(screen.left, std::vector<int>{2});
  EXPECT_GE(screen.deployPolls, 2);
  EXPECT_GT(screen.orderPolls, 1);
  ASSERT_FALSE(screen.messages.empty());
  EXPECT_TRUE(screen.messages.front() == "天候は、晴です" || screen.messages.front() == "雨で鉄砲が使えません" ||
              screen.messages.front() == "霧で別動隊が出せません");
  EXPECT_EQ(StationedCount(target, true), 0);
  ExpectClean();
}

}  // namespace

namespace {

// A screen that presents every change of the board for `hold` polls of its running flag, as the
// battle scene does while it shows an attack. `always` keeps the flag set for good.
class PresentingScreen : public SlowScreen {
 public:
  PresentingScreen(int hold, bool always) : hold_(hold), always_(always) {}
  bool IsActionPlaying() const override {
    ++polls;
    if (std::memcmp(&seen_, &g_Battle.sides, sizeof seen_) != 0) {
      // The board changed while the screen still said it was presenting: the rules went on.
      if (left_ > 0) ++changedWhilePlaying;
      std::memcpy(&seen_, &g_Battle.sides, sizeof seen_);
      left_ = hold_;
      ++changes;
    }
    if (always_) return true;
    if (left_ == 0) return false;
    --left_;
    ++waited;
    return true;
  }
  mutable int polls = 0, changes = 0, waited = 0, changedWhilePlaying = 0;

 private:
  int hold_;
  bool always_;
  mutable BattleSide seen_[2] = {};
  mutable int left_ = 0;
};

TEST_F(BattleShownTest, AHandFoughtBattleWaitsWhileTheSceneShowsAnAction) {
  Build({25, 25, 20}, {40, 40, 30});
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  RulesBattlePort port;
  SetBattlePort(&port);
  PresentingScreen screen(3, false);
  SetBattleScreenPort(&screen);
  StepReset();
  SetGameRandState(5);
  int frames = 0;
  while (!Frame()) ASSERT_LT(++frames, 20000);
  EXPECT_EQ(g_Battle.mode, 2);
  EXPECT_GT(screen.changes, 5) << "the board changed over the battle";
  EXPECT_GE(screen.waited, 3 * (screen.changes - 1)) << "every change was shown before the next step";
  EXPECT_EQ(screen.changedWhilePlaying, 0) << "the rules never stepped while an action played";
  ExpectClean();
}

// A screen that counts, per logic step, the turns begun (effect 10) and the actions handed to it.
class CountingScreen : public SlowScreen {
 public:
  void PlaySoundEffect(int n) override { turns += n == 10; }
  void PlayAction(int side, int unit, int kind, int value, int a, int b, int c) override {
    if (kind == 1 || kind == 4 || kind == 5 || kind == 7 || (kind >= 8 && kind <= 10)) ++attacks[side];
  }
  void ShowSkillLists(bool show) override { (show ? shown : closed) += 1; }
  int turns = 0, attacks[2] = {}, shown = 0, closed = 0;
};

TEST_F(BattleShownTest, AHandFoughtBattleHandsTheSceneOneEntryPerStepWithTheAisWaits) {
  Build({25, 25, 20}, {40, 40, 30});
  PlayerDaimyoId = static_cast<uint8_t>(clanA);
  RulesBattlePort port;
  SetBattlePort(&port);
  CountingScreen screen;
  SetBattleScreenPort(&screen);
  StepReset();
  SetGameRandState(5);
  int frames = 0, aiTurns = 0, aiTurnsWaited = 0, mostTurns = 0;
  for (bool done = false; !done;) {
    ASSERT_LT(++frames, 20000);
    const int turns = screen.turns;
    const int actor = g_Battle.currentActor;
    const bool aiActs = actor >= 0 && actor < static_cast<int>(g_Battle.order.size()) &&
                        g_Battle.order[actor].side == 1 && g_Battle.round > 0;
    g_FrameWaitCounter.store(0);
    done = Frame();
    mostTurns = std::max(mostTurns, screen.turns - turns);
    if (aiActs && screen.turns > turns) {
      ++aiTurns;
      aiTurnsWaited += g_FrameWaitCounter.load() > 0;
    }
  }
  g_FrameWaitCounter.store(0);
  EXPECT_EQ(mostTurns, 1) << "one entry per step";
  EXPECT_GT(aiTurns, 2);
  EXPECT_EQ(aiTurnsWaited, aiTurns) << "the AI waits before its order";
  EXPECT_GT(screen.attacks[0], 0);
  EXPECT_GT(screen.attacks[1], 0) << "the enemy's actions reach the scene";
  EXPECT_GT(screen.shown, 0) << "the skill lists show every round";
  EXPECT_EQ(screen.shown, screen.closed);
  ExpectClean();
}

// Only a hand-fought battle in its scene waits: a battle shown on the map ends even when the
// screen never stops presenting, and nobody asks it.
TEST_F(BattleShownTest, ABattleOnTheMapNeverWaitsOnTheBattleScene) {
  Build({30, 30}, {20});
  SiroTable[refuge].owner = static_cast<uint8_t>(clanP);
  RulesBattlePort port;
  SetBattlePort(&port);
  PresentingScreen screen(0, true);
  SetBattleScreenPort(&screen);
  StepReset();
  SetGameRandState(99);
  int frames = 0;
  while (!Frame()) ASSERT_LT(++frames, 2000);
  EXPECT_EQ(g_Battle.mode, 1);
  EXPECT_EQ(screen.polls, 0);
  ExpectClean();
}

TEST_F(BattleRunTest, TheInstalledRulesFightTheWarPhasesBattles) {
  Build({30, 30}, {10});
  InstallBattleRules();
  EXPECT_STREQ(Battle().BattleResolverName(), "lane battles: field battle, siege and results");
  NoKakuuSiroFlag = 1;                           // auto-run: the player never takes part
  PlayerDaimyoId = static_cast<uint8_t>(clanA);  // even when his clan attacks
  StepReset();
  SetGameRandState(3);
  int frames = 0;
  for (;;) {
    StepPush();
    Battle().BattleRun(target);
    if (StepPop()) break;
    ASSERT_LT(++frames, 1000);
  }
  EXPECT_EQ(g_BattleConfig.turnLimit, 1);
  EXPECT_EQ(g_Battle.mode, 0);
  NoKakuuSiroFlag = 0;
  EXPECT_EQ(StationedCount(target, true), 0);
}

}  // namespace

namespace {

TEST_F(BattleShownTest, ADamagedBattleBlockNeverCrashesTheBattle) {
  Build({30, 25}, {20, 15});
  SiroTable[refuge].owner = static_cast<uint8_t>(clanP);
  RulesBattlePort port;
  SetBattlePort(&port);
  StepReset();
  SetGameRandState(8);
  while (g_StepMachine.step[1] != 2 || g_StepMachine.subStep[1] < 4) ASSERT_FALSE(Frame());
  uint8_t machine[kStepMachineBytes];
  StepMachineToBytes(machine);
  std::vector<uint8_t> world(sizeof BusyoTable + sizeof SiroTable + sizeof DaimyoTable);
  std::memcpy(world.data(), BusyoTable, sizeof BusyoTable);
  std::memcpy(world.data() + sizeof BusyoTable, SiroTable, sizeof SiroTable);
  std::memcpy(world.data() + sizeof BusyoTable + sizeof SiroTable, DaimyoTable, sizeof DaimyoTable);
  uint8_t good[kBattleSaveBytes];
  BattleSaveToBytes(good);
  uint32_t noise = 12345;
  for (int round = 0; round < 40; ++round) {
    std::memcpy(BusyoTable, world.data(), sizeof BusyoTable);
    std::memcpy(SiroTable, world.data() + sizeof BusyoTable, sizeof SiroTable);
    std::memcpy(DaimyoTable, world.data() + sizeof BusyoTable + sizeof SiroTable, sizeof DaimyoTable);
    uint8_t bytes[kBattleSaveBytes];
    std::memcpy(bytes, good, sizeof bytes);
    // Half the rounds damage a few bytes, half fill the block with noise.
    for (int i = 0; i < (round % 2 ? 20 : kBattleSaveBytes); ++i) {
      noise = noise * 1103515245u + 12345u;
      int at = round % 2 ? static_cast<int>((noise >> 8) % kBattleSaveBytes) : i;
      noise = noise * 1103515245u + 12345u;
      bytes[at] = static_cast<uint8_t>(noise >> 16);
    }
    g_Battle = BattleState();
    ASSERT_TRUE(StepMachineFromBytes(machine, sizeof machine));
    ASSERT_TRUE(BattleSaveFromBytes(bytes, sizeof bytes));
    int n = 0;
    while (!Frame()) ASSERT_LT(++n, 3000) << round;
    std::vector<std::string> problems = CollectWorldProblems();
    EXPECT_TRUE(problems.empty()) << round << ": " << (problems.empty() ? "" : problems.front());
  }
  // A few damaged bytes of a sound block still let the battle finish its work.
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace

namespace {

TEST_F(BattleShownTest, BattleGroupsAreThePlayersSideAndClearedByAHiddenBattle) {
  Build({30, 25}, {20, 15});
  PlayerDaimyoId = static_cast<uint8_t>(clanD);  // the player defends
  RulesBattlePort port;
  SetBattlePort(&port);
  StepReset();
  SetGameRandState(21);
  while (g_StepMachine.step[1] != 3) ASSERT_FALSE(Frame());
  EXPECT_TRUE(Battle().IsBusyoInRosterA(def[0]));
  EXPECT_TRUE(Battle().IsBusyoInRosterB(att[1]));
  EXPECT_FALSE(Battle().IsBusyoInRosterA(att[1]));
  EXPECT_EQ(g_Battle.enemyClan, static_cast<uint32_t>(clanA));
  while (!Frame()) {}
  // A later battle the player is not concerned in does not keep the old groups.
  PlayerDaimyoId = static_cast<uint8_t>(clanP);
  for (SiroBusyoRef& r : SiroTable[target].list2) r = {kNoDaimyo, kNoSlot};
  StepReset();
  while (!Frame()) {}
  EXPECT_EQ(g_Battle.mode, 0);
  EXPECT_FALSE(Battle().IsBusyoInRosterA(def[0]));
  EXPECT_FALSE(Battle().IsBusyoInRosterB(att[1]));
  EXPECT_EQ(g_Battle.enemyClan, 255u);
}

}  // namespace
