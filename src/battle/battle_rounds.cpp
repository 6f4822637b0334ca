// Rounds of the field battle: the skill phase, the units' turns with the combat arithmetic, the
// round end and the close of the field battle.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "core/frame_wait.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }

const SkillRecord* Skill(int number) {
  return number >= 1 && number <= kSkillCount ? &SkillTable[number - 1] : nullptr;
}

bool IsPlayerSide(int side) {
  const BattleState& b = B();
  return b.mode == 2 && !g_BattleConfig.turnLimit && b.sides[side].clan == PlayerDaimyoId &&
         BattleScreen().FightsByHand();
}

bool UnitPresent(const BattleUnit& u) { return u.general != kNoUnitGeneral; }

void CapGuns(BattleUnit& u) {
  if (u.guns > u.soldiers) u.guns = u.soldiers;
}

// Soldiers after a loss: never below 1 while the unit fights.
uint8_t SoldiersAfter(int soldiers, int64_t loss) {
  int64_t left = soldiers - loss;
  return static_cast<uint8_t>(left > 0 ? left : 1);
}

int ClipLoss(int64_t value, int divisor) {
  if (divisor <= 0) return 255;
  return static_cast<int>(std::clamp<int64_t>(value / divisor, 1, 255));
}

int64_t Spread(int64_t b) { return (SlgRandom(50) + 25) * b * 2 / 100 + b; }

}  // namespace

bool BattleShownInScene() { return B().mode == 2; }

bool BattleAnimated() { return BattleShownInScene() && g_BattleConfig.animation != 0; }

void BattleShortWait() {
  if (B().mode != 0) SetFrameWait(GameSpeedParams[1]);
}

void PlayBattleVoice(int side, int unit, int line) {
  if (!BattleShownInScene() || side < 0 || side > 1 || unit < 0 || unit >= kBattleUnits) return;
  const BattleUnit& u = B().sides[side].units[unit];
  if (u.general != kNoUnitGeneral) BattleScreen().PlayVoice(u.general, line);
}

// ---- Skills ----

bool SkillEffectAllowed(int kind) {
  if (B().fieldBattle) return (kind >= 1 && kind <= 7) || (kind >= 11 && kind <= 16) || kind == 18 || kind == 19;
  return kind == 8 || kind == 9 || kind == 10 || kind == 17;
}

void ResetBattleCounters() {
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = B().sides[side];
    for (int i = 0; i < kBattleUnits; ++i) ResetUnitRound(side, i);
    s.siegeRate1 = s.stormRate = s.besiegeRate = s.siegeLossRate = 100;
    s.siegeBonus = 0;
    s.assaultBonus = 0;
  }
}

int SkillTargets(int side, int unit, int kind, int* out) {
  BattleState& b = B();
  int n = 0;
  auto eligible = [&](int s, int i) {
    const BattleUnit& u = b.sides[s].units[i];
    return UnitPresent(u) && u.lane != kNoLane && u.lane != b.laneCount;
  };
  auto every = [&](int s, int generalKind) {
    for (int i = 0; i < kBattleUnits; ++i)
      if (eligible(s, i) && (generalKind == 0 || b.sides[s].units[i].kind == generalKind)) out[n++] = s * 8 + i;
  };
  auto pick = [&](int s, auto value, bool highest) {
    int best = -1, bestValue = 0;
    for (int i = 0; i < kBattleUnits; ++i) {
      if (!eligible(s, i)) continue;
      int v = value(s, i);
      if (best < 0 || (highest ? v > bestValue : v < bestValue)) best = i, bestValue = v;
    }
    if (best >= 0) out[n++] = s * 8 + best;
  };
  auto morale = [&](int s, int i) { return static_cast<int>(b.sides[s].units[i].morale); };
  auto guns = [&](int s, int i) { return static_cast<int>(b.sides[s].units[i].guns); };
  auto strength = [&](int s, int i) { return UnitStrength(s, i); };
  int own = side, enemy = Opposite(side);
  switch (kind) {
    case 1:
      every(0, 0);
      every(1, 0);
      break;
    case 2:
      if (eligible(own, unit)) out[n++] = own * 8 + unit;
      break;
    case 3: {
      int c = CommanderUnit(own);
      if (c >= 0 && eligible(own, c)) out[n++] = own * 8 + c;
      break;
    }
    case 4:
      every(own, 0);
      break;
    case 5:
      every(own, 1);
      break;
    case 6:
      every(own, 3);
      break;
    case 7:
      every(own, 2);
      break;
    case 8:
      pick(own, morale, true);
      break;
    case 9:
      pick(own, morale, false);
      break;
    case 10:
      pick(own, strength, true);
      break;
    case 11:
      pick(own, strength, false);
      break;
    case 12: {
      int c = CommanderUnit(enemy);
      if (c >= 0 && eligible(enemy, c)) out[n++] = enemy * 8 + c;
      break;
    }
    case 13:
      every(enemy, 0);
      break;
    case 14:
      every(enemy, 1);
      break;
    case 15:
      every(enemy, 3);
      break;
    case 16:
      every(enemy, 2);
      break;
    case 17:
      pick(enemy, morale, true);
      break;
    case 18:
      pick(enemy, morale, false);
      break;
    case 19:
      pick(enemy, strength, true);
      break;
    case 20:
      pick(enemy, strength, false);
      break;
    case 21:
      pick(enemy, guns, true);
      break;
    case 22: {
      int best = -1, bestValue = 99;
      for (int i = 0; i < kBattleUnits; ++i)
        if (eligible(enemy, i) && b.sides[enemy].units[i].guns < bestValue)
          best = i, bestValue = b.sides[enemy].units[i].guns;
      if (best >= 0) out[n++] = enemy * 8 + best;
      break;
    }
    case 24: {
      const BattleUnit& u = b.sides[own].units[unit];
      if (u.lane < b.laneCount)
        for (int i = 0; i < kBattleUnits; ++i)
          if (eligible(enemy, i) && b.sides[enemy].units[i].lane == u.lane) {
            out[n++] = enemy * 8 + i;
            break;
          }
      break;
    }
    default:
      break;
  }
  return n;
}

void ApplySkillEffect(int side, int unit, int kind, int v) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  BattleUnit& u = s.units[unit];
  bool unitLevel = true;
  switch (kind) {
    case 1:
      u.effect1 = 1;
      break;
    case 2:
      u.effect2 = 1;
      break;
    case 3:
      u.attackPct = static_cast<int16_t>(u.attackPct + v);
      break;
    case 4:
      u.defencePct = static_cast<int16_t>(u.defencePct + v);
      break;
    case 5:
      u.effect5 = 1;
      break;
    case 6:
    case 7: {
      bool routedSlot =
          u.lane < kBattleUnits && b.slots[side][u.lane].unit == unit && b.slots[side][u.lane].display == 10;
      if (u.morale > 0 && !routedSlot) {
        int d = kind == 6 ? v : -v;
        u.pendingMorale = static_cast<int16_t>(u.pendingMorale + d);
        u.shownValue = static_cast<uint16_t>(d);
      }
      break;
    }
    case 8:
      s.siegeBonus = static_cast<uint16_t>(std::min(100, s.siegeBonus + v));
      s.stormRate = static_cast<uint16_t>(s.stormRate + v / 2);
      s.besiegeRate = static_cast<uint16_t>(s.besiegeRate + v / 2);
      unitLevel = false;
      break;
    case 9:
      s.stormRate = static_cast<uint16_t>(s.stormRate + v);
      unitLevel = false;
      break;
    case 10:
      s.besiegeRate = static_cast<uint16_t>(s.besiegeRate + v);
      unitLevel = false;
      break;
    case 11:
      u.strengthMod = static_cast<int16_t>(u.strengthMod + v);
      break;
    case 12:
      u.strengthMod = static_cast<int16_t>(u.strengthMod - v);
      break;
    case 13:
      b.views[side][unit].orderBonus = 1000;
      b.orderMode = 1;
      break;
    case 14:
      b.orderMode = 2;
      unitLevel = false;
      break;
    case 15:
      b.orderMode = 3;
      unitLevel = false;
      break;
    case 16:
      s.assaultBonus = static_cast<int16_t>(s.assaultBonus + v);
      unitLevel = false;
      break;
    case 17:
      s.siegeLossRate = static_cast<uint16_t>(std::max(0, s.siegeLossRate - v));
      unitLevel = false;
      break;
    case 18:
      u.damagePct = static_cast<int16_t>(u.damagePct + v);
      break;
    case 19:
      u.damagePct = static_cast<int16_t>(u.damagePct - v);
      break;
    default:
      unitLevel = false;
      break;
  }
  if (unitLevel) u.touched = 1;
}

static bool SkillCondition(int side, int unit, int kind, int value) {
  const BattleState& b = B();
  const BattleUnit& u = b.sides[side].units[unit];
  switch (kind) {
    case 1:
      return true;
    case 2:
      return side == b.attackerSide;
    case 3:
      return side == b.defenderSide;
    case 4:
      return b.weather == 1;
    case 5:
      return b.weather == 2;
    case 6:
      return b.weather == 0;
    case 7:
      for (const BattleUnit& o : b.sides[side].units)
        if (UnitPresent(o) && o.general == value) return true;
      return false;
    case 8:
      return u.morale <= value;
    case 9:
      return b.roadLinked != 0;
    case 10:
      return SideMoraleRatio(side) >= value;
    case 11:
      return SideMoraleRatio(side) <= value;
    case 12:
      return SideMoraleRatio(Opposite(side)) >= value;
    case 13:
      return SideMoraleRatio(Opposite(side)) <= value;
    case 16:
      return b.weather == 1 || b.weather == 2;
    default:
      return false;
  }
}

static void SkillTrigger(int side, int unit) {
  BattleState& b = B();
  BattleUnit& u = b.sides[side].units[unit];
  if (!UnitPresent(u)) return;
  for (int k = 0; k < 4; ++k) {
    const SkillRecord* rec = Skill(u.skills[k]);
    if (!rec) continue;
    const SkillEffect* e = rec->effects;
    int pos = e[0].kind, timing = e[3].kind, durKind = e[4].kind;
    int effKind = e[6].kind, effValue = static_cast<int16_t>(e[6].value);
    if (!SkillEffectAllowed(effKind) || (!b.fieldBattle && side == b.defenderSide)) continue;
    if (u.skillCount[k] > 0) {
      --u.skillCount[k];
      bool endEvent = (durKind == 3 && u.hitMarks != 0) || (durKind == 4 && (u.actionMarks & 0x0B) != 0);
      if (pos == 2 ? u.lane >= b.laneCount : pos == 3 ? (u.lane != b.laneCount || endEvent) : endEvent)
        u.skillCount[k] = 0;
    } else {
      bool fires = false;
      if (u.pendingSkill == k) {
        u.pendingSkill = 255;
        u.skillArmed = 0;
        fires = true;
      } else {
        bool timed = timing == 2   ? b.round == 1
                     : timing == 3 ? true
                     : timing == 4 ? b.round == e[3].value + 1
                     : timing == 5 ? u.hitMarks != 0
                     : timing == 6 ? b.sides[side].marker == unit
                                   : false;
        bool placed = pos == 1   ? true
                      : pos == 2 ? u.lane < b.laneCount
                      : pos == 3 ? u.lane == b.laneCount
                      : pos == 4 ? u.commander != 0
                      : pos == 5 ? u.lane == kNoLane
                                 : false;
        if (timed && placed && SkillCondition(side, unit, e[1].kind, e[1].value)) {
          int chance = e[2].value;
          if (g_BattleConfig.debugSkillRate == 0)
            chance = 100;
          else if (g_BattleConfig.debugSkillRate == 1)
            chance *= 2;
          else if (g_BattleConfig.debugSkillRate == 2)
            chance = 0;
          fires = e[2].kind == 1 || (e[2].kind == 2 && chance > SlgRandom(100));
        }
      }
      if (fires) {
        int count = (durKind == 1 || durKind == 3 || durKind == 4) ? b.roundLimit + 100 : durKind == 2 ? e[4].value : 0;
        u.skillCount[k] = static_cast<uint16_t>(count);
        if (BattleAnimated()) {
          PlayBattleVoice(side, unit, b.fieldBattle ? 21 : 22);
          BattleScreen().PlayAction(side, unit, 11, u.skills[k], 0, 0, 0);
          BattleScreen().PlayAction(side, unit, 12, u.skills[k], 0, 0, 0);
        }
      }
    }
    if (u.skillCount[k] > 0) {
      int targets[12];
      int n = SkillTargets(side, unit, e[5].kind, targets);
      if (effKind == 8 || effKind == 9 || effKind == 10 || effKind == 14 || effKind == 15 || effKind == 16 ||
          effKind == 17) {
        // Side-level effects act once on the acting side.
        ApplySkillEffect(side, unit, effKind, effValue);
      } else {
        for (int t = 0; t < n; ++t) ApplySkillEffect(targets[t] / 8, targets[t] % 8, effKind, effValue);
      }
    }
  }
}

void SkillPhase() {
  BattleState& b = B();
  ResetBattleCounters();
  for (int i = 0; i < kBattleUnits; ++i) SkillTrigger(b.attackerSide, i);
  for (int i = 0; i < kBattleUnits; ++i) SkillTrigger(b.defenderSide, i);
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = b.sides[side].units[i];
      if (u.shownValue != 0 && BattleShownInScene())
        BattleScreen().PlayAction(side, i, 3, static_cast<int16_t>(u.shownValue), 0, 0, 0);
      u.shownValue = 0;
      ApplyPendingMorale(side, i);
    }
    SideMoraleTotal(side);
  }
}

// ---- Actions ----

namespace {

struct ActionValues {
  int g = 0, f = 1, atk = 0, dmg = 100, d = 0;  // the attack and damage factors A and D
  BattleUnit* e = nullptr;
};

ActionValues ComputeActionValues(int side, int unit) {
  BattleState& b = B();
  BattleUnit& u = b.sides[side].units[unit];
  ActionValues v;
  v.f = u.soldiers > u.guns ? u.soldiers - u.guns : 1;
  v.g = std::min<int>(u.guns, (v.f + u.guns) * 3 / 5);
  v.e = u.lane < b.laneCount ? SlotUnit(Opposite(side), u.lane) : nullptr;
  int q = 0, m = 100;
  if (v.e) {
    int r = SideMoraleRatio(side);
    q = (r - SideMoraleRatio(Opposite(side))) / 4;
    m = MoraleRatioMultiplier(r, true);
  }
  v.atk = std::max(0, (q + 100) * m / 100);
  v.dmg = std::max(0, u.damagePct + 100);
  if (u.effect2)
    v.d = 1;
  else if (v.e && u.lane < b.laneCount)
    v.d = std::abs(SlotColumn(side, u.lane) - SlotColumn(Opposite(side), u.lane));
  return v;
}

int TargetLane(int side, int lane, int order) {
  int which = (order - kOrderAttackFirst) % 3;  // 0 lane - facing, 1 own lane, 2 lane + facing
  return lane + (which - 1) * Facing(side);
}

struct Losses {
  int morale = 0, soldiers = 0;
};

// Attack or charge damage on t; returns the losses applied.
Losses Melee(int side, BattleUnit& u, int unitIndex, BattleUnit& t, int atk, int dmg, int f, bool charge) {
  int64_t base = static_cast<int64_t>(EffectiveMorale(side, unitIndex)) * t.exposure * f / 10 * dmg * atk / 10000;
  int64_t b = base * BattleParam(u.kind, t.kind) / 100;
  int64_t loss = Spread(b) / (charge ? 1200 : 1500);
  // An attack's morale loss is measured on the soldiers the target had; a charge's on those it
  // has left.
  int before = t.soldiers;
  t.soldiers = SoldiersAfter(t.soldiers, loss);
  int k = ClipLoss(Spread(b), charge ? t.soldiers * 6 : before * 8);
  Losses lost{std::min<int>(k, t.morale), before - t.soldiers};
  t.morale = static_cast<uint8_t>(std::max(0, t.morale - k));
  t.hitMarks |= charge ? 2 : 1;
  CapGuns(t);
  return lost;
}

// The action kind of an attack (charge) on lane - facing, the own lane, lane + facing.
int ActionKind(int which, bool charge) {
  static const int kAttack[3] = {5, 1, 4}, kCharge[3] = {10, 8, 9};
  return charge ? kCharge[which] : kAttack[which];
}

}  // namespace

static void DetachedStrike(int side, int order) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  const BattleFieldSlot& ds = b.slots[side][b.laneCount];
  if (ds.unit >= kBattleUnits) return;
  int dIndex = ds.unit;
  BattleUnit& du = s.units[dIndex];
  int cmd = CommanderUnit(side);
  // The strike goes from the commander's lane; a commander off the lanes gives no target.
  if (cmd >= 0 && s.units[cmd].lane < b.laneCount) {
    int lane = s.units[cmd].lane;
    int which = (order - kOrderAttackDetFirst) % 3;
    int target = lane + (which - 1) * Facing(side);
    BattleUnit* t = target >= 0 && target < b.laneCount ? SlotUnit(Opposite(side), target) : nullptr;
    if (t) {
      int f = du.soldiers > du.guns ? du.soldiers - du.guns : 1;
      int r = SideMoraleRatio(side);
      int q = (r - SideMoraleRatio(Opposite(side))) / 4;
      int A = std::max(0, (q + 100) * MoraleRatioMultiplier(r, true) / 100);
      int D = std::max(0, du.damagePct + 100);
      Losses lost = Melee(side, du, dIndex, *t, A, D, f, false);
      t->hitMarks |= 1 | 8;
      SideMoraleTotal(Opposite(side));
      if (BattleAnimated()) {
        BattleScreen().PlayAction(side, dIndex, ActionKind(which, true), 0, -lost.morale, -lost.soldiers, 0);
      } else if (BattleShownInScene()) {
        BattleScreen().PlaySoundEffect(17);
        BattleShortWait();
      }
    }
  }
  du.actionMarks |= 1 | 8;
  s.countdown = 0xFFFE;
}

// A player's pick must name a unit waiting in the reserve that can still fight.
static bool ReserveUnit(const BattleSide& s, int i) {
  return i >= 0 && i < kBattleUnits && UnitPresent(s.units[i]) && s.units[i].lane == kNoLane && s.units[i].morale > 0;
}

static void UnitSwap(int side, int unit) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  BattleUnit& u = s.units[unit];
  int lane = u.lane;
  if (lane >= b.laneCount) return;
  BattleFieldSlot& slot = b.slots[side][lane];
  int col = slot.column - Facing(side);
  if (col >= 0 && col < kBattleColumns) slot.column = static_cast<uint8_t>(col);
  int pick = BattleScreen().PlayerSwapPick(side, unit);
  if (pick == BattleScreenPort::kOrderByAi) {
    pick = -1;
    for (int i = 0; i < kBattleUnits && pick < 0; ++i) {
      const BattleUnit& r = s.units[i];
      if (UnitPresent(r) && r.lane == kNoLane && r.morale > u.morale) pick = i;
    }
  } else if (!ReserveUnit(s, pick)) {
    pick = -1;
  }
  if (pick >= 0) {
    u.lane = kNoLane;
    s.units[pick].lane = static_cast<uint8_t>(lane);
    slot.unit = static_cast<uint8_t>(pick);
    b.views[side][pick].acted = true;
  }
  RefreshBattlePlacement();
  BuildBattleOrder();
}

static void SendDetached(int side) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  if (b.weather == 2 || s.countdown != 0xFFFF || b.laneCount >= kBattleUnits) return;
  if (b.slots[side][b.laneCount].unit != 255) return;
  int pick = BattleScreen().PlayerDetachedPick(side);
  if (pick == BattleScreenPort::kOrderByAi) {
    pick = -1;
    for (int i = 0; i < kBattleUnits && pick < 0; ++i) {
      const BattleUnit& r = s.units[i];
      if (UnitPresent(r) && r.lane == kNoLane && r.morale > r.maxMorale / 2) pick = i;
    }
  } else if (!ReserveUnit(s, pick)) {
    pick = -1;
  }
  if (pick < 0) return;
  s.units[pick].lane = b.laneCount;
  b.slots[side][b.laneCount] = {static_cast<uint8_t>(pick), static_cast<uint8_t>(side == 0 ? 0 : 7), 1, 0};
  b.views[side][pick].acted = true;
  s.countdown = 2;
  RefreshBattlePlacement();
  BuildBattleOrder();
  if (BattleAnimated()) PlayBattleVoice(side, pick, 1);
}

void UnitAction(int side, int unit, int order) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  BattleUnit& u = s.units[unit];
  if (u.lane >= b.laneCount) return;
  int lane = u.lane;
  ActionValues v = ComputeActionValues(side, unit);
  BattleFieldSlot& slot = b.slots[side][lane];
  switch (order) {
    case kOrderAdvance:
    case kOrderFallBack: {
      slot.display = order == kOrderAdvance ? 1 : 5;
      int col = slot.column + (order == kOrderAdvance ? Facing(side) : -Facing(side));
      // A move that would leave the field is not made; the turn still ends.
      if (col >= 0 && col < kBattleColumns) slot.column = static_cast<uint8_t>(col);
      if (BattleShownInScene()) {
        BattleScreen().PlaySoundEffect(b.roadLinked ? 16 : 15);
        if (!g_BattleConfig.animation) BattleShortWait();
      }
      break;
    }
    case kOrderGuns: {
      slot.display = 3;
      if (v.e) {
        BattleUnit& e = *v.e;
        int P = std::max(0, u.attackPct - e.defencePct + 100);
        int A = v.atk + (b.siroFlag ? 20 : 0);
        int64_t base = static_cast<int64_t>(EffectiveMorale(side, unit)) * DistanceFactor(v.d) * e.exposure * v.g;
        int64_t bb = base / 10 * A * 2 / 10000 * P / 100;
        int64_t loss = Spread(bb) / 3000;
        int k = ClipLoss(Spread(bb), e.soldiers * 10);
        const int soldiers = e.soldiers, morale = e.morale;
        e.soldiers = SoldiersAfter(e.soldiers, loss);
        e.morale = static_cast<uint8_t>(std::max(0, e.morale - k));
        e.hitMarks |= 4;
        CapGuns(e);
        SideMoraleTotal(Opposite(side));
        if (BattleAnimated()) {
          BattleScreen().PlayAction(side, unit, 7, 0, e.morale - morale, e.soldiers - soldiers, 0);
        } else if (BattleShownInScene()) {
          BattleScreen().PlaySoundEffect(31);
          BattleShortWait();
        }
        // Only a volley that found its enemy reloads and marks the unit.
        u.reload = 2;
        u.actionMarks |= 4;
      }
      break;
    }
    case kOrderSwap:
      slot.display = 6;
      UnitSwap(side, unit);
      break;
    case kOrderDetach:
      SendDetached(side);
      break;
    case kOrderSkill:
      for (int k = 0; k < 4; ++k) {
        const SkillRecord* rec = Skill(u.skills[k]);
        if (rec && rec->effects[3].kind == 1 && u.skillArmed) {
          u.pendingSkill = static_cast<uint8_t>(k);
          break;
        }
      }
      break;
    default:
      if (order >= kOrderAttackFirst && order <= 38) {
        bool charge = (order >= 30 && order <= 32) || order >= 36;
        bool detached = order >= 33;
        slot.display = charge ? 4 : 2;
        int target = TargetLane(side, lane, order);
        BattleUnit* t = target >= 0 && target < b.laneCount ? SlotUnit(Opposite(side), target) : nullptr;
        int c = 0;
        if (charge) c = std::max(0, std::min(SlgRandom(5) + 1, u.morale - 1));
        Losses lost;
        if (t) {
          lost = Melee(side, u, unit, *t, v.atk, v.dmg, v.f, charge);
          SideMoraleTotal(Opposite(side));
        }
        if (BattleAnimated()) {
          BattleScreen().PlayAction(side, unit, ActionKind((order - kOrderAttackFirst) % 3, charge), 0, -lost.morale,
                                    -lost.soldiers, -c);
        } else if (BattleShownInScene()) {
          BattleScreen().PlaySoundEffect(17);
          BattleShortWait();
        }
        // An attack or a charge makes the unit its side's marker (the skills of timing 6 read it).
        if (s.marker == 0xFFFF) s.marker = static_cast<uint16_t>(unit);
        if (charge) {
          u.morale = static_cast<uint8_t>(u.morale - c);
          u.actionMarks |= 2;
          SideMoraleTotal(side);
        } else {
          u.actionMarks |= 1;
        }
        if (detached && t && t->morale > 0 && s.countdown == 0) DetachedStrike(side, order);
      }
      break;
  }
}

static void AfterTurnChecks() {
  BattleState& b = B();
  for (int side = 0; side < 2; ++side)
    for (int lane = 0; lane < b.laneCount; ++lane) {
      const BattleFieldSlot& slot = b.slots[side][lane];
      if (slot.unit == 255) continue;
      if ((side == 0 && slot.column == 7) || (side == 1 && slot.column == 0)) b.sides[Opposite(side)].status = 4;
    }
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = b.sides[side];
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = s.units[i];
      if (!UnitPresent(u) || u.lane == kNoLane || u.morale + u.pendingMorale >= 1) continue;
      if (u.commander) {
        if (s.status == 0 || s.status == 4) s.status = 3;
        BattleMessage("大将が敗走しました");
        BattleWait();
        continue;
      }
      if (u.lane < kBattleUnits && b.slots[side][u.lane].unit == i) {
        BattleFieldSlot& slot = b.slots[side][u.lane];
        slot.unit = 255;
        slot.column = 255;
        slot.display = 10;
      }
      u.lane = kNoLane;
      b.views[side][i].status = 8;
    }
  }
}

// The start of a unit's turn: its slot's last order is cleared and, in the scene, the turn sounds.
static void BeginUnitTurn(int side, int unit) {
  BattleState& b = B();
  BattleUnit& u = b.sides[side].units[unit];
  if (u.lane < kBattleUnits) {
    BattleFieldSlot& slot = b.slots[side][u.lane];
    slot.display = slot.unit == 255 ? 255 : 0;
  }
  if (BattleShownInScene()) BattleScreen().PlaySoundEffect(10);
}

static void FinishUnitTurn(int side, int unit, int order) {
  BattleState& b = B();
  if (b.sides[side].units[unit].lane < b.laneCount) UnitAction(side, unit, order);
  AfterTurnChecks();
}

void UnitTurn(int side, int unit, int order) {
  if (B().sides[side].status != 0) return;
  BeginUnitTurn(side, unit);
  FinishUnitTurn(side, unit, order);
}

void RoundEnd() {
  BattleState& b = B();
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = b.sides[side];
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& u = s.units[i];
      if (!UnitPresent(u)) continue;
      int display = -1;
      if (u.lane < b.laneCount && b.slots[side][u.lane].unit == i) {
        display = b.slots[side][u.lane].display;
        switch (display) {
          case 0:
            u.exposure = 8;
            break;
          case 3:
            u.exposure = 9;
            break;
          case 1:
          case 2:
          case 5:
          case 6:
            u.exposure = 10;
            break;
          case 4:
            u.exposure = 11;
            break;
          default:
            break;
        }
      }
      if (u.morale == 0) continue;
      int gain = 0;
      if (display >= 0) {
        if (display == 0)
          gain = SlgRandom(10) + 11;
        else if (display == 5)
          gain = SlgRandom(10) + 1;
        if (b.siroFlag) gain /= 2;
      } else if (u.lane == kNoLane && b.views[side][i].status != 8) {
        gain = SlgRandom(10) + 11;
      }
      const int before = u.morale;
      u.morale = static_cast<uint8_t>(std::min<int>(u.maxMorale, u.morale + gain));
      if (u.morale != before && BattleAnimated()) BattleScreen().PlayAction(side, i, 3, u.morale - before, 0, 0, 0);
    }
  }
  SideMoraleTotal(0);
  SideMoraleTotal(1);
}

// ---- The round loop ----

namespace {
int g_roundPhase = 0;  // 0 round start pending, 1 walking the order, 2 over
// The turn of the current entry in the scene: 0 not begun, 1 begun (the AI's first wait started or
// the player is asked), 2 the order carried out (the AI's second wait started).
int g_entryStage = 0;
int g_entryLane = kNoLane;  // the lane the entry's unit acted from

// The side whose break ended the field battle speaks its rout.
void PlayRoutVoice() {
  const BattleState& b = B();
  for (int side : {static_cast<int>(b.attackerSide), static_cast<int>(b.defenderSide)})
    if (b.sides[side].status != 0) {
      PlayBattleVoice(side, CommanderUnit(side), 17);
      return;
    }
}
}  // namespace

void BeginBattleRounds() {
  BattleState& b = B();
  g_roundPhase = 0;
  g_entryStage = 0;
  b.fieldBattle = 1;
  b.routFlag = 0;
  b.round = 1;
  b.roundLimit = 20;
  if (b.sides[0].status != 0 || b.sides[1].status != 0) {
    g_roundPhase = 2;
    return;
  }
  for (BattleSide& s : b.sides)
    for (BattleUnit& u : s.units) u.skillCount[0] = u.skillCount[1] = u.skillCount[2] = 0;
}

bool BattleRoundStep() {
  BattleState& b = B();
  if (g_roundPhase == 2) return true;
  b.fieldBattle = 1;
  const bool scene = BattleShownInScene();
  if (g_roundPhase == 0) {
    if (scene) {
      BattleScreen().ShowSkillLists(false);
      BattleScreen().ShowMessage("");
    }
    SkillPhase();
    CountdownRound();
    for (auto& side : b.views)
      for (BattleUnitView& v : side) v.acted = false;
    RefreshBattlePlacement();
    BuildBattleOrder();
    if (scene) BattleScreen().ShowSkillLists(true);
    g_roundPhase = 1;
    g_entryStage = 0;
    // In the scene the round's skills are shown before the first unit acts.
    if (scene) return false;
  }
  // In the scene one entry is handled per step, and the AI waits before and after its order, so
  // the scene can show every action in turn; elsewhere the whole round runs at once.
  while (b.currentActor >= 0 && b.sides[0].status == 0 && b.sides[1].status == 0) {
    BattleOrderEntry e = b.order[b.currentActor];
    BattleUnitView& view = b.views[e.side][e.unit];
    const BattleUnit& u = b.sides[e.side].units[e.unit];
    if (e.detached || u.general == kNoUnitGeneral) {
      view.acted = true;
      AdvanceActor();
      if (scene) return false;
      continue;
    }
    const bool player = IsPlayerSide(e.side);
    const int lane = u.lane;
    if (g_entryStage == 0) {
      BeginUnitTurn(e.side, e.unit);
      g_entryStage = 1;
      if (scene && !player) {
        SetFrameWait(5);
        return false;
      }
    }
    if (g_entryStage == 1) {
      int order = BattleScreenPort::kOrderByAi;
      if (player) {
        order = BattleScreen().PlayerUnitOrder(e.side, e.unit);
        if (order == -1) return false;  // the player is still choosing
      }
      if (order == kOrderHold || order == kOrderRetreat) {
        b.sides[e.side].status = order == kOrderHold ? 1 : 2;
        view.acted = true;
        g_entryStage = 0;
        break;
      }
      const bool byAi = order == BattleScreenPort::kOrderByAi;
      if (byAi) order = BattleAiOrder(e.side, lane);
      view.acted = true;
      FinishUnitTurn(e.side, e.unit, order);
      if (byAi && scene) {
        g_entryLane = lane;
        SetFrameWait(5);
        g_entryStage = 2;
        return false;
      }
      if (byAi && lane < b.laneCount) BattleAiSideDecision(e.side, lane);
    } else if (g_entryLane < b.laneCount) {
      // After the AI's second wait: its side's decision from the lane the unit acted in.
      BattleAiSideDecision(e.side, g_entryLane);
    }
    g_entryStage = 0;
    AdvanceActor();
    if (scene) return false;
  }
  if (b.sides[0].status == 0 && b.sides[1].status == 0) {
    ++b.round;
    if (b.round > b.roundLimit) {
      b.sides[b.attackerSide].status = 2;
    } else {
      int first = b.defenderSide, second = b.attackerSide;
      if (b.mode != 0 && b.sides[b.defenderSide].clan == PlayerDaimyoId) std::swap(first, second);
      for (int side : {first, second}) {
        if (MoraleCollapse(side)) {
          b.sides[side].status = side == b.defenderSide ? 1 : 2;
          b.routFlag = 1;
          break;
        }
      }
      RoundEnd();
    }
  }
  g_roundPhase = 0;
  if (b.sides[0].status != 0 || b.sides[1].status != 0) {
    g_roundPhase = 2;
    return true;
  }
  return false;
}

namespace {
int g_closeStage = 0;  // 0 casualties pending, 1 the beaten defender chooses
}

// Merging, clan morale, the loser's casualties and the cut-off of a beaten defender's commander;
// true when a wiped-out side ended the battle here.
static bool CloseFieldBattle() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  char text[128];
  b.fieldBattle = 1;
  if (b.routFlag) PlayRoutVoice();
  MergeSameGeneral();
  ClanMoraleAfterBattle();
  int loser;
  if (att.status != 0) {
    loser = b.attackerSide;
    def.status = 0;
  } else {
    loser = b.defenderSide;
  }
  b.loserSide = static_cast<uint8_t>(loser);
  BattleSide& ls = b.sides[loser];
  int times = ls.status == 3 ? 2 : 1;
  for (int t = 0; t < times; ++t)
    for (BattleUnit& u : ls.units) {
      if (!UnitPresent(u)) continue;
      u.soldiers = static_cast<uint8_t>(u.soldiers - (SlgRandom(10) + 10) * u.soldiers / 100);
      int guns = u.guns;
      for (int g = 0; g < guns; ++g)
        if (SlgRandom(100) < 10) --u.guns;
      CapGuns(u);
    }
  SideSoldierTotal(0);
  SideSoldierTotal(1);
  auto wiped = [](const BattleSide& s) {
    for (const BattleUnit& u : s.units)
      if (UnitPresent(u) && u.soldiers > 0) return false;
    return true;
  };
  if (wiped(att) || wiped(def)) {
    bool attackerOut = wiped(att);
    int clan = attackerOut ? att.clan : def.clan;
    std::snprintf(text, sizeof text, "%sは全滅しました", ForceName(clan));
    BattleResultMessage(text);
    BattleWait();
    (attackerOut ? att : def).status = 1;
    return true;
  }
  if (att.status == 0 && def.status > 2) {
    if (def.status == 3) {
      int c = CommanderUnit(b.defenderSide);
      if (c >= 0 && def.units[c].morale == 0) def.cutOff = 1;
    }
    if (!def.cutOff) {
      int cmd = -1;
      for (int i = 0; i < kBattleUnits && cmd < 0; ++i)
        if (def.units[i].commander && UnitPresent(def.units[i]) && def.units[i].lane < b.laneCount) cmd = i;
      if (cmd >= 0) {
        int sStr = UnitStrength(b.defenderSide, cmd);
        int col = SlotColumn(b.defenderSide, def.units[cmd].lane);
        int c = b.defenderSide == 1 ? 8 - col : col;
        int m = 0;
        for (int i = 0; i < kBattleUnits; ++i) m = std::max(m, UnitStrength(b.attackerSide, i));
        int k = std::max(0, att.assaultBonus + 100);
        if (c > 0 && SlgRandom(100) < (m - sStr + 100) * (c + 1) * k * 5 / 10000) {
          def.cutOff = 1;
          def.cutOffByAssault = 1;
          std::snprintf(text, sizeof text, "%sは敵大将の退却を阻みました", ForceName(att.clan));
          BattleMessage(text);
          BattleWait();
        }
      }
    }
  }
  return false;
}

bool FinishBattleRounds() {
  BattleState& b = B();
  BattleSide& att = b.sides[b.attackerSide];
  BattleSide& def = b.sides[b.defenderSide];
  char text[128];
  if (g_closeStage == 0) {
    if (CloseFieldBattle()) return true;
    g_closeStage = 1;
  }
  if (att.status == 0 && def.status > 2) {
    int choice = -2;
    if (b.mode == 2 && !g_BattleConfig.turnLimit && def.clan == PlayerDaimyoId && !def.cutOff &&
        BattleScreen().FightsByHand()) {
      choice = BattleScreen().PlayerDefenderChoice();
      if (choice == -1) return false;  // the player is still choosing
    }
    if (choice == 40 || choice == 41) {
      def.status = choice == 40 ? 1 : 2;
    } else {
      int r = SideRetreatChoice(b.defenderSide, 0, def.cutOff ? 2 : 1);
      def.status = r == 5 ? 1 : 2;
    }
  }
  if (att.status > 2) att.status = 2;
  BattleSide& out = att.status != 0 ? att : def;
  const char* fmt = out.status == 1 ? (b.routFlag ? "%sは壊走し、篭城しました" : "%sは、篭城しました")
                                    : (b.routFlag ? "%sは壊走し、退却しました" : "%sは、退却しました");
  std::snprintf(text, sizeof text, fmt, ForceName(out.clan));
  b.outcome = 0;
  g_closeStage = 0;
  BattleResultMessage(text);
  BattleWait();
  return true;
}

void ClanMoraleAfterBattle() {
  BattleState& b = B();
  if (!IsSiroInUse(b.targetSiro)) return;
  const SiroRecord* s = SiroPtr(b.targetSiro);
  bool attackersLost = b.sides[b.attackerSide].status != 0;
  const SiroBusyoRef* list = attackersLost ? s->list2 : s->list1;
  int sum = 0;
  for (int i = 0; i < kSiroListLen; ++i) {
    uint16_t g = GetForceSlotBusyo(list[i].force, list[i].slot);
    if (g < kBusyoCount) sum += BusyoTable[g].soldiers;
  }
  int n = sum / 50 + 1;
  int winner = attackersLost ? s->list1[0].force : s->list2[0].force;
  int loser = attackersLost ? s->list2[0].force : s->list1[0].force;
  if (winner < kDaimyoInPlay) {
    uint8_t& m = DaimyoTable[winner].renown;
    for (int i = 0; i < n; ++i)
      if (SlgRandom(150) > m && m < 150) ++m;
  }
  if (loser < kDaimyoInPlay) {
    uint8_t& m = DaimyoTable[loser].renown;
    for (int i = 0; i < n; ++i)
      if (SlgRandom(150) < m && m > 1) --m;
  }
}
