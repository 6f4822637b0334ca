// Castle lists, road searches, clan sets per country, the castle check and the system table.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>
#include <utility>

#include "core/app_state.h"
#include "core/error_box.h"
#include "world/slg_util.h"
#include "world/world_file.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "platform/byte_order.h"

uint8_t SiroVisited[kSiroCount];
uint8_t SiroReachSet[kSiroCount / 8];
uint16_t SiroSearchTarget = 0;
int32_t SiroCheckSwitch = 1;
int32_t SiroCheckReported = 0;

namespace {
uint8_t g_SystemTable[kSystemTableBytes];
}

// ---- System table ----
const uint8_t* GetWorldSystemTable() { return g_SystemTable; }
void SetWorldSystemTable(const uint8_t* data, size_t size) {
  std::memset(g_SystemTable, 0, sizeof g_SystemTable);
  if (data) std::memcpy(g_SystemTable, data, std::min(size, sizeof g_SystemTable));
}
int32_t SystemTableWord(size_t off) {
  if (off + 4 > kSystemTableBytes) return 0;
  const uint8_t* p = g_SystemTable + off;
  return static_cast<int32_t>(le::Get32(p));
}
bool LoadWorldSystemTable() {
  std::vector<uint8_t> bytes;
  if (!ReadWorldFile(WorldDataPath("Data\\sys\\system.dat").c_str(), bytes, false)) return false;
  SetWorldSystemTable(bytes.data(), bytes.size());
  return true;
}
void ApplySystemStartBonus(bool on) {
  if (!on || PlayerDaimyoId >= kDaimyoSlots) return;
  DaimyoTable[PlayerDaimyoId].money = le::Get16(g_SystemTable + 100);
  for (int i = 0; i < 10; ++i) {
    int32_t item = SystemTableWord(104 + 4 * i);
    int32_t count = SystemTableWord(144 + 4 * i);
    if (item >= 1 && item <= kItemCount) AddItemStock(static_cast<uint32_t>(item), count);
  }
}
int GetHikitugiCapacity(int clearCount) { return std::min(clearCount * 5, 99); }

// ---- Castle lists ----
void SortSiroSlots(uint32_t siro) {
  if (siro >= kSiroSlots) return;
  SiroRecord& s = SiroTable[siro];
  for (SiroBusyoRef* list : {s.list1, s.list2}) {
    for (int i = 0; i < kSiroListLen; ++i)
      if (list[i].slot == kNoSlot) list[i].force = kNoDaimyo;
    auto key = [](const SiroBusyoRef& r) { return r.force * 256 + r.slot; };
    for (int i = 0; i < kSiroListLen; ++i)
      for (int j = i + 1; j < kSiroListLen; ++j)
        if (key(list[j]) < key(list[i])) std::swap(list[i], list[j]);
  }
  if (s.owner == kNoDaimyo) s.lord = s.list1[0].slot;
}

uint16_t FindDaimyoFreeSiro(uint32_t clan, bool allowKakuu) {
  if (clan >= kDaimyoSlots) return kNoSiro;
  if (allowKakuu) {
    uint16_t k = GetDaimyoKakuuSiro(clan);
    if (k != kNoSiro) return k;
  }
  for (int i = 0; i < kVassalScan; ++i) {
    uint16_t b = DaimyoTable[clan].vassals[i];
    if (b >= kBusyoCount) continue;
    uint16_t s = BusyoTable[b].siro;
    if (s == KakuuSiroId || s >= kSiroSlots) continue;
    if (SiroHasFreeEntry(s) != kNoSiro) return s;
  }
  for (int s = 0; s < kSiroCount; ++s)
    if (IsSiroInUse(s) && SiroTable[s].owner == clan && SiroHasFreeEntry(s) != kNoSiro) return static_cast<uint16_t>(s);
  return kNoSiro;
}

// ---- Road searches ----
static bool PlayerOpenSiro(uint32_t s) {
  return s < kSiroCount && IsSiroInUse(s) && SiroTable[s].owner == PlayerDaimyoId && !IsKuniClosed(SiroTable[s].kuni);
}

bool IsSiroConnected(uint32_t from, uint32_t to) {
  std::memset(SiroVisited, 0, sizeof SiroVisited);
  SiroSearchTarget = static_cast<uint16_t>(to);
  ItemStock[0] = 0;
  if (from == KakuuSiroId) {
    ItemStock[0] = (to < kSiroCount && PlayerOpenSiro(to)) ? 1 : 0;
    return ItemStock[0] != 0;
  }
  if (from >= kSiroCount) return false;
  std::vector<uint32_t> stack{from};
  SiroVisited[from] = 1;
  while (!stack.empty() && ItemStock[0] == 0) {
    uint32_t c = stack.back();
    stack.pop_back();
    for (uint16_t n : SiroTable[c].neighbours) {
      if (!PlayerOpenSiro(n)) continue;
      if (n == to) {
        ItemStock[0] = 1;
        break;
      }
      if (!SiroVisited[n]) {
        SiroVisited[n] = 1;
        stack.push_back(n);
      }
    }
  }
  return ItemStock[0] != 0;
}

void MarkSiroMoveTargets(uint32_t siro, bool crossKuni) {
  if (siro == KakuuSiroId) {
    for (int s = 0; s < kSiroCount; ++s)
      if (IsSiroInUse(s) && SiroTable[s].owner == PlayerDaimyoId && SiroTable[s].kuni < kKuniSlots &&
          !(KuniTable[SiroTable[s].kuni].passFlags & 4))
        SetBit(s, SiroReachSet, true);
    return;
  }
  if (siro >= kSiroCount) return;
  bool canCross = crossKuni && PlayerDaimyoId < kDaimyoSlots && DaimyoTable[PlayerDaimyoId].rank >= 2;
  std::vector<uint32_t> work{siro};
  SetBit(siro, SiroReachSet, true);
  while (!work.empty()) {
    uint32_t c = work.back();
    work.pop_back();
    for (uint16_t n : SiroTable[c].neighbours) {
      if (n >= kSiroCount || !IsSiroInUse(n) || SiroTable[n].owner != PlayerDaimyoId) continue;
      if (TestBit(n, SiroReachSet)) continue;
      bool same = SiroTable[n].kuni == SiroTable[c].kuni;
      if (!same && !(canCross && !IsSiroPassBlocked(c, n))) continue;
      SetBit(n, SiroReachSet, true);
      work.push_back(n);
    }
  }
}

namespace {
void ClearReach() { std::memset(SiroReachSet, 0, sizeof SiroReachSet); }

// Every inner search from castle c asks the same question ("is there room in c's country, or in
// a country reachable from it?"), whatever castle it was reached from, so one search per castle
// is enough: a castle already searched (or being searched) in this call answers false. The
// answer is the same as searching every path, without the endless or exponential re-searching
// that repeated castles would cause.
bool CanReachSiroImpl(uint32_t busyo, uint32_t a, uint32_t b, bool needRoom, std::vector<bool>& searched) {
  bool result = false;
  ClearReach();
  MarkSiroMoveTargets(b, true);
  bool aInB = a < kSiroCount && TestBit(a, SiroReachSet);
  if (aInB && !searched[a]) {
    searched[a] = true;
    ClearReach();
    MarkSiroMoveTargets(a, true);
    uint16_t ka = GetSiroKuni(a);
    uint16_t own = GetBusyoSiro(busyo);
    for (int c = 0; c < kSiroCount && !result; ++c) {
      if (!IsSiroInUse(c) || SiroTable[c].kuni != ka || !TestBit(c, SiroReachSet)) continue;
      if (!needRoom || (CountSiroBusyo(c) < kSiroListLen && c != own)) result = true;
    }
    if (!result) {
      uint8_t snapshot[sizeof SiroReachSet];
      std::memcpy(snapshot, SiroReachSet, sizeof snapshot);
      for (int c = 0; c < kSiroCount && !result; ++c) {
        if (!IsSiroInUse(c) || !TestBit(c, snapshot)) continue;
        if (SiroTable[c].kuni == ka || IsKuniClosed(SiroTable[c].kuni)) continue;
        if (searched[c]) continue;
        ClearReach();
        MarkSiroMoveTargets(c, false);
        if (!TestBit(a, SiroReachSet)) result = CanReachSiroImpl(busyo, c, a, true, searched);
      }
    }
  }
  ClearReach();
  MarkSiroMoveTargets(b, true);
  return result;
}
}  // namespace

bool CanReachSiro(uint32_t busyo, uint32_t a, uint32_t b, bool needRoom) {
  std::vector<bool> searched(kSiroCount, false);
  return CanReachSiroImpl(busyo, a, b, needRoom, searched);
}

int CanMoveBusyoTo(uint32_t busyo, uint32_t siro) {
  uint16_t own = GetBusyoSiro(busyo);
  if (own == siro) return 0;
  if (IsSiroConnected(own, siro)) return 1;
  return siro < kSiroCount ? TestBit(siro, SiroReachSet) : 0;
}

bool IsSecretContactCandidate(uint32_t busyo, uint32_t clan) {
  if (busyo >= kBusyoCount) return false;
  const BusyoRecord& b = BusyoTable[busyo];
  if (b.cmdFlags & 8) return false;
  if (b.kizuna != 0 && b.kizuna != 1 && b.kizuna != 4) return false;
  uint8_t serves = GetBusyoDaimyo(busyo);
  if (serves == kNoDaimyo) return clan != kNoDaimyo;
  if (DaimyoTable[serves].head == busyo) return false;
  return serves != clan;
}

// ---- Clan sets per country ----
void AddKuniDaimyo(uint32_t kuni, uint8_t clan) {
  if (kuni >= kKuniCount) return;
  uint8_t* set = KuniDaimyoSet[kuni];
  for (int i = 0; i < 5; ++i)
    if (set[i] == clan) return;
  for (int i = 0; i < 5; ++i)
    if (set[i] == kNoDaimyo) {
      set[i] = clan;
      KuniDaimyoCount[kuni]++;
      return;
    }
  ShowSlgDataError("国に５以上の大名の支配城があります。");
}
void RebuildKuniDaimyoSets() {
  std::memset(KuniDaimyoSet, kNoDaimyo, sizeof KuniDaimyoSet);
  std::memset(KuniDaimyoCount, 0, sizeof KuniDaimyoCount);
  for (int s = 0; s < kSiroSlots; ++s) {
    const SiroRecord& r = SiroTable[s];
    if (r.owner != kNoDaimyo && r.kuni < kKuniCount) AddKuniDaimyo(r.kuni, r.owner);
  }
}
void ColorKuniByDaimyoCount(bool rebuild) {
  if (rebuild) RebuildKuniDaimyoSets();
  for (int k = 0; k < kKuniCount; ++k) SlgScene().SetKuniColor(k, KuniDaimyoCount[k] ? 8 : 7);
}

// ---- Castle check ----
static bool ListHas(const SiroRecord& s, uint8_t force, uint8_t slot) {
  for (int i = 0; i < kSiroListLen; ++i)
    if ((s.list1[i].force == force && s.list1[i].slot == slot) ||
        (s.list2[i].force == force && s.list2[i].slot == slot))
      return true;
  return false;
}

// A general who marched on his target stands in its second list until the war phase ends his
// march; his own castle's lists no longer hold him.
static bool HeldOnMarch(uint16_t busyo, uint8_t force, uint8_t slot) {
  const BusyoRecord& r = BusyoTable[busyo];
  if (r.marchFlag != 1 || !IsSiroInUse(r.siro2)) return false;
  for (const SiroBusyoRef& e : SiroTable[r.siro2].list2)
    if (e.force == force && e.slot == slot) return true;
  return false;
}

std::vector<std::string> CollectSiroDataProblems(bool marchesUnderway) {
  std::vector<std::string> out;
  char line[96];
  for (int c = 0; c < kDaimyoFileCount; ++c) {
    for (int s = 0; s < kVassalScan; ++s) {
      uint16_t b = DaimyoTable[c].vassals[s];
      if (b >= kBusyoCount) continue;
      uint16_t siro = BusyoTable[b].siro;
      if (siro >= kSiroSlots) continue;  // unplaced or in the fictional castle
      const auto force = static_cast<uint8_t>(c);
      const auto slot = static_cast<uint8_t>(s);
      if (marchesUnderway && HeldOnMarch(b, force, slot)) continue;
      if (!ListHas(SiroTable[siro], force, slot)) {
        std::snprintf(line, sizeof line, "siro err siro[%d] pass=1 code=%d   ", siro, b);
        out.push_back(line);
      }
    }
  }
  for (int s = 0; s < kDokuSlots; ++s) {
    uint16_t b = DokuBusyoList[s];
    if (b >= kBusyoCount) continue;
    if (marchesUnderway && HeldOnMarch(b, kNoDaimyo, static_cast<uint8_t>(s))) continue;
    uint16_t siro = BusyoTable[b].siro;
    if (siro >= kSiroSlots || !ListHas(SiroTable[siro], kNoDaimyo, static_cast<uint8_t>(s))) {
      std::snprintf(line, sizeof line, "siro err siro[%d] pass=2 code=%d   ", siro, b);
      out.push_back(line);
    }
  }
  for (int siro = 0; siro < kSiroSlots; ++siro) {
    if (!IsSiroInUse(siro)) continue;
    const SiroRecord& s = SiroTable[siro];
    int code = 0;
    if (s.owner >= kDaimyoInPlay && s.owner <= 254) code |= 1;
    for (int l = 0; l < 2; ++l) {
      const SiroBusyoRef* list = l == 0 ? s.list1 : s.list2;
      for (int i = 1; i < kSiroListLen; ++i)
        if (list[i].slot != kNoSlot && list[i].force != list[0].force) code |= (l == 0 ? 2 : 4);
    }
    if (code) {
      std::snprintf(line, sizeof line, "siro err siro[%d] pass=3 code=%d   ", siro, code);
      out.push_back(line);
    }
  }
  return out;
}

bool CheckSiroData() {
  if (!SiroCheckSwitch || SiroCheckReported) return true;
  std::vector<std::string> problems = CollectSiroDataProblems();
  if (problems.empty()) return true;
  SiroCheckReported = 1;
  if (!ShowErrorBox(problems.front().c_str())) g_QuitRequested = true;
  return false;
}
