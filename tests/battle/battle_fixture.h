// Small worlds and hand-set fields for the battle tests.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "battle/battle_rules.h"
#include "battle/battle_run.h"
#include "battle/battle_screen_port.h"
#include "battle/battle_state.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "tests/world/world_fixture.h"
#include "world/placement.h"

// Resets the battle block and its settings.
inline void ResetBattle() {
  g_Battle = BattleState();
  g_BattleConfig = BattleConfig();
  SetBattleScreenPort(nullptr);
}

// A field set by hand: lanes, and units placed in lanes at columns.
struct FieldBuilder {
  explicit FieldBuilder(int lanes, int weather = 0) {
    ResetBattle();
    g_Battle.laneCount = static_cast<uint8_t>(lanes);
    g_Battle.siroSize = lanes == 2 ? 0 : lanes == 3 ? 1 : 2;
    g_Battle.weather = static_cast<uint8_t>(weather);
    g_Battle.attackerSide = 0;
    g_Battle.defenderSide = 1;
    g_Battle.sides[1].isDefender = 1;
    g_Battle.round = 1;
    g_Battle.fieldBattle = 1;
  }
  // Puts a unit (general id, soldiers, guns, morale) into the next free unit index of the side.
  BattleUnit& Unit(int side, int lane, int column, uint16_t general, int soldiers, int guns, int morale) {
    BattleSide& s = g_Battle.sides[side];
    int i = 0;
    while (s.units[i].general != kNoUnitGeneral) ++i;
    BattleUnit& u = s.units[i];
    u.general = u.firstGeneral = general;
    u.kind = 1;
    u.soldiers = static_cast<uint8_t>(soldiers);
    u.guns = static_cast<uint8_t>(guns);
    u.morale = u.maxMorale = u.startMorale = static_cast<uint8_t>(morale);
    u.lost = 0;
    if (lane >= 0) {
      u.lane = static_cast<uint8_t>(lane);
      g_Battle.slots[side][lane] = {static_cast<uint8_t>(i), static_cast<uint8_t>(column), 255, 0};
    }
    return u;
  }
  // Totals as at the start of the battle.
  void Start() {
    for (int side = 0; side < 2; ++side) {
      SideMoraleTotal(side);
      SideSoldierTotal(side);
      g_Battle.sides[side].startMorale = g_Battle.sides[side].morale;
    }
    RefreshBattlePlacement();
  }
};

// Feeds scripted draws to every random rule while alive; past the script the draws are 0.
struct ScriptedDraws {
  explicit ScriptedDraws(std::vector<int> values)
      : values_(std::move(values)), guard_([this] { return next_ < values_.size() ? values_[next_++] : 0; }) {}
  size_t used() const { return next_; }

 private:
  std::vector<int> values_;
  size_t next_ = 0;
  ScopedGameRandOverride guard_;
};

// Runs the battle routine as the war phase does, one logic step at a time; frames used or -1.
inline int DriveBattle(int castle, int maxFrames = 10000) {
  StepReset();
  for (int f = 0; f < maxFrames; ++f) {
    StepPush();
    BattleRun(castle);
    if (StepPop()) return f + 1;
  }
  return -1;
}

// One country: the target castle (clan D), the attackers' home castle (clan A, joined by a road),
// a neighbour of D's with room, and a castle of the player's clan in a second country.
class BattleWorldTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ResetBattle();
    k = w.Kuni("甲斐");
    k2 = w.Kuni("信濃");
    target = w.Siro(k, "躑躅", 1, 10);
    home = w.Siro(k, "鷹山", 0, 10);
    refuge = w.Siro(k, "鶴岡", 1, 5);
    playerSiro = w.Siro(k2, "松本", 2, 5);
    alt = w.Siro(k2, "高遠", 0, 5);
    w.Road(home, target);
    w.Road(target, refuge);
    w.Road(refuge, playerSiro);
    clanA = w.Clan("霧島");
    clanD = w.Clan("杉原");
    clanP = w.Clan("桐生");
    DaimyoTable[clanA].renown = 80;
    DaimyoTable[clanD].renown = 70;
    DaimyoTable[clanP].renown = 60;
    DaimyoTable[clanA].money = 1000;
    PlayerDaimyoId = static_cast<uint8_t>(clanP);
    SiroTable[target].battlefield = 1;
  }
  void TearDown() override {
    SetBattlePort(nullptr);
    SetBattleScreenPort(nullptr);
    SetGameRandOverride(nullptr);
    WorldTest::TearDown();
  }
  int General(const char* name, int siro, int soldiers, int guns, int stat, int kind = 1) {
    int g = w.Busyo(name, siro, kind);
    BusyoRecord& b = BusyoTable[g];
    b.soldiers = static_cast<uint8_t>(soldiers);
    b.guns = static_cast<uint8_t>(guns);
    b.cur.stat[0] = b.cur.stat[1] = b.cur.stat[2] = static_cast<uint8_t>(stat);
    b.kizuna = 1;
    return g;
  }
  // Garrisons, heads and the march of every general of the home castle on the target.
  void Build(std::vector<int> attackers, std::vector<int> defenders) {
    static const char* const kNames[] = {"一郎", "二郎", "三郎", "四郎", "五郎", "六郎"};
    for (size_t i = 0; i < attackers.size(); ++i)
      att.push_back(General(kNames[i], home, attackers[i], attackers[i] / 4, 40 + 5 * static_cast<int>(i)));
    for (size_t i = 0; i < defenders.size(); ++i)
      def.push_back(General(kNames[i], target, defenders[i], defenders[i] / 4, 45 + 3 * static_cast<int>(i), 2));
    int ph = General("七郎", playerSiro, 10, 0, 50);
    if (!att.empty()) w.Head(clanA, att[0]);
    if (!def.empty()) w.Head(clanD, def[0]);
    w.Head(clanP, ph);
    w.Place();
    March();
  }
  void March() {
    SiroBusyoRef list[kSiroListLen];
    std::copy(SiroTable[home].list1, SiroTable[home].list1 + kSiroListLen, list);
    for (const SiroBusyoRef& r : list) {
      if (r.slot == kNoSlot) continue;
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      ASSERT_EQ(MoveSiroBusyo(home, target, r.force, r.slot, 1), 0);
      BusyoTable[g].siro2 = static_cast<uint16_t>(target);
      BusyoTable[g].marchFlag = 1;
    }
  }
  int StationedCount(int siro, bool second = false) {
    int n = 0;
    for (const SiroBusyoRef& r : second ? SiroTable[siro].list2 : SiroTable[siro].list1) n += r.slot != kNoSlot;
    return n;
  }

  WorldBuilder w;
  int k = 0, k2 = 0, target = 0, home = 0, refuge = 0, playerSiro = 0, alt = 0;
  int clanA = 0, clanD = 0, clanP = 0;
  std::vector<int> att, def;
};
