#include "world/ai/ai_common.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "world/turn/play_state_blocks.h"
#include "world/world_queries.h"

uint16_t RecruitBudget = 0;
uint16_t AiRecruitOrder[kVassalScan];
uint8_t DebugWatchDaimyo = 254;

namespace {
// Carried by a save: a loaded game goes on from the same working state.
const char* CheckBusyoIds(const uint8_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint16_t g;
    std::memcpy(&g, b + i * 2, 2);
    if (g >= kBusyoCount && g != kNoBusyo) return "ai.recruit: general out of range";
  }
  return nullptr;
}
[[maybe_unused]] const bool kRecruitSaved =
    RegisterPlayStateBlock({"ai.recruit-budget", &RecruitBudget, sizeof RecruitBudget,
                            [](const uint8_t*) -> const char* { return nullptr; }}) &&
    RegisterPlayStateBlock({"ai.recruit-order", AiRecruitOrder, sizeof AiRecruitOrder,
                            [](const uint8_t* b) { return CheckBusyoIds(b, kVassalScan); }});
}  // namespace

int DaimyoTier(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 10;
  int koku = DaimyoTable[clan].revenue;
  return koku < 1000 ? 4 : koku < 2000 ? 8 : 10;
}

float AiRecruitRatio(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0.0f;
  const DaimyoRecord& d = DaimyoTable[clan];
  if (d.rank <= 1) return 0.35f;
  if (d.rank == 2) return 0.3f;
  int steps = (30000 - static_cast<int>(d.revenue)) / 1000;
  if (steps < 20) return 0.2f;
  return static_cast<float>(steps / 100.0);
}

int AiSiroLevelCap(uint32_t clan, uint32_t siro) {
  if (clan >= kDaimyoSlots || siro >= kSiroSlots) return 0;
  int cap = static_cast<int>(std::sqrt(static_cast<double>(DaimyoTable[clan].revenue)) * 0.5 + 5.0);
  return std::min<int>(cap, SiroTable[siro].maxLevel) & 0xFF;
}

int SiroGarrisonSoldiers(uint32_t siro) {
  if (!IsSiroInUse(siro)) return 0;
  int n = 0;
  for (const SiroBusyoRef& r : SiroTable[siro].list1) {
    if (r.slot == kNoSlot) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount) n += BusyoTable[g].soldiers;
  }
  return n;
}

int CountSiroGarrison(uint32_t siro) {
  if (!IsSiroInUse(siro)) return 0;
  int n = 0;
  for (const SiroBusyoRef& r : SiroTable[siro].list1)
    if (r.slot != kNoSlot && GetForceSlotBusyo(r.force, r.slot) < kBusyoCount) ++n;
  return n;
}

int GetSiroDefencePower(uint32_t clan, uint32_t siro) {
  (void)clan;
  if (!IsSiroInUse(siro)) return 0;
  return 2 * SiroTable[siro].level + SiroGarrisonSoldiers(siro);
}

EnemyNeighbour FindStrongestEnemyNeighbour(uint32_t clan, uint32_t siro) {
  EnemyNeighbour best{kNoSiro, 0};
  if (!IsSiroInUse(siro)) return best;
  const SiroRecord& s = SiroTable[siro];
  for (uint16_t n : s.neighbours) {
    if (!IsSiroInUse(n)) continue;
    const SiroRecord& t = SiroTable[n];
    if (t.owner == clan || t.aiState == 3 || IsSiroOfAlly(n, clan)) continue;
    int power = SiroGarrisonSoldiers(n);
    if (t.owner == PlayerDaimyoId) power = power * 3 / 2;
    power += t.level + 1;
    if (t.kuni != s.kuni) {
      if (t.owner == kNoDaimyo || DaimyoTable[t.owner].rank < 2) continue;
      power = power * 2 / 3;
    }
    if (best.siro == kNoSiro || power > best.power) best = {n, power};
  }
  return best;
}

void SortBusyoBySoldiers(uint16_t* list, int n) {
  auto soldiers = [](uint16_t g) { return g < kBusyoCount ? BusyoTable[g].soldiers : -1; };
  std::stable_sort(list, list + n, [&](uint16_t a, uint16_t b) {
    int sa = soldiers(a), sb = soldiers(b);
    if (sa != sb) return sa > sb;
    if (a >= kBusyoCount || b >= kBusyoCount) return a < kBusyoCount && b >= kBusyoCount;
    return GetBusyoStat1(a) > GetBusyoStat1(b);
  });
}

bool IsDaimyoAlive(uint32_t clan) {
  if (clan >= kDaimyoInPlay) return false;
  uint16_t head = DaimyoTable[clan].head;
  if (head >= NullBusyoId) return false;
  return FindForceSlot(static_cast<uint8_t>(clan), head) != 0xFFFF;
}

int SumDaimyoSoldiers(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0;
  int n = 0;
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = DaimyoTable[clan].vassals[i];
    if (g < kBusyoCount) n += BusyoTable[g].soldiers;
  }
  return n;
}

void RecalcAllyMarks() {
  for (int s = 0; s < kSiroSlots; ++s)
    if (IsSiroInUse(s)) SiroTable[s].allyMark = IsSiroOfAlly(s, PlayerDaimyoId) ? 1 : 0;
}

void EndAlliance(uint32_t clan, uint32_t other) {
  if (clan >= kDaimyoInPlay || other >= kDaimyoInPlay) return;
  for (int i = 0; i < 3; ++i) {
    if (DaimyoTable[clan].allies[i] == other) {
      DaimyoTable[clan].allies[i] = kNoDaimyo;
      DaimyoTable[clan].allyStanding[i] = 0;
    }
    if (DaimyoTable[other].allies[i] == clan) {
      DaimyoTable[other].allies[i] = kNoDaimyo;
      DaimyoTable[other].allyStanding[i] = 0;
    }
  }
  if (clan == PlayerDaimyoId || other == PlayerDaimyoId) RecalcAllyMarks();
}
