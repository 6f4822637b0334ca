#include "battle/battle_state.h"

#include <cstring>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

BattleState g_Battle;
BattleConfig g_BattleConfig;

BattleConfig::BattleConfig() {
  for (int i = 0; i < 36; ++i) params[i] = (i < 16 || i >= 20) ? 100 : 0;
}

BattleState::BattleState() {
  for (BattleSide& s : sides) ClearBattleSide(s);
  std::memset(slots, 255, sizeof slots);
  for (int i = 0; i < 6; ++i) groupA[i] = groupB[i] = kNoUnitGeneral;
}

void ClearBattleUnit(BattleUnit& u) {
  std::memset(&u, 0, sizeof u);
  u.general = kNoUnitGeneral;
  u.firstGeneral = kNoUnitGeneral;
  u.lane = kNoLane;
  u.exposure = 10;
  u.lost = 255;
  u.pieces = 1;
  u.skillArmed = 1;
  u.pendingSkill = 255;
  u.onField = 1;
}

void ClearBattleSide(BattleSide& s) {
  std::memset(&s, 0, sizeof s);
  for (BattleUnit& u : s.units) ClearBattleUnit(u);
  s.clan = 255;
  s.siegeRate1 = s.stormRate = s.besiegeRate = s.siegeLossRate = 100;
  s.countdown = 0xFFFF;
  s.marker = 0xFFFF;
}

int CrtRand() {
  g_Battle.crtRand = g_Battle.crtRand * 214013u + 2531011u;
  return static_cast<int>((g_Battle.crtRand >> 16) & 0x7FFF);
}

// ---- Save block ----

void BattleRegisterFields(BattleFieldRegistrar reg, bool forLoad) {
  // A load writes these fields under the battle's feet: what they do not hold is rebuilt on the
  // battle's next step.
  if (forLoad) g_Battle.needsRederive = true;
  reg(&g_Battle.mode, 1);
  reg(&g_Battle.targetSiro, 2);
  reg(&g_Battle.siroLevel, 1);
  reg(&g_Battle.weather, 1);
  reg(&g_Battle.attackerSide, 1);
  reg(&g_Battle.defenderSide, 1);
  reg(&g_Battle.sides[0], static_cast<int32_t>(sizeof g_Battle.sides));
  reg(&g_Battle.slots[0][0], 32);
}

namespace {
uint8_t* g_cursor;
void CopyOut(void* address, int32_t size) {
  std::memcpy(g_cursor, address, static_cast<size_t>(size));
  g_cursor += size;
}
const uint8_t* g_in;
void CopyIn(void* address, int32_t size) {
  std::memcpy(address, g_in, static_cast<size_t>(size));
  g_in += size;
}
}  // namespace

void BattleSaveToBytes(uint8_t (&out)[kBattleSaveBytes]) {
  g_cursor = out;
  BattleRegisterFields(CopyOut, false);
}

bool BattleSaveFromBytes(const uint8_t* data, size_t size) {
  if (!data || size != kBattleSaveBytes) return false;
  g_in = data;
  BattleRegisterFields(CopyIn, true);
  return true;
}

void RederiveBattleState() {
  BattleState& b = g_Battle;
  b.needsRederive = false;
  // A save is taken only before deployment: the field is empty and no unit stands in a lane (the
  // slots past the stored 32 bytes are not in the file at all). Values a damaged file may hold
  // are brought back into range.
  std::memset(b.slots, 255, sizeof b.slots);
  if (b.mode > 2) b.mode = 0;
  if (b.weather > 2) b.weather = 0;
  b.attackerSide = b.attackerSide ? 1 : 0;
  b.defenderSide = b.attackerSide ? 0 : 1;
  for (BattleSide& side : b.sides) {
    if (side.status > 4) side.status = 0;
    for (BattleUnit& u : side.units) {
      u.lane = kNoLane;
      // A unit must name the general its stationing pair names; before deployment none is lost.
      if (u.general != kNoUnitGeneral && GetForceSlotBusyo(u.clan, u.slot) != u.general) ClearBattleUnit(u);
      if (u.firstGeneral != u.general) u.firstGeneral = u.general;
      if (u.lost != 0 && u.lost != 255) u.lost = 0;
      if (u.guns > u.soldiers) u.guns = u.soldiers;
      if (u.pendingSkill > 3) u.pendingSkill = 255;
    }
  }
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) b.views[side][i] = BattleUnitView{};
  const SiroRecord* s = IsSiroInUse(b.targetSiro) ? SiroPtr(b.targetSiro) : nullptr;
  if (!s) {
    // No castle to fight for: the battle ends without touching the world.
    b.mode = 0;
    b.laneCount = 0;
    for (BattleSide& side : b.sides) ClearBattleSide(side);
    b.sides[b.attackerSide].status = 2;
    return;
  }
  b.siroLevel = s->level;  // the siege has not begun at a save point
  b.siroSize = s->battlefield > 2 ? 2 : s->battlefield;
  b.laneCount = static_cast<uint8_t>((b.siroSize == 0 ? 4 : b.siroSize == 1 ? 5 : 7) - 2);
  b.siroFlag = s->battleFlag == 1 ? 1 : 0;
  b.roadLinked = 0;
  for (const SiroBusyoRef& r : s->list2) {
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g >= kBusyoCount) continue;
    uint16_t home = GetBusyoSiro(g);
    if (home != kNoSiro && IsSiroLinkOpen(b.targetSiro, home)) {
      b.roadLinked = 1;
      break;
    }
  }
  if (b.roadLinked) b.siroFlag = 0;
  b.attackerClan = s->list2[0].force;
  b.defenderClan = s->owner;
  b.enemyClan = b.defenderSide == 1 ? b.defenderClan : b.attackerClan;
  // Each side holds only generals of its own list: the garrison defends, the marchers attack.
  for (int side = 0; side < 2; ++side) {
    BattleSide& bs = b.sides[side];
    bool defending = side == b.defenderSide;
    bs.isDefender = defending ? 1 : 0;
    bs.clan = defending ? b.defenderClan : b.attackerClan;
    const SiroBusyoRef* list = defending ? s->list1 : s->list2;
    for (BattleUnit& u : bs.units) {
      bool listed = false;
      for (int i = 0; i < kSiroListLen; ++i)
        listed |= list[i].slot != kNoSlot && list[i].force == u.clan && list[i].slot == u.slot;
      if (u.general != kNoUnitGeneral && !listed) ClearBattleUnit(u);
    }
  }
  b.kuni = s->kuni;
  std::memcpy(b.siroCopy, s, sizeof b.siroCopy);
  b.order.clear();
  b.currentActor = -1;
  b.outcome = 0;
  BuildBattleGroups();
}
