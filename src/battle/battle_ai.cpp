// The battle AI: one order per unit from the field alone, and the side's hold-or-retreat choice.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_rules.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }

int UnitIndexInSlot(int side, int lane) {
  if (lane < 0 || lane >= kBattleUnits) return -1;
  int u = B().slots[side][lane].unit;
  return u < kBattleUnits ? u : -1;
}

bool AtEnd(int column) { return column == 0 || column == 7; }

}  // namespace

int SideRetreatChoice(int side, int deflt, int mode) {
  BattleState& b = B();
  int o = Opposite(side);
  int64_t E = 0, P = 0;
  int S = 0, n = 0;
  for (const BattleUnit& u : b.sides[o].units)
    if (u.general != kNoUnitGeneral) E += static_cast<int64_t>(u.soldiers) * u.maxMorale;
  for (const BattleUnit& u : b.sides[side].units)
    if (u.general != kNoUnitGeneral) {
      P += static_cast<int64_t>(u.soldiers) * u.maxMorale;
      S += u.soldiers;
      ++n;
    }
  if (E <= (SlgRandom(10) + 15) * P / 10 && b.sides[side].soldiers >= b.laneCount && mode == 0) return deflt;
  const SiroRecord* siro = SiroPtr(b.targetSiro);
  int level = siro ? siro->level : 0;
  int c;
  if (P == 0) {
    c = 6;
  } else {
    int64_t ratio = (SlgRandom(15) + 15) * E / (P * 10);
    c = level <= ratio ? 6 : 5;
  }
  if (S > 4 * level) c = 6;
  int room = 0;
  int clan = b.sides[side].clan;
  if (siro) {
    for (uint16_t nb : siro->neighbours) {
      if (!IsSiroInUse(nb) || SiroTable[nb].owner != clan || IsSiroPassBlocked(b.targetSiro, nb)) continue;
      const SiroRecord& ns = SiroTable[nb];
      if (clan != kNoDaimyo) {
        room += CountSiroFreeSlots(nb);
        continue;
      }
      const KuniRecord* k = KuniPtr(ns.kuni);
      bool admits = k && k->dokuMode != 0;
      bool holdsSlot = false;
      if (n == 1)
        for (const BattleUnit& u : b.sides[side].units)
          if (u.general != kNoUnitGeneral)
            for (const SiroBusyoRef& r : ns.list1) holdsSlot |= r.force == kNoDaimyo && r.slot == u.slot;
      if (admits || holdsSlot) room += CountSiroFreeSlots(nb);
    }
  }
  if (mode != 2 || room < n) {
    if (side == b.attackerSide) return 6;
    return room < 3 && room < n ? 5 : c;
  }
  return 6;
}

int AiStance(int side) {
  if (side == B().defenderSide) return SideRetreatChoice(side, 0, 0);
  return SlgRandom(5);
}

int GunScore(int side, int lane) {
  BattleState& b = B();
  int ui = UnitIndexInSlot(side, lane);
  int ei = lane < b.laneCount ? UnitIndexInSlot(Opposite(side), lane) : -1;
  if (ui < 0 || ei < 0) return 0;
  const BattleUnit& u = b.sides[side].units[ui];
  const BattleUnit& e = b.sides[Opposite(side)].units[ei];
  int d = u.effect2 ? 1 : std::abs(SlotColumn(side, lane) - SlotColumn(Opposite(side), lane));
  int r = SideMoraleRatio(side);
  int q = r - SideMoraleRatio(Opposite(side));
  int A = MoraleRatioMultiplier(r, false) * (q / 4 + 100) / 100 + (b.siroFlag ? 20 : 0);
  A = std::max(0, A);
  int f = u.soldiers > u.guns ? u.soldiers - u.guns : 1;
  int g = std::min<int>(u.guns, (f + u.guns) * 3 / 5);
  int64_t score = static_cast<int64_t>(DistanceFactor(d)) * u.morale * g * A * 2 / 10000;
  score = score * std::max(0, u.attackPct - e.defencePct + 100) / 100;
  if (!u.effect1) {
    if (b.weather == 1)
      score = 0;
    else if (b.weather == 2)
      score /= 2;
  }
  if (side == b.attackerSide && b.round > 15) score = 0;
  if (u.reload > 0 && !u.effect5) score = 0;
  return static_cast<int>(std::min<int64_t>(score, 0x7FFFFFFF));
}

int AttackScore(int side, int lane) {
  BattleState& b = B();
  int ui = UnitIndexInSlot(side, lane);
  if (ui < 0) return 0;
  if (!EnemyAhead(side, lane) && !EnemyBehindLane(side, lane) && !EnemyNextLane(side, lane) &&
      !EnemyTwoAhead(side, lane) && !EnemyAheadBehindLane(side, lane) && !EnemyAheadNextLane(side, lane))
    return 0;
  const BattleUnit& u = b.sides[side].units[ui];
  int r = SideMoraleRatio(side);
  int q = (r - SideMoraleRatio(Opposite(side))) / 4;
  int A = std::max(0, MoraleRatioMultiplier(r, false) * (q + 100) / 100);
  int D = std::max(0, u.damagePct + 100);
  int i = static_cast<uint8_t>(u.soldiers - u.guns);
  int64_t score = static_cast<int64_t>(i) * u.morale * D * A / 10000;
  // A very strong attack keeps the largest score instead of wrapping to a small one.
  return static_cast<int>(std::min<int64_t>(score, 0xFFFF));
}

int ChargeScore(int side, int lane) {
  BattleState& b = B();
  if (b.siroFlag) return 0;
  int ui = UnitIndexInSlot(side, lane);
  if (ui < 0) return 0;
  const BattleUnit& u = b.sides[side].units[ui];
  int c = AttackScore(side, lane) * 13 / 10;
  bool possible = false;
  auto reach = [&](int targetLane) {
    const BattleUnit* t = targetLane >= 0 && targetLane < b.laneCount ? SlotUnit(Opposite(side), targetLane) : nullptr;
    if (t && (u.morale >= t->morale / 2 || u.soldiers >= t->soldiers / 2)) possible = true;
  };
  if (EnemyAhead(side, lane) || EnemyTwoAhead(side, lane)) reach(lane);
  if (EnemyBehindLane(side, lane) || EnemyAheadBehindLane(side, lane)) reach(lane - Facing(side));
  if (EnemyNextLane(side, lane) || EnemyAheadNextLane(side, lane)) reach(lane + Facing(side));
  return possible && u.morale > 10 ? c : 0;
}

bool KeepPlace(int side, int lane) {
  BattleState& b = B();
  const BattleSide& s = b.sides[side];
  int ui = UnitIndexInSlot(side, lane);
  if (ui < 0) return true;
  const BattleUnit& u = s.units[ui];
  if (b.laneCount >= kBattleUnits || s.units[b.laneCount].general == kNoUnitGeneral) return true;
  for (int l = 0; l < 3 && l < b.laneCount; ++l) {
    const BattleUnit* o = SlotUnit(side, l);
    if (o && o->morale < u.morale) return true;
  }
  if (b.slots[side][0].display == 6 || b.slots[side][2].display == 6) return true;
  for (const BattleUnit& r : s.units)
    if (r.general != kNoUnitGeneral && r.lane == kNoLane && r.morale > u.morale) return false;
  return true;
}

int BattleAiOrder(int side, int lane) {
  BattleState& b = B();
  int ui = UnitIndexInSlot(side, lane);
  if (lane < 0 || lane >= b.laneCount || ui < 0) return kOrderNothing;
  BattleSide& s = b.sides[side];
  const BattleUnit& u = s.units[ui];
  int o = Opposite(side);
  int col = SlotColumn(side, lane);
  int ei = UnitIndexInSlot(o, lane);
  const BattleUnit* e = ei >= 0 ? &b.sides[o].units[ei] : nullptr;
  bool ahead = EnemyAhead(side, lane), behind = EnemyBehindLane(side, lane), next = EnemyNextLane(side, lane);
  bool two = EnemyTwoAhead(side, lane), aheadBehind = EnemyAheadBehindLane(side, lane),
       aheadNext = EnemyAheadNextLane(side, lane);
  int dist = 99;
  if (e) dist = std::abs(col - SlotColumn(o, lane));
  if (behind || next) dist = 1;
  int eSoldiers = e ? e->soldiers : 0, eMorale = e ? e->morale : 0;
  int gs = GunScore(side, lane), as = AttackScore(side, lane), cs = ChargeScore(side, lane);
  bool commander = u.commander != 0;
  bool adjacent = behind || next || ahead;

  // Stance.
  bool aggressive = side == b.attackerSide;
  int leaning = GeneralLeaning(side, lane);
  bool check = StrengthCheck(side, lane);
  if (!check) aggressive = leaning == 0 ? !aggressive : leaning == 1;
  int near = ahead + behind + next;
  int far = two + aheadBehind + aheadNext;
  auto enemyIn = [&](int l) { return l >= 0 && l < b.laneCount ? SlotUnit(o, l) : nullptr; };
  int64_t threat = 0;
  auto addThreat = [&](int l, bool adj, bool further) {
    const BattleUnit* t = enemyIn(l);
    if (t) threat += static_cast<int64_t>(t->soldiers) * ((adj ? t->morale : 0) + (further ? t->morale : 0));
  };
  addThreat(lane, ahead, two);
  addThreat(lane - Facing(side), behind, aheadBehind);
  addThreat(lane + Facing(side), next, aheadNext);
  int64_t support = u.morale;
  auto addFriend = [&](int l, bool near1) {
    const BattleUnit* f = near1 ? SlotUnit(side, l) : nullptr;
    if (f) support += static_cast<int64_t>(f->soldiers) * f->morale;
  };
  addFriend(lane - Facing(side), FriendBehindLane(side, lane));
  addFriend(lane + Facing(side), FriendNextLane(side, lane));
  support = support * (aggressive ? 12 : 8) / 10;
  int k = std::min(8, SlotStrength(side, lane) / 5);
  int64_t tt = threat * k / (leaning == 0 ? 8 : leaning == 1 ? 10 : 6);
  bool strong = support > tt;
  static const int kLow[3] = {30, 24, 36}, kHigh[3] = {50, 40, 60};
  int m = u.maxMorale ? u.morale * 100 / u.maxMorale : 0;
  bool weak = m <= kLow[leaning] || (m <= kHigh[leaning] && !strong);

  // At the enemy's end of the field with the enemy still away: go on.
  if (e && dist > 1 && ((side == 0 && col == 7) || (side == 1 && col == 0))) return kOrderAdvance;

  // Shared first rules.
  // Sent only when a reserve unit would go, so a commander never spends his turns on it in vain.
  bool willing = false;
  for (const BattleUnit& r : s.units)
    willing |= r.general != kNoUnitGeneral && r.lane == kNoLane && r.morale > r.maxMorale / 2;
  bool detachable = b.weather != 2 && s.countdown == 0xFFFF && commander && b.laneCount < 5 &&
                    b.slots[side][b.laneCount].unit == 255 && s.units[b.laneCount].general != kNoUnitGeneral && willing;
  if (detachable) return kOrderDetach;
  if (u.skillArmed && dist == 1) {
    for (uint16_t sk : u.skills)
      if (sk >= 1 && sk <= kSkillCount && SkillTable[sk - 1].effects[3].kind == 1) return kOrderSkill;
  }
  if (weak) {
    if (!KeepPlace(side, lane) && !commander && !AtEnd(col)) return kOrderSwap;
    if (dist == 1 && !AtEnd(col)) return kOrderFallBack;
    return kOrderNothing;
  }
  auto gunsPass = [&]() {
    if (!e || gs <= 0 || gs < as || gs < cs) return false;
    return (eSoldiers > 0 && gs / eSoldiers > 75) || gs > 5 * eMorale;
  };
  auto attackOrder = [&](bool det) {
    int base = det ? kOrderAttackDetFirst : kOrderAttackFirst;
    return behind ? base : next ? base + 2 : base + 1;
  };
  auto chargeOrder = [&](bool det) {
    int base = det ? kOrderChargeDetFirst : kOrderChargeFirst;
    return behind ? base : next ? base + 2 : base + 1;
  };

  if (aggressive) {
    if (!strong && near >= 2 && !AtEnd(col)) return kOrderFallBack;
    bool gunsOk = gunsPass();
    int g = gunsOk ? gs : 0;
    if (gunsOk) return kOrderGuns;
    if (dist >= 2 && dist != 99 && strong) return kOrderAdvance;
    if (adjacent && as >= g && as >= cs && as > 0) return attackOrder(s.countdown == 0);
    if (adjacent && cs >= g && cs >= as && cs > 0) return chargeOrder(commander && s.countdown == 0);
    return GunScore(side, lane) > 0 ? kOrderGuns : kOrderNothing;
  }

  if (far > 0 && dist >= 2) return gunsPass() ? kOrderGuns : kOrderNothing;
  if (near >= 2 && !strong && !AtEnd(col)) return kOrderFallBack;
  bool gunsOk = gunsPass();
  if (gunsOk) return kOrderGuns;
  if (adjacent && as >= 0 && as >= cs && as > 0) return attackOrder(commander && s.countdown == 0);
  if (adjacent && cs >= as && cs > 0) return chargeOrder(commander && s.countdown == 0);
  if (!adjacent) {
    bool go = false;
    if (SlgRandom(100) > 50 && eSoldiers / 2 < u.soldiers && eMorale / 2 < u.morale) go = true;
    if (u.soldiers > 2 * eSoldiers || (u.soldiers > eSoldiers && u.morale > 1.5 * eMorale)) go = true;
    if (go) return kOrderAdvance;
  }
  if (!e) return kOrderNothing;
  return GunScore(side, lane) > 0 ? kOrderGuns : kOrderNothing;
}

void BattleAiSideDecision(int side, int lane) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  if (b.sides[Opposite(side)].status != 0 || s.status != 0) return;
  if (b.laneCount < kBattleUnits && s.units[b.laneCount].general != kNoUnitGeneral) return;
  const BattleUnit* u = SlotUnit(side, lane);
  if (!u || !AtEnd(SlotColumn(side, lane))) return;
  const BattleUnit* e = lane < b.laneCount ? SlotUnit(Opposite(side), lane) : nullptr;
  if (u->morale > 20 || !e || e->morale < 51 || b.round >= 18) return;
  char text[128];
  if (SideRetreatChoice(side, 5, 1) == 5) {
    s.status = 1;
    std::snprintf(text, sizeof text, "%sは篭城するようです", ForceName(s.clan));
  } else {
    s.status = 2;
    std::snprintf(text, sizeof text, "%sは、退却するようです", ForceName(s.clan));
  }
  BattleMessage(text);
  BattleWait();
}
