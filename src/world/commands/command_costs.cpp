#include "world/commands/command_costs.h"

#include <algorithm>
#include <cmath>

#include "world/float_rules.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

const DaimyoRecord* Player() { return PlayerDaimyoId < kDaimyoInPlay ? &DaimyoTable[PlayerDaimyoId] : nullptr; }

bool InKuni(uint16_t siro, uint8_t kuni) { return siro < kSiroSlots && SiroTable[siro].kuni == kuni; }

// Best strength of a skill kind among the player's generals in a country; -1 none.
int BestSkillInKuni(uint8_t kuni, int kind, uint16_t* who) {
  const DaimyoRecord* p = Player();
  int best = -1;
  if (who) *who = kNoBusyo;
  if (!p || kuni >= kKuniCount) return best;
  for (int i = 0; i < kVassalScan; ++i) {
    const uint16_t b = p->vassals[i];
    if (b >= kBusyoCount || !InKuni(BusyoTable[b].siro, kuni) || !HasSkillEffect(b, kind)) continue;
    const int v = GetSkillEffectValue(b, kind);
    if (v > best) {
      best = v;
      if (who) *who = b;
    }
  }
  return best;
}

}  // namespace

float GetRecruitRatio(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0.0f;
  const DaimyoRecord& d = DaimyoTable[clan];
  if (d.rank <= 1) return 0.35f;
  if (d.rank == 2) return 0.3f;
  const int q = (30000 - d.revenue) / 1000;
  return q < 20 ? 0.2f : static_cast<float>(q) / 100.0f;
}

int GetHireLimit(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0;
  const DaimyoRecord& d = DaimyoTable[clan];
  constexpr int kMostSoldiers = kVassalScan * 50;
  int limit = TruncProduct(d.revenue, GetRecruitRatio(clan)) - d.soldiers;
  if (limit > kMostSoldiers) limit = kMostSoldiers - d.soldiers;
  return std::clamp(limit, 0, kMostSoldiers);
}

int GetKuniApplicants(uint8_t kuni, uint16_t* busyoOut) {
  if (busyoOut) *busyoOut = kNoBusyo;
  if (kuni >= kKuniCount) return 0;
  const KuniRecord& k = KuniTable[kuni];
  const int plain = k.recruitBase * k.playerShare / 100;
  uint16_t who = kNoBusyo;
  const int best = BestSkillInKuni(kuni, 26, &who);
  int n = plain;
  if (best >= 0) {
    n = TruncProduct(k.recruitBase * k.playerShare / 100.0, SkillFactorUp(best));
    if (busyoOut) *busyoOut = who;
  }
  return std::clamp(n, 0, 254);
}

int GetGunPrice(uint8_t kuni) {
  const DaimyoRecord* p = Player();
  const int base = p ? 2 * p->gunRate : 0;
  const int best = BestSkillInKuni(kuni, 25, nullptr);
  const int price = best < 0 ? base : TruncProduct(base, SkillFactorDown(best));
  return std::max(price, 1);
}

int GetRewardCost(int choice) { return choice == 0 ? 5 : (choice == 1 ? 15 : 0); }

bool IsCommandCostAffordable(int choice) {
  const DaimyoRecord* p = Player();
  return p && GetRewardCost(choice) < p->money;
}

int GetInfoCost(int rank) { return rank <= 1 ? 0 : (rank == 2 ? 10 : 20); }

int FloodControlCost() { return kFloodControlCost; }

int FreeMarketCost() { return CurrentKuniId < kKuniCount ? KuniTable[CurrentKuniId].town / 10 : 0; }

int SiroWorkCost(uint16_t busyo, int levels) {
  if (busyo >= kBusyoCount) return 0xFFFF;
  const int s = std::min(GetBusyoStat3(busyo), 16);
  const float term = FloatTerm(20.0 - s / 5.0 + levels);
  const double v = static_cast<double>(term) * (levels + 3) * 0.125 *
                   static_cast<double>(SkillFactorDown(GetSkillEffectValue(busyo, 27)));
  return std::clamp(static_cast<int>(v), 0, 0xFFFF);
}

int GetSiroLevelCap(uint32_t clan, uint16_t siro) {
  if (clan >= kDaimyoSlots || siro >= kSiroSlots) return 0;
  const float root = static_cast<float>(std::sqrt(static_cast<double>(DaimyoTable[clan].revenue)));
  const int cap = static_cast<int>(static_cast<double>(root) * 0.5 + 5);
  return std::min(cap, static_cast<int>(SiroTable[siro].maxLevel));
}

bool IsSiroWorkCostAffordable(uint16_t busyo, int levels) {
  const DaimyoRecord* p = Player();
  return p && SiroWorkCost(busyo, levels) < p->money;
}

int MoveCostPerBusyo(int rank) { return rank <= 1 ? 1 : (rank == 2 ? 3 : 5); }

int FloodControlGain(int stat3, int draw01, int skill30) {
  const double product = 2.0 * (stat3 / 5.0) * (draw01 + 1);
  return std::max(TruncProduct(product, SkillFactorUp(skill30)), 0);
}

int FreeMarketGain(int stat3, int town, int draw01, int skill31) {
  const float f = SkillFactorUp(skill31);
  const float a = FloatTerm(stat3 / 5.0);
  const float b = FloatTerm(town * (draw01 + 1) / 10.0 * static_cast<double>(f));
  return std::max(static_cast<int>(static_cast<double>(a) / 10.0 * static_cast<double>(b)), 0);
}

int LevyAmount(int koku, int town, int draw200) {
  const double v = (5.0 * koku + 2.0 * town) * 0.25 * (draw200 + 100) / 1000.0;
  return std::clamp(static_cast<int>(v), 0, 255);
}

int LevyMoodDrop(int x, int draw100, int skill28) {
  const double v = (20.0 - x) * static_cast<double>(FloatTerm((draw100 + 50) / 100.0)) *
                   static_cast<double>(SkillFactorDown(skill28));
  return std::max(static_cast<int>(v), 0);
}

int RecruitMoodDrop(int mood, int v, int value) {
  if (value <= 0) return 0;
  return mood * v * 3 / value;
}
