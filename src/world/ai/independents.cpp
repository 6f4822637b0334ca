// Independent forces: the generals of castles that belong to no clan grow their soldiers and
// castles, and in countries where they are still active they march on clan castles alone or in
// joint groups. Their marches are left as march orders for the war phase.
#include "world/ai/independents.h"

#include <cstddef>
#include <cstring>
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/ai/ai_common.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/ai/ai_entry.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/turn/play_state_blocks.h"

uint8_t JointTargetFlags[kSiroCount];
JointGroup IndependentGroup;

namespace {
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kJointSaved =
    RegisterPlayStateBlock({"ai.joint-group", &IndependentGroup, sizeof IndependentGroup,
                            [](const uint8_t* b) -> const char* {
                              JointGroup g;
                              std::memcpy(&g, b, sizeof g);
                              if (g.count > 6) return "ai.joint-group: count out of range";
                              for (uint16_t m : g.members)
                                if (m >= kBusyoCount && m != kNoBusyo) return "ai.joint-group: general out of range";
                              return nullptr;
                            }}) &&
    RegisterPlayStateBlock(
        {"ai.joint-targets", JointTargetFlags, sizeof JointTargetFlags, [](const uint8_t* b) -> const char* {
           for (size_t i = 0; i < sizeof JointTargetFlags; ++i)
             if (b[i] > 1) return "ai.joint-targets: flag out of range";
           return nullptr;
         }});
}  // namespace

namespace {

enum : uint8_t { kOpen = 0, kSearched = 1, kGathered = 2, kRated = 3 };

struct IndependentWork {
  int position = 0;
  int bestScore = 0;
  int leaderKuni = -1;
  bool childRunning = false;  // the general at `position` has begun his turn
};
IndependentWork g_indep;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kIndepSaved = RegisterPlayStateBlock(
    {"ai.independents", &g_indep, sizeof g_indep, [](const uint8_t* b) -> const char* {
       if (!IsBoolByte(b, offsetof(IndependentWork, childRunning))) return "ai.independents: flag out of range";
       IndependentWork w;
       std::memcpy(&w, b, sizeof w);
       if (w.leaderKuni < -1 || w.leaderKuni >= kKuniCount) return "ai.independents: country out of range";
       return w.position < 0 || w.position > kDokuSlots ? "ai.independents: position out of range" : nullptr;
     }});

template <typename... A>
std::string Format(const char* fmt, A... a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

uint16_t DokuAt(int index) { return index >= 0 && index < kDokuSlots ? DokuBusyoList[index] : kNoBusyo; }

int KuniOf(uint16_t g) { return GetBusyoKuni(g); }

void Rate(int index, uint32_t target) {
  uint16_t g = DokuAt(index);
  int s = BusyoTable[g].soldiers;
  int d = SiroGarrisonSoldiers(target);
  if (!(d / 2 < s)) return;
  int denom = d + 2 * SiroTable[target].level;
  int score = denom > 0 ? s * 100 / denom : s * 100;  // an empty level-0 castle: the best score
  score = score > 50 ? score - 50 : 0;
  if (score > g_indep.bestScore) {
    g_indep.bestScore = score;
    BusyoTable[g].siro2 = static_cast<uint16_t>(target);
  }
}

void Search(int index, uint32_t siro) {
  if (!IsSiroInUse(siro) || SiroTable[siro].aiState != kOpen) return;
  SiroTable[siro].aiState = kSearched;
  for (uint16_t n : SiroTable[siro].neighbours) {
    if (!IsSiroInUse(n)) continue;
    if (SiroTable[n].owner == kNoDaimyo && SiroHasSlotIndex(n, index)) {
      Search(index, n);
    } else if (SiroTable[siro].list1[kSiroListLen - 1].slot == kNoSlot && SiroTable[n].kuni == SiroTable[siro].kuni) {
      Rate(index, n);
    }
  }
}

bool IsMember(uint16_t g) {
  for (int i = 0; i < IndependentGroup.count; ++i)
    if (IndependentGroup.members[i] == g) return true;
  return false;
}

void Gather(uint32_t siro) {
  if (!IsSiroInUse(siro) || SiroTable[siro].aiState != kOpen) return;
  SiroRecord& c = SiroTable[siro];
  c.aiState = kSearched;
  int occupied = 0;
  for (const SiroBusyoRef& r : c.list1) occupied += r.slot != kNoSlot;
  if (IndependentGroup.count + occupied <= 6) {
    for (const SiroBusyoRef& r : c.list1) {
      if (r.slot == kNoSlot || r.force != kNoDaimyo) continue;
      uint16_t g = DokuAt(r.slot);
      if (g >= kBusyoCount || BusyoTable[g].marchFlag != 2 || IsMember(g)) continue;
      IndependentGroup.members[IndependentGroup.count++] = g;
      IndependentGroup.soldiers = static_cast<uint16_t>(IndependentGroup.soldiers + BusyoTable[g].soldiers);
    }
    c.aiState = kGathered;
  }
  for (uint16_t n : c.neighbours)
    if (IsSiroInUse(n) && SiroTable[n].owner == kNoDaimyo) Gather(n);
}

void RateJointTarget(uint32_t target) {
  SiroRecord& t = SiroTable[target];
  if (t.aiState != kOpen) return;
  t.aiState = kSearched;
  int d = 0;
  for (const SiroBusyoRef& r : t.list1) {
    if (r.slot == kNoSlot) continue;
    if (r.force == kNoDaimyo) {
      ShowSlgDataError("独立勢力思考エラ－　共同作戦（目標城エラ－）");
      continue;
    }
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount) d += BusyoTable[g].soldiers;
  }
  int group = IndependentGroup.soldiers;
  int score = 0;
  if (d / 2 < group) {
    int denom = d + 2 * t.level;
    score = denom > 0 ? group * 100 / denom : group * 100;
    score = score > 50 ? score - 50 : 0;
  }
  int room = 0;
  for (uint16_t n : t.neighbours)
    if (IsSiroInUse(n) && SiroTable[n].kuni == t.kuni && SiroTable[n].owner == kNoDaimyo &&
        SiroTable[n].aiState == kRated)
      room += IndependentFreeSlots(n);
  if (IndependentGroup.count <= room && score > g_indep.bestScore) {
    g_indep.bestScore = score;
    for (int i = 0; i < IndependentGroup.count; ++i)
      BusyoTable[IndependentGroup.members[i]].siro2 = static_cast<uint16_t>(target);
  }
}

void RateJoint(uint32_t siro) {
  if (!IsSiroInUse(siro) || SiroTable[siro].aiState != kGathered) return;
  SiroTable[siro].aiState = kRated;
  for (uint16_t n : SiroTable[siro].neighbours) {
    if (!IsSiroInUse(n)) continue;
    if (SiroTable[n].owner == kNoDaimyo)
      RateJoint(n);
    else
      RateJointTarget(n);
  }
}

void StopMarch(uint16_t g) {
  BusyoTable[g].marchFlag = 0;
  BusyoTable[g].siro2 = kNoSiro;
}

}  // namespace

bool SiroHasSlotIndex(uint32_t siro, int n) {
  if (!IsSiroInUse(siro)) return false;
  for (const SiroBusyoRef& r : SiroTable[siro].list1)
    if (r.slot == n) return true;
  return false;
}

int IndependentFreeSlots(uint32_t siro) {
  if (!IsSiroInUse(siro)) return 0;
  int n = 0;
  for (const SiroBusyoRef& r : SiroTable[siro].list1) {
    if (r.slot == kNoSlot) {
      ++n;
      continue;
    }
    if (r.force == kNoDaimyo && IsMember(DokuAt(r.slot))) ++n;
  }
  return n;
}

void IndependentGrowSoldiers(int index) {
  uint16_t g = DokuAt(index);
  if (g >= kBusyoCount) return;
  int kuni = KuniOf(g);
  if (kuni < 0 || kuni >= kKuniCount) return;
  BusyoRecord& b = BusyoTable[g];
  if (b.soldiers < (KuniTable[kuni].land / 10) / 4)
    b.soldiers = static_cast<uint8_t>(std::min(50, b.soldiers + SlgRandom(3) + 1));
}

void IndependentRaiseCastle(int index) {
  uint16_t g = DokuAt(index);
  if (g >= kBusyoCount) return;
  uint16_t s = BusyoTable[g].siro;
  if (!IsSiroInUse(s)) return;
  SiroRecord& c = SiroTable[s];
  if (c.list1[0].force != kNoDaimyo || c.list1[0].slot != index) return;
  if (c.level < 10) c.level++;
  KuniTable[c.kuni].playerShare = static_cast<uint8_t>(GetDaimyoKuniShare(c.kuni, PlayerDaimyoId));
}

void IndependentNormalOperation(int index) {
  uint16_t g = DokuAt(index);
  if (g >= kBusyoCount) return;
  BusyoRecord& b = BusyoTable[g];
  if (!IsSiroInUse(b.siro)) return;
  const uint8_t kuni = SiroTable[b.siro].kuni;
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s))
      SiroTable[s].aiState = SiroTable[s].kuni == kuni ? static_cast<uint8_t>(kOpen) : static_cast<uint8_t>(kSearched);
  b.siro2 = kNoSiro;
  b.marchFlag = 0;
  g_indep.bestScore = 0;
  Search(index, b.siro);
  if (b.siro2 == kNoSiro) return;
  if (SlgRandom(100) > g_indep.bestScore) {
    b.siro2 = kNoSiro;
    return;
  }
  uint16_t target = b.siro2;
  for (uint16_t n : SiroTable[target].neighbours) {
    if (!IsSiroInUse(n) || SiroTable[n].owner != kNoDaimyo || !SiroHasSlotIndex(n, index)) continue;
    if (n != b.siro && MoveSiroBusyo(b.siro, n, kNoDaimyo, static_cast<uint8_t>(index), 0) != 0) break;
    b.siro = n;
    b.marchFlag = 1;
    return;
  }
  ShowSlgDataError(Format("独立勢力思考エラ－　通常作戦時　［%8s］［%6s→%6s］", GetBusyoName(g),
                          GetSiroName(b.siro, false), GetSiroName(target, false))
                       .c_str());
  StopMarch(g);
}

void IndependentJointOperation(uint16_t leader) {
  IndependentGroup = JointGroup{};
  if (leader >= kBusyoCount || !IsSiroInUse(BusyoTable[leader].siro)) return;
  const uint16_t home = BusyoTable[leader].siro;
  const uint8_t kuni = SiroTable[home].kuni;
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s))
      SiroTable[s].aiState = SiroTable[s].kuni == kuni ? JointTargetFlags[s] : static_cast<uint8_t>(kSearched);
  Gather(home);
  g_indep.bestScore = 0;
  for (int i = 0; i < IndependentGroup.count; ++i) BusyoTable[IndependentGroup.members[i]].siro2 = kNoSiro;
  RateJoint(home);
  if (IndependentGroup.soldiers < 3) g_indep.bestScore = 0;
  uint16_t target = BusyoTable[leader].siro2;
  if (target == kNoSiro) return;
  if (!(SlgRandom(100) < g_indep.bestScore)) {
    for (int i = 0; i < IndependentGroup.count; ++i) StopMarch(IndependentGroup.members[i]);
    return;
  }
  for (int i = 0; i < IndependentGroup.count; ++i) {
    uint16_t g = IndependentGroup.members[i];
    int index = FindForceSlot(kNoDaimyo, g);
    if (index == 0xFFFF) {
      ShowSlgDataError(Format("独立勢力思考エラ－　共同作戦時　武将不在[%u] DOKBUS[%u]", g, 0xFFFFu).c_str());
      StopMarch(g);
      continue;
    }
    BusyoRecord& b = BusyoTable[g];
    bool moved = false;
    for (uint16_t n : SiroTable[target].neighbours) {
      if (!IsSiroInUse(n) || SiroTable[n].owner != kNoDaimyo || SiroTable[n].aiState != kRated) continue;
      if (IndependentFreeSlots(n) == 0) continue;
      // Room counts the places of members who leave; take a castle with a place free now.
      if (n != b.siro && SiroTable[n].list1[kSiroListLen - 1].slot != kNoSlot) continue;
      if (n != b.siro && MoveSiroBusyo(b.siro, n, kNoDaimyo, static_cast<uint8_t>(index), 0) != 0) continue;
      b.siro = n;
      b.siro2 = target;
      b.marchFlag = 1;
      moved = true;
      break;
    }
    if (!moved) {
      ShowSlgDataError(Format("独立勢力思考エラ－　共同作戦時　［%8s］［%6s→%6s］", GetBusyoName(g),
                              GetSiroName(b.siro, false), GetSiroName(target, false))
                           .c_str());
      StopMarch(g);
    }
  }
  JointTargetFlags[target] = 1;
}

int IndependentGrowTurn(int position) {
  static int result = 0;
  if (StepCheckDone()) return result;
  StepBegin();
  int index = position >= 0 && position < kDokuSlots ? MarchOrderList[position] : -1;
  uint16_t g = DokuAt(index);
  if (g < kBusyoCount && IsSiroInUse(BusyoTable[g].siro)) {
    BusyoRecord& b = BusyoTable[g];
    const SiroRecord& c = SiroTable[b.siro];
    if (b.soldiers < SlgRandom(15) + 1) IndependentGrowSoldiers(index);
    if (SlgRandom(100) < (10 - c.level) * 10) IndependentRaiseCastle(index);
    b.marchFlag = IsKuniClosed(c.kuni) ? 0 : 2;
    b.siro2 = kNoSiro;
  }
  StepFinish();
  return result;
}

int IndependentNormalTurn(int position) {
  static int result = 0;
  if (StepCheckDone()) return result;
  StepBegin();
  int index = position >= 0 && position < kDokuSlots ? MarchOrderList[position] : -1;
  uint16_t g = DokuAt(index);
  if (g >= kBusyoCount || !IsSiroInUse(BusyoTable[g].siro)) {
    StepFinish();
    return result;
  }
  BusyoRecord& b = BusyoTable[g];
  int kuni = SiroTable[b.siro].kuni;
  if (SubStepGet() == 0) {
    ShowKuniEventEffect(kuni, 3, 3);
    SetFrameWaitHalf(GameSpeedParams[1]);
    // A march order lasts one turn; a new one is decided now.
    StopMarch(g);
    if (b.soldiers < SlgRandom(15) + 1) IndependentGrowSoldiers(index);
    if (SlgRandom(100) < (10 - SiroTable[b.siro].level) * 7) IndependentRaiseCastle(index);
    if (SlgRandom(100) < 60 && b.soldiers > 3 && !IsKuniClosed(kuni)) IndependentNormalOperation(index);
    SubStepSet(1);
    return kStepRunning;
  }
  ShowKuniEventEffect(kuni, 7, 7);
  StepFinish();
  return result;
}

int IndependentForcesThink() {
  static int result = 0;
  if (StepCheckDone()) return result;
  IndependentWork& w = g_indep;
  if (StepBegin()) {
    std::fill(std::begin(JointTargetFlags), std::end(JointTargetFlags), 0);
    for (int k = 0; k < kKuniCount; ++k) {
      if (KuniTable[k].dokuMode != 0 || CountKuniSiro(k) == 0) continue;
      int owned = GetKuniOwnedShare(k);
      if (owned >= 50 || owned == 0) KuniTable[k].dokuMode = 1;
    }
    SlgScene().ShowMessage("独立勢力思考中", 7, true);
    w.position = 0;
    w.childRunning = false;
    if (FirstTurnFlag) {  // only the player's clan acts on the first turn
      StepFinish();
      return result;
    }
    for (int i = 0; i < kDokuSlots; ++i) std::swap(MarchOrderList[i], MarchOrderList[SlgRandom(254)]);
  }
  switch (StepGet()) {
    case 1: {
      // Up to 16 generals a frame, so a long list never holds one frame for long.
      int finished = 0;
      while (w.position < kDokuSlots) {
        int index = MarchOrderList[w.position];
        uint16_t g = DokuAt(index);
        if (g >= kBusyoCount || !IsSiroInUse(BusyoTable[g].siro)) {
          ++w.position;
          continue;
        }
        if (!w.childRunning) {
          CheckSiroData();
          w.childRunning = true;
        }
        bool active = KuniTable[SiroTable[BusyoTable[g].siro].kuni].dokuMode == 0;
        StepPush();
        if (active)
          IndependentNormalTurn(w.position);
        else
          IndependentGrowTurn(w.position);
        if (!StepPop()) return kStepRunning;
        w.childRunning = false;
        ++w.position;
        if (++finished >= 16) return kStepRunning;
      }
      w.position = 0;
      StepNext();
      return kStepRunning;
    }
    case 2:
      if (SubStepGet() == 1) {
        if (w.leaderKuni >= 0) ShowKuniEventEffect(w.leaderKuni, 7, 7);
        ++w.position;
        SubStepSet(0);
      }
      for (; w.position < kDokuSlots; ++w.position) {
        uint16_t g = DokuAt(MarchOrderList[w.position]);
        if (g >= kBusyoCount || BusyoTable[g].marchFlag != 2 || !IsSiroInUse(BusyoTable[g].siro)) continue;
        w.leaderKuni = SiroTable[BusyoTable[g].siro].kuni;
        ShowKuniEventEffect(w.leaderKuni, 3, 7);
        SetFrameWaitHalf(GameSpeedParams[1]);
        IndependentJointOperation(g);
        SubStepSet(1);
        return kStepRunning;
      }
      StepFinish();
      return result;
    default:
      StepFinish();
      return result;
  }
}
