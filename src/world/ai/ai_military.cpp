// The computer clans' military thinking: target countries, recruiting, soldiers and guns.
#include "world/ai/ai_military.h"

#include <algorithm>
#include <cmath>

#include "world/ai/ai_common.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/world_queries.h"

namespace {

template <typename F>
void ForKuniSiro(uint32_t kuni, F&& f) {
  if (kuni >= kKuniCount) return;
  const KuniRecord& k = KuniTable[kuni];
  for (uint32_t s = k.firstSiro; s <= k.lastSiro && s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].kuni == kuni) f(s);
}

struct TargetEntry {
  uint8_t kuni;
  uint32_t weight;  // weight (held countries) or defence power (frontier countries)
  uint32_t links;
};

}  // namespace

int GetKuniDefencePower(uint32_t kuni) {
  if (kuni >= kKuniCount) return 65000;
  int soldiers = 0, levels = 0;
  ForKuniSiro(kuni, [&](uint32_t s) {
    soldiers += SiroGarrisonSoldiers(s);
    levels += 2 * SiroTable[s].level;
  });
  if (kuni == 35) levels /= 2;
  int sum = (1000 - static_cast<int>(KuniTable[kuni].land)) / 10 + levels + soldiers;
  int p = sum < 0 ? 65000 : sum / 20;
  uint8_t region = KuniTable[kuni].region;
  if (region == 0 || region == 8) p = p * 3 / 2;
  if (kuni == 33)
    p /= 2;
  else if (kuni == 24)
    p = p * 5 / 4;
  return std::min(p, 65000);
}

int CountFrontCastles(uint32_t clan, uint32_t kuni) {
  int n = 0;
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s)) continue;
    const SiroRecord& r = SiroTable[s];
    if (r.owner != clan && r.kuni != kuni) continue;
    for (uint16_t nb : r.neighbours) {
      if (!IsSiroInUse(nb)) continue;
      const SiroRecord& t = SiroTable[nb];
      if (t.kuni != r.kuni && t.owner != clan && !IsSiroOfAlly(nb, clan)) {
        ++n;
        break;
      }
    }
  }
  return n;
}

void AiChooseMilitaryTargets(int clanId) {
  if (clanId < 0 || clanId >= kDaimyoInPlay) return;
  const uint32_t clan = static_cast<uint32_t>(clanId);
  DaimyoRecord& d = DaimyoTable[clan];
  // Frontier marks: a foreign castle next to one of ours that we can reach.
  bool anyFront = false;
  for (int k = 0; k < kKuniCount; ++k) {
    KuniTable[k].frontier = 0;
    ForKuniSiro(k, [&](uint32_t s) {
      if (KuniTable[k].frontier) return;
      if (SiroTable[s].owner == clan || IsSiroOfAlly(s, clan)) return;
      for (uint16_t nb : SiroTable[s].neighbours) {
        if (!IsSiroInUse(nb) || SiroTable[nb].owner != clan) continue;
        if (SiroTable[nb].kuni == k || !IsSiroPassBlocked(nb, s)) {
          KuniTable[k].frontier = 1;
          break;
        }
      }
    });
    anyFront |= KuniTable[k].frontier == 1;
  }
  // Boxed in by allies: the smallest ally is due to be dropped.
  if (d.rank >= 2 && !anyFront) {
    int pick = -1;
    for (int i = 0; i < 3; ++i) {
      uint8_t a = d.allies[i];
      if (a >= kDaimyoInPlay || d.allyStanding[i] == 0) continue;
      if (pick < 0 || DaimyoTable[a].revenue < DaimyoTable[d.allies[pick]].revenue) pick = i;
    }
    if (pick >= 0) d.allyStanding[pick] = 255;
  }
  // Countries we already hold part of come first, by the weight of our share.
  TargetEntry list[6];
  for (TargetEntry& e : list) e = {kNoKuni, 0, 0};
  auto insert = [&](TargetEntry e, auto ahead) {
    list[5] = e;
    for (int i = 5; i > 0 && ahead(list[i], list[i - 1]); --i) std::swap(list[i], list[i - 1]);
  };
  for (int k = 0; k < kKuniCount; ++k) {
    if (KuniTable[k].frontier != 1) continue;
    int share = GetDaimyoKuniShare(k, clan);
    if (share < 20 || share > 99) continue;
    uint32_t w = static_cast<uint32_t>(k) == clan ? 0xFFFF : KuniTable[k].land * share / 100;
    insert({static_cast<uint8_t>(k), w, 0},
           [](const TargetEntry& a, const TargetEntry& b) { return a.weight > b.weight || b.kuni == kNoKuni; });
  }
  if (list[0].kuni == kNoKuni && clan < kKuniCount) {
    int share = GetDaimyoKuniShare(clan, clan);
    if (share != 0 && share != 100) list[0] = {static_cast<uint8_t>(clan), 0, 0};
  }
  for (int i = 0; i < 5; ++i) {
    if (list[i].kuni == kNoKuni) {
      list[i].weight = 0xFFFF;
      list[i].links = 255;
    } else {
      KuniTable[list[i].kuni].frontier = 2;
      list[i].weight = 0;
      list[i].links = 0;
    }
  }
  // Then the weakest reachable foreign countries.
  for (int k = 0; k < kKuniCount; ++k) {
    if (KuniTable[k].frontier != 1) continue;
    TargetEntry e{static_cast<uint8_t>(k), static_cast<uint32_t>(GetKuniDefencePower(k)),
                  static_cast<uint32_t>(CountFrontCastles(clan, k))};
    insert(e, [](const TargetEntry& a, const TargetEntry& b) {
      if (a.weight != b.weight) return a.weight < b.weight;
      if (a.links != b.links) return a.links < b.links;
      return SlgRandom(100) < 50;
    });
  }
  for (int i = 0; i < 5; ++i) d.targets[i] = list[i].kuni;
}

namespace {

void GiveSoldier(uint16_t g, int& total, int& budget, DaimyoRecord& d) {
  BusyoTable[g].soldiers++;
  d.soldiers = static_cast<uint16_t>(std::min(d.soldiers + 1, 65535));
  --total;
  --budget;
}

// Fills the recruit slots: the best countries by the given key, highest first, empties last.
void OfferRecruitSlot(uint8_t (&slots)[5], uint8_t kuni, int (*key)(uint8_t, uint32_t), uint32_t clan) {
  if (slots[4] != kNoKuni && key(kuni, clan) <= key(slots[4], clan)) return;
  slots[4] = kuni;
  for (int i = 4; i > 0; --i) {
    bool ahead = slots[i - 1] == kNoKuni || key(slots[i], clan) > key(slots[i - 1], clan);
    if (!ahead) break;
    std::swap(slots[i], slots[i - 1]);
  }
}

int ShareValueKey(uint8_t kuni, uint32_t clan) { return GetDaimyoKuniShare(kuni, clan) * KuniTable[kuni].land; }
int MoodKey(uint8_t kuni, uint32_t) { return KuniTable[kuni].mood; }

void DistributeSoldiers(uint32_t clan, int& total, int& budget) {
  DaimyoRecord& d = DaimyoTable[clan];
  auto canGive = [&] { return total > 0 && budget > 0; };
  if (d.revenue >= 2500) {
    for (int start = 0; start < kVassalScan && canGive(); start += 6) {
      bool gave = true;
      while (gave && canGive()) {  // each pass either gives or ends the group
        gave = false;
        for (int i = start; i < start + 6 && i < kVassalScan && canGive(); ++i) {
          uint16_t g = AiRecruitOrder[i];
          if (g >= kBusyoCount || BusyoTable[g].soldiers >= 50) continue;
          GiveSoldier(g, total, budget, d);
          gave = true;
        }
      }
    }
    return;
  }
  int group = d.rank == 0 ? 4 : d.rank + 3;
  for (int m = 10; m <= 55 && canGive(); m += 5) {
    int start = 0, cap = m;
    while (start <= kVassalScan - 1 && cap > 0 && canGive()) {
      bool gave = false;
      for (int i = start; i < start + group && i < kVassalScan && canGive(); ++i) {
        uint16_t g = AiRecruitOrder[i];
        if (g >= kBusyoCount) continue;
        int s = BusyoTable[g].soldiers;
        if (!(GetBusyoStat1(g) > 20 || s < 10)) continue;
        if (s >= cap || s >= 50) continue;
        GiveSoldier(g, total, budget, d);
        gave = true;
      }
      if (!gave) {
        start += group;
        cap -= 5;
      }
    }
  }
}

}  // namespace

void AiMilitaryThink(int clanId) {
  if (clanId < 0 || clanId >= kDaimyoInPlay) return;
  const uint32_t clan = static_cast<uint32_t>(clanId);
  DaimyoRecord& d = DaimyoTable[clan];
  d.soldiers = static_cast<uint16_t>(std::min(SumDaimyoSoldiers(clan), 65535));
  bool anyVassal = false;
  for (int i = 0; i < kVassalScan; ++i) {
    AiRecruitOrder[i] = d.vassals[i];
    anyVassal |= d.vassals[i] < kBusyoCount;
  }
  std::stable_sort(AiRecruitOrder, AiRecruitOrder + kVassalScan, [](uint16_t a, uint16_t b) {
    if (a >= kBusyoCount || b >= kBusyoCount) return a < kBusyoCount && b >= kBusyoCount;
    return GetBusyoStat1(a) > GetBusyoStat1(b);
  });
  if (!anyVassal) return;
  int budget = d.money / 2;
  if (budget == 0) return;
  AddDaimyoMoney(clan, -budget);

  int koku = d.revenue, soldiers = d.soldiers, cp = d.cp;
  int k = 1, chance = 20;
  if (soldiers * 10 < koku * 3) {
    k = 2;
    chance = cp + 30;
  }
  if (soldiers * 10 < koku * 2) {
    chance = 100;
    k = SlgRandom(100) < cp + 50 ? 3 : 1;
  }
  if (soldiers * 10 < koku) {
    k = 4;
    chance = 100;
  }
  if (d.rank >= 3) ++k;
  k = std::min(k, cp);
  if (k <= 0) {
    // Nothing can be recruited without command points: the set-aside money goes back.
    AddDaimyoMoney(clan, budget);
    RecruitBudget = 0;
    return;
  }

  if (SlgRandom(100) < chance) {
    uint8_t slots[5] = {kNoKuni, kNoKuni, kNoKuni, kNoKuni, kNoKuni};
    for (int c = 0; c < kKuniCount; ++c)
      if (KuniTable[c].mood > 30 && GetDaimyoKuniShare(c, clan) > 0)
        OfferRecruitSlot(slots, static_cast<uint8_t>(c), ShareValueKey, clan);
    if (slots[k - 1 < 5 ? k - 1 : 4] == kNoKuni)
      for (int c = 0; c < kKuniCount; ++c)
        if (KuniTable[c].mood <= 30 && GetDaimyoKuniShare(c, clan) > 0)
          OfferRecruitSlot(slots, static_cast<uint8_t>(c), MoodKey, clan);
    int target = static_cast<int>(std::lround(koku * static_cast<double>(AiRecruitRatio(clan))));
    int limit = soldiers < target ? target - soldiers : 0;
    int total = 0;
    for (int i = 0; i < k && i < 5; ++i) {
      if (slots[i] == kNoKuni) continue;
      if (total >= budget || total >= limit) break;
      KuniRecord& kr = KuniTable[slots[i]];
      int applicants = (GetDaimyoKuniShare(slots[i], clan) * kr.recruitBase / 100) & 0xFF;
      kr.land = static_cast<uint16_t>(std::max(0, kr.land - applicants));
      if (kr.land > 0) {  // no land left: nothing to divide by, the mood stays
        int drop = kr.mood * applicants * 3 / kr.land;
        kr.mood = drop >= kr.mood ? 1 : static_cast<uint8_t>(kr.mood - drop);
      }
      total += applicants;
      if (applicants) AddDaimyoCP(clan, -1);
    }
    if (total > 0 && budget > 0) DistributeSoldiers(clan, total, budget);
  }

  // Guns.
  int chance2 = d.rank * 20 + d.cp + 10 + (d.rank == 0 ? 20 : 0);
  int rate = d.gunRate;
  int n = 0;
  if (rate <= d.cp) {
    n = 6 - rate;
    if (n > 0) AddDaimyoCP(clan, -rate);
  }
  if (n > 0 && SlgRandom(100) < chance2) {
    bool foundShort = true;
    for (int r = 1; n > 0 && budget >= 2 * rate && foundShort; ++r) {
      foundShort = false;
      for (int i = 0; i < kVassalScan && budget >= 2 * rate && n > 0; ++i) {
        uint16_t g = AiRecruitOrder[i];
        if (g >= kBusyoCount) continue;
        BusyoRecord& b = BusyoTable[g];
        if (b.guns >= b.soldiers * 2 / 10) continue;
        foundShort = true;
        if (b.guns < r) {
          b.guns++;
          --n;
          budget -= 2 * rate;
        }
      }
      if (!(SlgRandom(100) < chance2)) break;
      if (r > 60) break;  // guns stay below a fifth of 50 soldiers, so rounds end long before
    }
  }
  RecruitBudget = static_cast<uint16_t>(std::max(budget, 0));
  AddDaimyoMoney(clan, std::max(budget, 0));
}
