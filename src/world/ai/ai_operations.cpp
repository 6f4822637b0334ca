// Defence and attack operations of a computer clan, run at the end of its politics turn: threatened
// castles are reinforced, forces gather next to enemy castles of the target countries and get march
// orders for the war phase. Runs to its end within one call.
#include "world/ai/ai_operations.h"

#include <cstddef>
#include <cstring>
#include <algorithm>
#include <vector>

#include "world/ai/ai_common.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/turn/play_state_blocks.h"

namespace {

constexpr uint8_t kMarkLocked = 1;  // locked, or already moved for defence this turn
constexpr uint8_t kMarkChosen = 2;  // chosen for the attack being put together

enum AiState : uint8_t { kFree = 0, kCandidate = 1, kInWork = 2, kExcluded = 3, kStagingTried = 4, kDone = 5 };

struct OpsWork {
  uint32_t clan = 0;
  int budget = 0;
  // Component of each castle among the clan's castles outside closed countries (-1: none).
  int comp[kSiroSlots];
};
OpsWork g_ops;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kOpsSaved =
    RegisterPlayStateBlock({"ai.operations", &g_ops, sizeof g_ops, [](const uint8_t* b) -> const char* {
                              OpsWork w;
                              std::memcpy(&w, b, sizeof w);
                              for (int c : w.comp)
                                if (c < -1 || c >= kSiroSlots) return "ai.operations: component out of range";
                              return nullptr;
                            }});

uint16_t* WorkList() { return AiRecruitOrder; }

void BuildLinkComponents(uint32_t clan) {
  std::fill(std::begin(g_ops.comp), std::end(g_ops.comp), -1);
  int next = 0;
  std::vector<uint16_t> stack;
  for (int s = 0; s < kSiroCount; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan || IsKuniClosed(SiroTable[s].kuni) || g_ops.comp[s] >= 0)
      continue;
    g_ops.comp[s] = next;
    stack.assign(1, static_cast<uint16_t>(s));
    while (!stack.empty()) {
      uint16_t c = stack.back();
      stack.pop_back();
      for (uint16_t n : SiroTable[c].neighbours) {
        if (!IsSiroInUse(n) || n >= kSiroCount || g_ops.comp[n] >= 0) continue;
        if (SiroTable[n].owner != clan || IsKuniClosed(SiroTable[n].kuni)) continue;
        g_ops.comp[n] = next;
        stack.push_back(n);
      }
    }
    ++next;
  }
}

bool Linked(uint32_t from, uint32_t to) {
  if (from == to) return true;
  if (from >= kSiroSlots || to >= kSiroSlots) return false;
  return g_ops.comp[from] >= 0 && g_ops.comp[from] == g_ops.comp[to];
}

int Cost(int tier, int soldiers) { return tier * soldiers / 4; }

int VassalSlotOf(uint32_t clan, uint16_t g) { return FindForceSlot(static_cast<uint8_t>(clan), g); }

// Moves a vassal from his castle into another castle of the clan; false (nothing changed) when the
// target has no room or he has no stationing entry.
bool MoveVassal(uint32_t clan, uint16_t g, uint32_t to) {
  uint16_t from = BusyoTable[g].siro;
  if (from == to) return true;
  int slot = VassalSlotOf(clan, g);
  if (slot == 0xFFFF || !IsSiroInUse(to) || SiroTable[to].list1[kSiroListLen - 1].slot != kNoSlot) return false;
  bool listed = false;
  if (from < kSiroSlots)
    for (const SiroBusyoRef& r : SiroTable[from].list1) listed |= r.force == clan && r.slot == slot;
  if (!listed) return false;
  if (MoveSiroBusyo(from, to, static_cast<uint8_t>(clan), static_cast<uint8_t>(slot), 0) != 0) return false;
  BusyoTable[g].siro = static_cast<uint16_t>(to);
  return true;
}

void MarkCountries(uint32_t clan, int which) {
  const DaimyoRecord& d = DaimyoTable[clan];
  for (int k = 0; k < kKuniCount; ++k) {
    bool on = false;
    switch (which) {
      case 0:
        on = k == GetDaimyoHomeKuni(clan);
        break;
      case 1:
        for (uint8_t t : d.targets) on |= t == k;
        break;
      case 2:
        on = KuniTable[k].holder == clan;
        break;
      default:
        on = true;
        break;
    }
    KuniTable[k].frontier = on ? 1 : 0;
  }
}

void ClearWorkMarks() {
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = WorkList()[i];
    if (g < kBusyoCount) BusyoTable[g].cmdFlags &= static_cast<uint8_t>(~(kMarkLocked | kMarkChosen));
  }
}

void SortWorkList() { SortBusyoBySoldiers(WorkList(), kVassalScan); }

void StationedOfClan(uint32_t siro, uint32_t clan, std::vector<uint16_t>& out) {
  out.clear();
  for (const SiroBusyoRef& r : SiroTable[siro].list1) {
    if (r.slot == kNoSlot || r.force != clan) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount) out.push_back(g);
  }
}

}  // namespace

int IsSiroLinked(uint32_t from, uint32_t to) {
  if (from == to) return 0;
  if (!IsSiroInUse(from) || !IsSiroInUse(to)) return -1;
  uint8_t owner = SiroTable[from].owner;
  std::vector<uint8_t> seen(kSiroSlots, 0);
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s) && IsKuniClosed(SiroTable[s].kuni)) seen[s] = 1;
  std::vector<uint16_t> stack{static_cast<uint16_t>(from)};
  seen[from] = 1;
  while (!stack.empty()) {
    uint16_t c = stack.back();
    stack.pop_back();
    for (uint16_t n : SiroTable[c].neighbours) {
      if (!IsSiroInUse(n) || seen[n] || SiroTable[n].owner != owner) continue;
      if (n == to) return 0;
      seen[n] = 1;
      stack.push_back(n);
    }
  }
  return -1;
}

int CountEnemyNeighbours(uint32_t kuni, uint32_t clan, uint32_t siro) {
  if (siro == kNoSiro) return 0xFFFF;
  if (kuni >= kKuniCount) return 0;
  int n = 0;
  const KuniRecord& k = KuniTable[kuni];
  for (uint32_t s = k.firstSiro; s <= k.lastSiro && s < kSiroSlots; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].kuni != kuni) continue;
    if (s != siro && SiroTable[s].owner != clan) continue;
    for (uint16_t nb : SiroTable[s].neighbours) {
      if (!IsSiroInUse(nb) || SiroTable[nb].kuni != kuni) continue;
      if (nb == siro || SiroTable[nb].owner == clan) continue;
      ++n;
    }
  }
  return n;
}

void AiDefendCastle(uint32_t clan) {
  for (int guard = 0; guard < kSiroCount; ++guard) {  // each pass takes one castle out of state 0
    if (WorkList()[0] >= kBusyoCount) return;
    int best = -1, bestGap = 0, bestD = 0, bestA = 0;
    for (int s = 0; s < kSiroCount; ++s) {
      if (!IsSiroInUse(s) || SiroTable[s].owner != clan || SiroTable[s].aiState != kFree) continue;
      if (KuniTable[SiroTable[s].kuni].frontier == 0) continue;
      int d = GetSiroDefencePower(clan, s);
      int a = FindStrongestEnemyNeighbour(clan, s).power;
      if (d < a && (best < 0 || a - d > bestGap)) {
        best = s;
        bestGap = a - d;
        bestD = d;
        bestA = a;
      }
    }
    if (best < 0) return;
    SiroTable[best].aiState = kInWork;
    int d = bestD;
    for (int i = kVassalScan - 1; i >= 0; --i) {
      if (SiroTable[best].list1[kSiroListLen - 1].slot != kNoSlot) break;
      uint16_t g = WorkList()[i];
      if (g >= kBusyoCount) continue;
      BusyoRecord& b = BusyoTable[g];
      if (b.cmdFlags & (kMarkLocked | kMarkChosen)) continue;
      if (b.siro == best || b.siro >= kSiroSlots || SiroTable[b.siro].aiState == kExcluded) continue;
      if (IsSiroPassBlocked(b.siro, best) || !Linked(b.siro, best)) continue;
      if (!MoveVassal(clan, g, best)) continue;
      b.cmdFlags |= kMarkLocked;
      d += b.soldiers;
      if (bestA <= d) break;
    }
  }
}

void AiChooseTargets(uint32_t clan, uint32_t staging, uint32_t target, int freeSlots, int power) {
  (void)power;
  SiroRecord& S = SiroTable[staging];
  S.aiState = kStagingTried;
  const int enemy = SiroGarrisonSoldiers(target);
  const int m = std::max(CountSiroGarrison(target), 3);
  const int level = SiroTable[target].level;
  const int tier = DaimyoTier(clan);
  int force = 0, k = 0, f = freeSlots;
  auto effectiveEnemy = [&] { return k > 3 ? enemy * k / m : enemy; };
  bool enough = false;
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = WorkList()[i];
    if (g < kBusyoCount && BusyoTable[g].siro < kSiroSlots && !IsSiroPassBlocked(BusyoTable[g].siro, staging)) {
      BusyoRecord& b = BusyoTable[g];
      bool fits = Cost(tier, force + b.soldiers) < g_ops.budget;
      if (b.siro != staging && f > 0 && Linked(b.siro, staging)) {
        if (fits) {
          force += b.soldiers;
          ++k;
          --f;
          b.cmdFlags |= kMarkChosen;
        }
      } else if (b.siro == staging) {
        if (fits) {
          force += b.soldiers;
          ++k;
          b.cmdFlags |= kMarkChosen;
        }
      } else if (f == 0 && !(b.cmdFlags & kMarkChosen) && Linked(b.siro, staging) && fits) {
        // Change places with the weakest unchosen member of the staging garrison.
        for (SiroBusyoRef& r : S.list1) {
          if (r.slot == kNoSlot || r.force != clan) continue;
          uint16_t w = GetForceSlotBusyo(r.force, r.slot);
          if (w >= kBusyoCount || (BusyoTable[w].cmdFlags & (kMarkLocked | kMarkChosen)) ||
              BusyoTable[w].soldiers >= b.soldiers)
            continue;
          uint16_t from = b.siro;
          int sg = VassalSlotOf(clan, g);
          if (sg == 0xFFFF) break;
          bool swapped = false;
          for (SiroBusyoRef& o : SiroTable[from].list1)
            if (o.force == clan && o.slot == sg) {
              o.slot = r.slot;
              r.slot = static_cast<uint8_t>(sg);
              swapped = true;
              break;
            }
          if (!swapped) break;
          BusyoTable[w].siro = from;
          b.siro = static_cast<uint16_t>(staging);
          SortSiroSlots(from);
          SortSiroSlots(staging);
          force += b.soldiers;
          ++k;
          b.cmdFlags |= kMarkChosen;
          break;
        }
      }
    }
    int e = effectiveEnemy();
    if (force >= e * 3 / 2) enough = true;
    if (enough && force >= 6 * level && force > 2) break;
  }
  int others = 0;
  for (uint16_t n : S.neighbours) {
    if (!IsSiroInUse(n) || n == target) continue;
    uint8_t o = SiroTable[n].owner;
    if (o == clan || o == kNoDaimyo) continue;
    if (SiroTable[n].kuni == S.kuni || DaimyoTable[o].rank >= 2) ++others;
  }
  auto tooWeak = [&] {
    int e = effectiveEnemy();
    return force < e * 2 / 3 || force < 3 || g_ops.budget < Cost(tier, force);
  };
  if (tooWeak()) {
    if (others > 0) {
      ClearWorkMarks();
      return;
    }
    std::vector<uint16_t> garrison, joined;
    StationedOfClan(staging, clan, garrison);
    for (uint16_t g : garrison) {
      if (BusyoTable[g].cmdFlags & kMarkChosen) continue;
      force += BusyoTable[g].soldiers;
      ++k;
      joined.push_back(g);
    }
    if (tooWeak()) {
      ClearWorkMarks();
      return;
    }
    // The garrison goes too: each joins the work list (in a free entry, once) to be sent below.
    for (uint16_t g : joined) {
      BusyoTable[g].cmdFlags |= kMarkChosen;
      uint16_t* list = WorkList();
      if (std::find(list, list + kVassalScan, g) != list + kVassalScan) continue;
      uint16_t* free = std::find(list, list + kVassalScan, kNoBusyo);
      if (free == list + kVassalScan) {
        BusyoTable[g].cmdFlags &= static_cast<uint8_t>(~kMarkChosen);
        continue;
      }
      *free = g;
    }
    SortWorkList();
  }
  g_ops.budget -= Cost(tier, force);
  RecruitBudget = static_cast<uint16_t>(std::max(g_ops.budget, 0));
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = WorkList()[i];
    if (g >= kBusyoCount || !(BusyoTable[g].cmdFlags & kMarkChosen)) continue;
    BusyoRecord& b = BusyoTable[g];
    if (!MoveVassal(clan, g, staging)) {  // no room after all: he stays home
      b.cmdFlags &= static_cast<uint8_t>(~kMarkChosen);
      continue;
    }
    WorkList()[i] = kNoBusyo;
    b.siro2 = static_cast<uint16_t>(target);
    b.marchFlag = 1;
  }
  SortWorkList();
  S.aiState = kDone;
  SiroTable[target].aiState = kDone;
}

void AiAttackFromNeighbours(uint32_t clan, uint32_t target, int power) {
  SiroRecord& T = SiroTable[target];
  if (T.aiState == kDone) return;
  T.aiState = kInWork;
  for (int guard = 0; guard < 5 && T.aiState != kDone; ++guard) {  // each try moves a neighbour out of state 0
    int pick = -1;
    for (uint16_t n : T.neighbours) {
      if (!IsSiroInUse(n) || SiroTable[n].owner != clan || SiroTable[n].aiState != kFree) continue;
      if (pick < 0 || SiroTable[n].level < SiroTable[pick].level) pick = n;
    }
    if (pick < 0) break;
    int f = 0;
    for (const SiroBusyoRef& r : SiroTable[pick].list1) f += r.slot == kNoSlot;
    AiChooseTargets(clan, pick, target, f, power);
  }
  for (uint16_t n : T.neighbours)
    if (IsSiroInUse(n) && SiroTable[n].aiState == kStagingTried) SiroTable[n].aiState = kFree;
}

void AiAttackKuni(uint32_t clan, uint32_t kuni) {
  if (kuni >= kKuniCount) return;
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s) && SiroTable[s].aiState == kInWork) SiroTable[s].aiState = kFree;
  const KuniRecord& kr = KuniTable[kuni];
  for (uint32_t s = kr.firstSiro; s <= kr.lastSiro && s < kSiroSlots; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].kuni != kuni) continue;
    SiroRecord& c = SiroTable[s];
    if (c.owner == clan || IsSiroOfAlly(s, clan) || c.aiState == kExcluded) continue;
    bool next = false;
    for (uint16_t n : c.neighbours) next |= IsSiroInUse(n) && SiroTable[n].owner == clan;
    if (next) c.aiState = kCandidate;
  }
  const bool aggressive = DaimyoTable[clan].rank != 0 && SlgRandom(100) < 90;
  for (int guard = 0; guard < kSiroCount; ++guard) {  // each round takes the chosen castle out of state 1
    int pick = -1, pickV = 0, pickN = 0;
    for (uint32_t s = kr.firstSiro; s <= kr.lastSiro && s < kSiroSlots; ++s) {
      if (!IsSiroInUse(s) || SiroTable[s].kuni != kuni || SiroTable[s].aiState != kCandidate) continue;
      int v = SiroGarrisonSoldiers(s) + 3 * SiroTable[s].level;
      if (aggressive) {
        if (pick < 0 || v > pickV) pick = s, pickV = v;
      } else {
        int n = CountEnemyNeighbours(clan, clan, s);
        if (pick < 0 || n < pickN || (n == pickN && v < pickV)) pick = s, pickV = v, pickN = n;
      }
    }
    if (pick < 0) return;
    AiAttackFromNeighbours(clan, pick, pickV);
    if (SiroTable[pick].aiState == kCandidate) SiroTable[pick].aiState = kInWork;
  }
}

void AiPlanOperations(uint32_t clan) {
  if (clan >= kDaimyoInPlay) return;
  DaimyoRecord& d = DaimyoTable[clan];
  g_ops.clan = clan;
  g_ops.budget = SeasonIndex == 1 ? d.money : d.money / 2;
  RecruitBudget = static_cast<uint16_t>(g_ops.budget);
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t g = d.vassals[i];
    WorkList()[i] = kNoBusyo;
    if (g >= kBusyoCount) continue;
    BusyoRecord& b = BusyoTable[g];
    int kuni = GetBusyoKuni(g);
    if (kuni >= 0 && IsKuniClosed(kuni)) {
      b.cmdFlags |= kMarkLocked;
      continue;
    }
    b.cmdFlags &= static_cast<uint8_t>(~(kMarkLocked | kMarkChosen));
    // Only generals standing in a castle can be moved (not the unplaced or the fictional castle).
    if (b.siro < kSiroSlots && b.marchFlag != 1) WorkList()[i] = g;
  }
  SortWorkList();
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s)) SiroTable[s].aiState = IsKuniClosed(SiroTable[s].kuni) ? kExcluded : kFree;
  BuildLinkComponents(clan);
  if (d.rank >= 2) {
    for (int which = 0; which < 4; ++which) {
      MarkCountries(clan, which);
      AiDefendCastle(clan);
    }
    ClearWorkMarks();
  }
  int n = std::min((d.revenue + 1000) / 2000 + 1, 5);
  for (int i = 0; i < 5; ++i) {
    uint8_t kuni = d.targets[i];
    if (kuni >= kKuniCount) continue;
    if (i < n || GetDaimyoKuniShare(kuni, clan) != 0) AiAttackKuni(clan, kuni);
  }
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s) && SiroTable[s].aiState == kInWork) SiroTable[s].aiState = kFree;
  for (int which = 0; which < 3; ++which) {
    MarkCountries(clan, which);
    AiDefendCastle(clan);
  }
  RecruitBudget = static_cast<uint16_t>(std::max(g_ops.budget, 0));
}
