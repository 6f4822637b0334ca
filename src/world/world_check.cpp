#include "world/world_check.h"

#include <cstdio>

#include "world/world_queries.h"

namespace {
std::string Line(const char* fmt, int a, int b = 0, int c = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}
}  // namespace

std::vector<std::string> CollectWorldProblems(bool marchesUnderway) {
  std::vector<std::string> out = CollectSiroDataProblems(marchesUnderway);
  // Slots per general.
  std::vector<int> slots(kBusyoCount, 0);
  for (int d = 0; d < kDaimyoSlots; ++d)
    for (uint16_t v : DaimyoTable[d].vassals)
      if (v < kBusyoCount) slots[v]++;
  for (uint16_t v : DokuBusyoList)
    if (v < kBusyoCount) slots[v]++;
  for (int g = 0; g < kBusyoCount; ++g)
    if (slots[g] > 1) out.push_back(Line("general %d holds %d slots", g, slots[g]));
  if (slots[NullBusyoId]) out.push_back(Line("general %d (none) holds a slot", NullBusyoId));
  // Castle fields against stationing entries.
  std::vector<int> entries(kBusyoCount, 0);
  for (int s = 0; s < kSiroSlots; ++s) {
    if (!IsSiroInUse(s)) continue;
    const SiroRecord& r = SiroTable[s];
    for (int l = 0; l < 2; ++l) {
      const SiroBusyoRef* list = l ? r.list2 : r.list1;
      for (int i = 0; i < kSiroListLen; ++i) {
        if (list[i].slot == kNoSlot) continue;
        uint16_t g = GetForceSlotBusyo(list[i].force, list[i].slot);
        if (g >= kBusyoCount) {
          out.push_back(Line("castle %d list %d entry %d names no general", s, l + 1, i));
          continue;
        }
        entries[g]++;
        if (BusyoTable[g].siro != s && BusyoTable[g].siro2 != s)
          out.push_back(Line("castle %d names general %d who stands in castle %d", s, g, BusyoTable[g].siro));
      }
    }
  }
  for (int g = 0; g < kBusyoCount; ++g) {
    uint16_t s = BusyoTable[g].siro;
    bool real = s < kSiroSlots;
    if (real && entries[g] == 0) out.push_back(Line("general %d in castle %d has no stationing entry", g, s));
    if (entries[g] > 1) out.push_back(Line("general %d has %d stationing entries", g, entries[g]));
    if (real && slots[g] == 0)
      out.push_back(Line("general %d in castle %d serves no clan and is not independent", g, s));
  }
  // Roads and country ranges.
  for (int s = 0; s < kSiroSlots; ++s) {
    if (!IsSiroInUse(s)) continue;
    const SiroRecord& r = SiroTable[s];
    if (r.kuni >= kKuniCount) {
      out.push_back(Line("castle %d lies in country %d", s, r.kuni));
      continue;
    }
    const KuniRecord& k = KuniTable[r.kuni];
    if (s < k.firstSiro || s > k.lastSiro)
      out.push_back(Line("castle %d lies outside the castle range of country %d", s, r.kuni));
    for (int i = 0; i < 5; ++i) {
      uint16_t n = r.neighbours[i];
      if (n == kNoSiro) continue;
      if (!IsSiroInUse(n)) {
        out.push_back(Line("castle %d names castle %d, which is not in use", s, n));
        continue;
      }
      if ((r.links[i] & 1) && !IsSiroLinkOpen(n, s)) out.push_back(Line("road %d-%d is one-way", s, n));
      uint8_t kn = SiroTable[n].kuni;
      if (kn != r.kuni && kn < kKuniCount) {
        bool listed = false;
        for (uint8_t x : k.neighbours) listed |= x == kn;
        if (!listed)
          out.push_back(Line("castles %d and %d join countries %d and ", s, n, r.kuni) + std::to_string(kn) +
                        ", which are no neighbours");
      }
    }
  }
  for (int a = 0; a < kKuniCount; ++a) {
    if (KuniTable[a].name[0] && CountKuniSiro(a) == 0) out.push_back(Line("country %d has no castle", a));
    for (uint8_t b : KuniTable[a].neighbours) {
      if (b == kNoKuni) continue;
      bool back = false;
      if (b < kKuniCount)
        for (uint8_t x : KuniTable[b].neighbours) back |= x == a;
      if (!back) out.push_back(Line("country %d lists neighbour %d without the way back", a, b));
    }
  }
  for (int d = 0; d < kDaimyoSlots; ++d) {
    uint16_t h = DaimyoTable[d].head;
    if (h >= NullBusyoId) continue;
    bool found = false;
    for (uint16_t v : DaimyoTable[d].vassals) found |= v == h;
    if (!found) out.push_back(Line("clan %d: head %d is not among its vassals", d, h));
  }
  return out;
}
