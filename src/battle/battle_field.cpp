// Lane field: geometry, strength and morale helpers, splitting and deployment, the placement
// refresh and the action order of a round.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }
bool LaneOnField(int lane) { return lane >= 0 && lane < B().laneCount; }
const BattleFieldSlot* Slot(int side, int lane) {
  if (side < 0 || side > 1 || lane < 0 || lane >= kBattleUnits) return nullptr;
  const BattleFieldSlot& s = B().slots[side][lane];
  return s.unit == 255 ? nullptr : &s;
}
// Enemy slot in a lane of the field (null outside the lanes or empty).
const BattleFieldSlot* EnemySlot(int side, int lane) {
  if (!LaneOnField(lane)) return nullptr;
  return Slot(Opposite(side), lane);
}

}  // namespace

BattleUnit* SlotUnit(int side, int lane) {
  const BattleFieldSlot* s = Slot(side, lane);
  if (!s || s->unit >= kBattleUnits) return nullptr;
  return &B().sides[side].units[s->unit];
}

int SlotColumn(int side, int lane) {
  const BattleFieldSlot* s = Slot(side, lane);
  return s ? s->column : -1;
}

bool EnemyAhead(int side, int lane) {
  const BattleFieldSlot* own = Slot(side, lane);
  const BattleFieldSlot* e = EnemySlot(side, lane);
  return own && e && own->column + Facing(side) == e->column;
}

static bool EnemySameColumn(int side, int lane, int other) {
  const BattleFieldSlot* own = Slot(side, lane);
  const BattleFieldSlot* e = EnemySlot(side, other);
  return own && e && own->column == e->column;
}
bool EnemyBehindLane(int side, int lane) { return EnemySameColumn(side, lane, lane - Facing(side)); }
bool EnemyNextLane(int side, int lane) { return EnemySameColumn(side, lane, lane + Facing(side)); }

bool EnemyTwoAhead(int side, int lane) {
  if (B().weather == 2) return false;
  const BattleFieldSlot* own = Slot(side, lane);
  const BattleFieldSlot* e = EnemySlot(side, lane);
  return own && e && own->column + 2 * Facing(side) == e->column;
}

static bool EnemyAheadDiagonal(int side, int lane, int other) {
  if (B().weather == 2) return false;
  const BattleFieldSlot* own = Slot(side, lane);
  if (!own) return false;
  const BattleFieldSlot* e = EnemySlot(side, other);
  if (!e) return own->column + Facing(side) == -1;
  return own->column + Facing(side) == e->column;
}
bool EnemyAheadBehindLane(int side, int lane) { return EnemyAheadDiagonal(side, lane, lane - Facing(side)); }
bool EnemyAheadNextLane(int side, int lane) { return EnemyAheadDiagonal(side, lane, lane + Facing(side)); }

static bool FriendNear(int side, int lane, int other) {
  const BattleFieldSlot* own = Slot(side, lane);
  if (!own || !LaneOnField(other)) return false;
  const BattleFieldSlot* f = Slot(side, other);
  return f && std::abs(f->column - own->column) <= 1;
}
bool FriendBehindLane(int side, int lane) { return FriendNear(side, lane, lane - Facing(side)); }
bool FriendNextLane(int side, int lane) { return FriendNear(side, lane, lane + Facing(side)); }

// ---- Strength and morale ----

int GeneralLeaning(int side, int lane) {
  const BattleUnit* u = SlotUnit(side, lane);
  if (!u || u->general >= kBusyoCount) return 0;
  const BusyoRecord& b = BusyoTable[u->general];
  if (b.cur.stat[0] >= 1.5 * b.cur.stat[2]) return 1;
  if (b.cur.stat[2] >= 1.5 * b.cur.stat[0]) return 2;
  return 0;
}

int UnitStrength(int side, int unit) {
  if (side < 0 || side > 1 || unit < 0 || unit >= kBattleUnits) return 0;
  const BattleUnit& u = B().sides[side].units[unit];
  if (u.general >= kBusyoCount) return 0;
  int v = (GetBusyoStat2(u.general) & 0xFF) + u.strengthMod;
  if (BusyoTable[u.general].contactDaimyo == B().sides[Opposite(side)].clan) v = v * 50 / 100;
  return std::clamp(v, 1, 100);
}

int SlotStrength(int side, int lane) {
  const BattleFieldSlot* s = Slot(side, lane);
  return s ? UnitStrength(side, s->unit) : 0;
}

bool StrengthCheck(int side, int lane) { return SlgRandom(100) < 65 + 3.0 * SlotStrength(side, lane) / 5.0; }

int EffectiveMorale(int side, int unit) {
  const BattleUnit& u = B().sides[side].units[unit];
  return std::clamp(u.morale + u.pendingMorale, 0, 255);
}

int BattleParam(int attackerKind, int targetKind) {
  int index = attackerKind * 4 + targetKind;
  if (index < 0 || index >= 16) return 100;
  int base = B().roadLinked ? 0 : 20;
  return g_BattleConfig.params[base + index] & 0xFF;
}

int MoraleRatioMultiplier(int ratio, bool random) {
  if (ratio >= 100) return 100;
  int band = ratio >= 70 ? 0 : ratio >= 50 ? 1 : ratio >= 30 ? 2 : 3;
  static const int kFixed[4] = {103, 105, 108, 113};
  static const int kRange[4] = {6, 11, 16, 21};
  return random ? 100 + SlgRandom(static_cast<uint8_t>(kRange[band])) : kFixed[band];
}

int DistanceFactor(int d) {
  // The percent held in a byte: 600, 450, 324 ... keep only their low 8 bits.
  static const uint8_t kTable[8] = {0, 88, 194, 68, 218, 131, 59, 0};
  return d >= 1 && d <= 7 ? kTable[d] : 0;
}

int SiegeEndurance(int side) {
  const BattleSide& s = B().sides[side];
  int best = 0;
  for (int i = 0; i < kBattleUnits; ++i)
    if (s.units[i].general != kNoUnitGeneral) best = std::max(best, static_cast<int>(UnitStrength(side, i) / 5.0));
  return s.soldiers * 5 / (2 * std::max(1, best)) + 1;
}

int SideClanMoney(int side) {
  int clan = B().sides[side].clan;
  return clan >= kDaimyoInPlay ? 0 : DaimyoTable[clan].money;
}

int SideMoraleRatio(int side) {
  const BattleSide& s = B().sides[side];
  return s.startMorale == 0 ? 0 : s.morale * 100 / s.startMorale;
}

void ResetUnitRound(int side, int unit) {
  BattleUnit& u = B().sides[side].units[unit];
  u.pendingMorale = 0;
  u.modifierA = 0;
  u.strengthMod = 0;
  u.effect1 = u.effect2 = 0;
  u.attackPct = u.defencePct = 0;
  u.hitMarks = 0;
  u.damagePct = 0;
  u.effect5 = 0;
  u.touched = 0;
  u.shownValue = 0;
  u.word64 = 0;
}

void ApplyPendingMorale(int side, int unit) {
  BattleUnit& u = B().sides[side].units[unit];
  if (u.general == kNoUnitGeneral || u.morale == 0) return;
  u.morale = static_cast<uint8_t>(std::clamp(u.morale + u.pendingMorale, 1, 255));
  u.pendingMorale = 0;
  u.maxMorale = std::max(u.maxMorale, u.morale);
}

void SideMoraleTotal(int side) {
  BattleSide& s = B().sides[side];
  int total = 0;
  for (const BattleUnit& u : s.units)
    if (u.general != kNoUnitGeneral) total += std::max(0, u.morale + u.pendingMorale);
  s.morale = static_cast<uint16_t>(total);
}

void SideSoldierTotal(int side) {
  BattleSide& s = B().sides[side];
  int total = 0;
  for (const BattleUnit& u : s.units)
    if (u.general != kNoUnitGeneral) total += u.soldiers;
  s.soldiers = static_cast<uint16_t>(total);
}

void CountdownRound() {
  for (BattleSide& s : B().sides) {
    for (BattleUnit& u : s.units)
      if (u.reload > 0) --u.reload;
    if (static_cast<int16_t>(s.countdown) > 0) --s.countdown;
    if (s.marker != 0xFFFF) s.marker = 0xFFFE;
  }
}

bool MoraleCollapse(int side) {
  int r = SideMoraleRatio(side);
  if (r > 40) return false;
  int d = SideMoraleRatio(Opposite(side)) - r - 30;
  if (d < 2) return false;
  return SlgRandom(100) < d / 2;
}

void MergeSameGeneral() {
  for (BattleSide& s : B().sides) {
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnit& a = s.units[i];
      if (a.general == kNoUnitGeneral) continue;
      for (int j = i + 1; j < kBattleUnits; ++j) {
        BattleUnit& c = s.units[j];
        if (c.general != a.general) continue;
        a.soldiers = static_cast<uint8_t>(std::min(255, a.soldiers + c.soldiers));
        a.guns = static_cast<uint8_t>(std::min(255, a.guns + c.guns));
        if (c.lost == 1) a.lost = 1;
        c.general = kNoUnitGeneral;
        c.firstGeneral = kNoUnitGeneral;
        c.soldiers = c.guns = 0;
      }
    }
    for (BattleUnit& u : s.units)
      if (u.lost == 1) u.soldiers = u.guns = 0;
  }
}

int ClanMorale(int clan) { return clan >= kDaimyoInPlay ? 50 : DaimyoTable[clan].renown; }

// ---- Splitting and deployment ----

void SplitUnit(int side, int dest, int src, int pieces) {
  BattleSide& s = B().sides[side];
  BattleUnit& from = s.units[src];
  if (pieces < 1) return;
  if (dest != src) {
    BattleUnit& to = s.units[dest];
    to = from;
    for (uint16_t& k : to.skills) k = 0;
    to.soldiers = static_cast<uint8_t>(from.soldiers / pieces);
    to.guns = static_cast<uint8_t>(from.guns / pieces);
    to.pieces = static_cast<uint16_t>(pieces);
    to.copyMark = 16;
    to.onField = 0;
    to.commander = 0;
  } else {
    from.soldiers = static_cast<uint8_t>(from.soldiers - (from.soldiers / pieces) * (pieces - 1));
    from.guns = static_cast<uint8_t>(from.guns - (from.guns / pieces) * (pieces - 1));
    from.pieces = static_cast<uint16_t>(pieces);
  }
}

void SplitUnits() {
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = B().sides[side];
    int n = 0;
    while (n < kBattleUnits && s.units[n].general != kNoUnitGeneral) ++n;
    int free = B().laneCount - n;
    if (free <= 0 || n == 0) continue;
    int share[kBattleUnits] = {};
    int sum = 0, largest = 0;
    for (int i = 0; i < n; ++i) {
      const BattleUnit& u = s.units[i];
      // A copy needs a soldier of its own: a unit is never split into more pieces than soldiers.
      share[i] = u.soldiers <= 1 ? 0 : std::min({free / n, static_cast<int>(u.soldiers), u.soldiers - 1});
      sum += share[i];
      if (u.soldiers > s.units[largest].soldiers) largest = i;
    }
    if (sum < free && s.units[largest].soldiers > 1)
      share[largest] = std::min(share[largest] + free - sum, s.units[largest].soldiers - 1);
    int next = n;
    for (int i = 0; i < n; ++i) {
      if (share[i] <= 0) continue;
      int k = std::min(share[i], kBattleUnits - next);
      if (k <= 0) continue;
      for (int c = 0; c < k; ++c) SplitUnit(side, next++, i, k + 1);
      SplitUnit(side, i, i, k + 1);
    }
  }
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = B().sides[side];
    for (BattleUnit& u : s.units) u.startMorale = u.morale;
    SideMoraleTotal(side);
    s.startMorale = s.morale;
    SideSoldierTotal(side);
  }
}

int FormationColumn(int sizeClass, int formation, int lane) {
  static const uint8_t kTable[3][5][5] = {
      {{1, 1}, {1, 1}, {1, 1}, {2, 1}, {1, 2}},
      {{1, 1, 1}, {1, 2, 1}, {2, 1, 2}, {2, 1, 0}, {0, 1, 2}},
      {{1, 1, 1, 1, 1}, {0, 1, 2, 1, 0}, {2, 1, 0, 1, 2}, {2, 2, 1, 1, 0}, {0, 1, 1, 2, 2}},
  };
  sizeClass = std::clamp(sizeClass, 0, 2);
  formation = std::clamp(formation, 0, 4);
  lane = std::clamp(lane, 0, 4);
  return kTable[sizeClass][formation][lane];
}

int CommanderUnit(int side) {
  int found = -1;
  for (int i = 0; i < kBattleUnits; ++i)
    if (B().sides[side].units[i].commander && B().sides[side].units[i].general != kNoUnitGeneral) found = i;
  return found;
}

void AiDeploy(int side) {
  BattleState& b = B();
  BattleSide& s = b.sides[side];
  int stance = AiStance(side);
  if (stance == 5) s.status = 1;
  if (stance == 6) s.status = 2;
  if (side == b.attackerSide && s.soldiers < b.laneCount) s.status = 2;
  if (s.status != 0) return;
  SplitUnits();
  // Units by stat1 x 2 / 5 + soldiers, larger first, empty units last.
  int idx[kBattleUnits];
  for (int i = 0; i < kBattleUnits; ++i) idx[i] = i;
  auto key = [&](int i) {
    const BattleUnit& u = s.units[i];
    if (u.general == kNoUnitGeneral) return -1.0;
    return GetBusyoStat1(u.general) * 2 / 5.0 + u.soldiers;
  };
  for (int i = 0; i < kBattleUnits; ++i) {
    int best = i;
    for (int j = i + 1; j < kBattleUnits; ++j)
      if (key(idx[j]) > key(idx[best])) best = j;
    std::swap(idx[i], idx[best]);
  }
  int formation = side;  // the formation row of the side's index
  int lanes = 0;
  for (int i = 0; i < kBattleUnits && lanes < b.laneCount; ++i) {
    BattleUnit& u = s.units[idx[i]];
    if (u.general == kNoUnitGeneral) continue;
    u.lane = static_cast<uint8_t>(lanes);
    int col = FormationColumn(b.siroSize, formation, lanes);
    b.slots[side][lanes] = {static_cast<uint8_t>(idx[i]), static_cast<uint8_t>(side == 0 ? col : 7 - col), 255, 0};
    ++lanes;
  }
  // The commander stays out of the foremost column when another lane stands further back.
  int cmd = CommanderUnit(side);
  if (cmd >= 0 && s.units[cmd].lane < lanes) {
    int cl = s.units[cmd].lane;
    auto depth = [&](int lane) { return side == 0 ? b.slots[side][lane].column : 7 - b.slots[side][lane].column; };
    int back = cl;
    for (int l = 0; l < lanes; ++l)
      if (depth(l) < depth(back)) back = l;
    int front = 0;
    for (int l = 0; l < lanes; ++l) front = std::max(front, depth(l));
    if (back != cl && depth(cl) == front) {
      std::swap(b.slots[side][cl].unit, b.slots[side][back].unit);
      s.units[b.slots[side][cl].unit].lane = static_cast<uint8_t>(cl);
      s.units[b.slots[side][back].unit].lane = static_cast<uint8_t>(back);
    }
  }
}

void RefreshBattlePlacement() {
  BattleState& b = B();
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = b.sides[side];
    for (int i = 0; i < kBattleUnits; ++i) {
      for (int j = i + 1; j < kBattleUnits; ++j) {
        if (s.units[j].lane >= s.units[i].lane) continue;
        std::swap(s.units[i], s.units[j]);
        std::swap(b.views[side][i], b.views[side][j]);
        for (BattleFieldSlot& slot : b.slots[side]) {
          if (slot.unit == i)
            slot.unit = static_cast<uint8_t>(j);
          else if (slot.unit == j)
            slot.unit = static_cast<uint8_t>(i);
        }
      }
    }
    for (int i = 0; i < kBattleUnits; ++i) {
      const BattleUnit& u = s.units[i];
      BattleUnitView& v = b.views[side][i];
      if (u.general == kNoUnitGeneral)
        v.status = 0;
      else if (u.lane < b.laneCount)
        v.status = u.lane + 2;
      else if (u.lane == b.laneCount)
        v.status = 7;
      else
        v.status = u.morale != 0 ? 1 : 8;
    }
  }
}

void BuildBattleOrder() {
  BattleState& b = B();
  struct Node {
    BattleOrderEntry e;
    double key;
  };
  std::vector<Node> nodes;
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) {
      BattleUnitView& v = b.views[side][i];
      v.orderIndex = -1;
      const BattleUnit& u = b.sides[side].units[i];
      if (u.general == kNoUnitGeneral || u.lane == kNoLane || v.status < 2 || v.status > 7) continue;
      double key;
      int strength = UnitStrength(side, i) & 0xFF;
      if (v.status == 7)
        key = side == b.attackerSide ? 1000 : 2000;
      else if (b.orderMode == 1)
        key = -(strength + v.orderBonus);
      else if (b.orderMode == 2)
        key = CrtRand() % 100;
      else if (b.orderMode == 3)
        key = strength;
      else
        key = -strength;
      nodes.push_back({{static_cast<uint8_t>(side), static_cast<uint8_t>(i), u.general, v.status == 7}, key});
    }
  std::stable_sort(nodes.begin(), nodes.end(), [](const Node& x, const Node& y) { return x.key < y.key; });
  b.order.clear();
  for (size_t n = 0; n < nodes.size(); ++n) {
    b.order.push_back(nodes[n].e);
    b.views[nodes[n].e.side][nodes[n].e.unit].orderIndex = static_cast<int>(n);
  }
  b.currentActor = b.order.empty() ? -1 : 0;
  AdvanceActor();
}

int AdvanceActor() {
  BattleState& b = B();
  if (b.currentActor < 0) return -1;
  while (b.currentActor < static_cast<int>(b.order.size())) {
    const BattleOrderEntry& e = b.order[b.currentActor];
    if (!b.views[e.side][e.unit].acted) return b.currentActor;
    ++b.currentActor;
  }
  b.currentActor = -1;
  return -1;
}
