#include "world/record_lists.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>
#include <string>

#include "core/file_io.h"
#include "world/world_file.h"
#include "world/world_names.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "platform/byte_order.h"

std::map<uint32_t, SlgEventRecord> SlgEventMap;

namespace {

bool SiroNamedWithKuni(uint32_t s) { return s < kSiroSlots && SiroTable[s].name[0] && SiroTable[s].kuni != kNoKuni; }

void AppendSiroList1(uint32_t s, uint8_t force, CTenkaList_Busyo& out) {
  for (const SiroBusyoRef& r : SiroTable[s].list1) {
    if (r.slot == kNoSlot || (force != kNoDaimyo && r.force != force)) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount) out.push_back(g);
  }
}

template <typename F>
void ForKuniSiroIds(uint32_t kuni, F&& f) {
  if (kuni >= kKuniSlots) return;
  const KuniRecord& k = KuniTable[kuni];
  for (uint32_t s = k.firstSiro; s <= k.lastSiro && s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].kuni == kuni) f(s);
}

}  // namespace

void ListSiroRangeBusyo(uint32_t a, uint32_t b, uint8_t force, CTenkaList_Busyo& out) {
  out.clear();
  uint32_t lo = std::min(a, b), hi = std::min<uint32_t>(std::max(a, b), kSiroSlots - 1);
  for (uint32_t s = lo; s <= hi; ++s)
    if (SiroNamedWithKuni(s)) AppendSiroList1(s, force, out);
}
void ListSiroBusyo(uint32_t siro, uint8_t force, CTenkaList_Busyo& out) { ListSiroRangeBusyo(siro, siro, force, out); }
void ListSiroBusyoAll(uint32_t siro, CTenkaList_Busyo& out) { ListSiroRangeBusyo(siro, siro, kNoDaimyo, out); }

void ListKuniBusyo(uint32_t kuni, uint8_t force, CTenkaList_Busyo& out) {
  out.clear();
  ForKuniSiroIds(kuni, [&](uint32_t s) {
    if (SiroNamedWithKuni(s)) AppendSiroList1(s, force, out);
  });
}

bool KuniHasForceBusyo(uint32_t kuni, uint8_t force) {
  bool any = false;
  ForKuniSiroIds(kuni, [&](uint32_t s) {
    for (const SiroBusyoRef& r : SiroTable[s].list1) any |= r.slot != kNoSlot && r.force == force;
  });
  return any;
}

void ListDaimyoBusyo(uint32_t clan, CTenkaList_Busyo& out) {
  out.clear();
  if (clan >= kDaimyoSlots) return;
  for (uint16_t v : DaimyoTable[clan].vassals)
    if (v != kNoBusyo) out.push_back(v);
}

void ListBusyoByKuniAndDaimyo(uint32_t kuni, uint32_t clan, CTenkaList_Busyo& out) {
  out.clear();
  for (int g = 0; g < NullBusyoId; ++g) {
    const BusyoRecord& b = BusyoTable[g];
    if (!b.name[0] || b.siro == kNoSiro) continue;
    if (b.siro2 >= kSiroSlots || SiroTable[b.siro2].kuni != kuni) continue;
    if (GetBusyoDaimyo(g) == clan) out.push_back(g);
  }
}

void ListPoachCandidates(uint32_t clan, uint32_t kuni, CTenkaList_Busyo& out) {
  out.clear();
  for (int g = 0; g < kBusyoCount; ++g) {
    const BusyoRecord& b = BusyoTable[g];
    if (GetBusyoKuni(g) != static_cast<int>(kuni)) continue;
    if (GetBusyoDaimyo(g) == clan) continue;
    if ((b.cmdFlags & 1) || b.kizuna != 0) continue;
    out.push_back(g);
  }
}

void ListKuniSiroByRoad(uint32_t kuni, CTenkaList_Siro& out, bool withBorder) {
  out.clear();
  if (kuni >= kKuniSlots) return;
  int start = -1;
  ForKuniSiroIds(kuni, [&](uint32_t s) {
    const SiroRecord& r = SiroTable[s];
    if (start < 0 && ((r.name[0] && r.owner != kNoDaimyo) || r.lord != kNoSlot)) start = static_cast<int>(s);
  });
  if (start < 0) return;
  std::vector<bool> visited(kSiroSlots, false);
  std::set<uint16_t> border;
  std::deque<uint16_t> queue{static_cast<uint16_t>(start)};
  visited[start] = true;
  while (!queue.empty()) {
    uint16_t s = queue.front();
    queue.pop_front();
    out.push_back(s);
    for (uint16_t n : SiroTable[s].neighbours) {
      if (n >= kSiroSlots || visited[n] || !IsSiroInUse(n)) continue;
      visited[n] = true;
      if (SiroTable[n].kuni == kuni) {
        queue.push_back(n);
      } else if (withBorder) {
        border.insert(n);
      }
    }
  }
  for (uint16_t b : border) out.push_back(b);
}

void ListDaimyoSiroInKuni(uint32_t kuni, uint32_t clan, CTenkaList_Siro& out, bool byRoad) {
  out.clear();
  if (kuni == kNoKuni) return;
  if (byRoad) {
    CTenkaList_Siro all;
    ListKuniSiroByRoad(kuni, all, true);
    for (uint16_t s : all)
      if (SiroTable[s].owner == clan) out.push_back(s);
    return;
  }
  ForKuniSiroIds(kuni, [&](uint32_t s) {
    if (SiroTable[s].owner == clan) out.push_back(static_cast<uint16_t>(s));
  });
}

void ListItemsForDetail(std::vector<ItemListRecord>& out) {
  out.clear();
  for (int item = 1; item <= kItemCount; ++item) {
    int equipped = 0;
    if (PlayerDaimyoId < kDaimyoSlots)
      for (uint16_t v : DaimyoTable[PlayerDaimyoId].vassals)
        if (v < kBusyoCount && BusyoTable[v].items[0] == item) ++equipped;
    int stock = GetItemStock(item);
    if (stock > 0 || equipped > 0) out.push_back({item, stock, equipped, 0});
  }
}

void ListBusyoWithItem(uint32_t item, CTenkaList_Busyo& out, int32_t except) {
  out.clear();
  if (PlayerDaimyoId >= kDaimyoSlots) return;
  for (uint16_t v : DaimyoTable[PlayerDaimyoId].vassals)
    if (v < kBusyoCount && BusyoTable[v].items[0] == item && v != except) out.push_back(v);
}

int32_t FindSiroBusyoWithSkill(uint8_t force, uint32_t siro, int kind) {
  if (!IsSiroInUse(siro)) return -1;
  for (const SiroBusyoRef& r : SiroTable[siro].list1) {
    if (r.slot == kNoSlot || r.force != force) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount && HasSkillEffect(g, kind)) return g;
  }
  return -1;
}
bool SiroHasBusyoWithSkill(uint8_t force, uint32_t siro, int kind) {
  return FindSiroBusyoWithSkill(force, siro, kind) >= 0;
}

int32_t FindKuniBestSkillBusyo(int* outValue, uint8_t force, uint32_t kuni, int kind) {
  int32_t best = -1;
  int bestValue = 0;
  ForKuniSiroIds(kuni, [&](uint32_t s) {
    for (const SiroBusyoRef& r : SiroTable[s].list1) {
      if (r.slot == kNoSlot || r.force != force) continue;
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      if (g >= kBusyoCount || !HasSkillEffect(g, kind)) continue;
      int v = GetSkillEffectValue(g, kind);
      if (best < 0 || v > bestValue) {
        best = g;
        bestValue = v;
      }
    }
  });
  if (outValue) *outValue = best < 0 ? 0 : bestValue;
  return best;
}

int GetDaimyoSkillValue(uint32_t clan, int kind) {
  if (clan >= kNoDaimyo) return 0;
  for (uint16_t v : DaimyoTable[clan].vassals)
    if (v < kBusyoCount && HasSkillEffect(v, kind)) return GetSkillEffectValue(v, kind);
  return 0;
}

bool SiroHasContactCandidate(uint32_t siro, uint32_t busyo) {
  if (!IsSiroInUse(siro)) return false;
  uint8_t clan = GetBusyoDaimyo(busyo);
  for (const SiroBusyoRef& r : SiroTable[siro].list1) {
    if (r.slot == kNoSlot) continue;
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g < kBusyoCount && IsSecretContactCandidate(g, clan)) return true;
  }
  return false;
}

bool HasAllyInSet(uint32_t clan, const std::vector<uint8_t>& set) {
  if (clan >= kDaimyoSlots) return false;
  for (int i = 0; i < 3; ++i) {
    uint8_t ally = DaimyoTable[clan].allies[i];
    if (ally != kNoDaimyo && std::find(set.begin(), set.end(), ally) != set.end()) return true;
  }
  return false;
}
bool HasAllyInSetSmall(uint32_t clan, const std::vector<uint8_t>& set) {
  return set.size() < 2 && HasAllyInSet(clan, set);
}

// ---- Event map ----
void RegisterSlgEvent(uint32_t key, const char* name, int flag0, int flag1) {
  SlgEventRecord rec{};
  rec.key = static_cast<uint16_t>(key);
  rec.flags = static_cast<uint8_t>((flag0 ? 1 : 0) | (flag1 ? 2 : 0));
  if (name) SetFieldString(rec.name, sizeof rec.name, name);
  SlgEventMap[key] = rec;
}
void CloseSlgEvent(uint32_t key) {
  auto it = SlgEventMap.find(key);
  if (it != SlgEventMap.end()) it->second.flags |= 4;
}
void ClearSlgEventMap() { SlgEventMap.clear(); }
void ListSlgEventKeys(std::vector<uint32_t>& out) {
  out.clear();
  for (const auto& [key, rec] : SlgEventMap)
    if (!(rec.flags & 4)) out.push_back(key);
}
bool NoVisitableBusyo() {
  for (const auto& [key, rec] : SlgEventMap)
    if (!(rec.flags & 4)) return false;
  return true;
}

std::vector<uint8_t> SaveSlgEventData() {
  std::vector<uint8_t> out;
  le::Append32(out, static_cast<uint32_t>(SlgEventMap.size()));
  for (const auto& [key, rec] : SlgEventMap) {
    le::Append32(out, key);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&rec);
    out.insert(out.end(), p, p + sizeof rec);
  }
  out.insert(out.end(), BusyoFlagTable, BusyoFlagTable + kBusyoCount);
  return out;
}

size_t LoadSlgEventData(const uint8_t* data, size_t size) {
  if (!data || size < 5) return 0;
  uint32_t count = le::Get32(data);
  size_t pos = 4;
  constexpr size_t kEntry = 4 + sizeof(SlgEventRecord);
  // The stored count is not trusted: only whole entries inside the buffer are read.
  for (uint32_t i = 0; i < count && size - pos >= kEntry; ++i) {
    uint32_t key = le::Get32(data + pos);
    SlgEventRecord rec;
    std::memcpy(&rec, data + pos + 4, sizeof rec);
    rec.name[sizeof rec.name - 1] = '\0';
    SlgEventMap[key] = rec;
    pos += kEntry;
  }
  if (size - pos >= static_cast<size_t>(kBusyoCount)) {
    std::memcpy(BusyoFlagTable, data + pos, kBusyoCount);
    pos += kBusyoCount;
  }
  return pos;
}

// ---- cbl.dat ----
const char* CblDataPath() {
  static std::string path;
  path = WorldDataPath("SaveData\\sys\\cbl.dat");
  return path.c_str();
}

namespace {
struct CblFile {
  uint8_t names[kCblNameBlock];
  uint8_t items[kCblItemBlock];
};

void ReadCbl(CblFile& f, bool itemsToo) {
  std::memset(&f, 0, sizeof f);
  SaveBlockList list;
  list.Append(f.names, kCblNameBlock);
  if (itemsToo) list.Append(f.items, kCblItemBlock);
  if (ReadBlockFile(FixedPath(CblDataPath()), &list, kWorldTableSeed) < 0) std::memset(&f, 0, sizeof f);
}

std::string EntryName(const uint8_t* e) {
  return std::string(reinterpret_cast<const char*>(e), strnlen(reinterpret_cast<const char*>(e), 17));
}
}  // namespace

void LoadCblData(CTenkaList_Busyo& out) {
  out.clear();
  CblFile f;
  ReadCbl(f, false);
  for (int i = 0; i < kCarriedEntries; ++i) {
    const uint8_t* e = &f.names[i * kCarriedEntryBytes];
    if (e[0] == 0) continue;
    out.push_back(FindBusyoByName(EntryName(e).c_str()));
  }
}

void BuildHikitugiList(CTenkaList_Busyo& out, HikitugiList& list) {
  out.clear();
  LoadHikitugi(list);
  CTenkaList_Busyo carried;
  LoadCblData(carried);
  for (auto& [id, value] : list)
    if (std::find(carried.begin(), carried.end(), id) != carried.end()) value = (value & 0xFFFF0000u) | 10u;
  for (const auto& [id, value] : list) out.push_back(id);
}

bool UpdateCblData() {
  CblFile f;
  ReadCbl(f, true);
  std::map<int32_t, int8_t> found;
  std::vector<std::pair<std::string, int8_t>> side;
  for (int i = 0; i < kCarriedEntries; ++i) {
    const uint8_t* e = &f.names[i * kCarriedEntryBytes];
    if (e[0] == 0) continue;
    std::string name = EntryName(e);
    int32_t id = FindBusyoByNameSilent(GetBusyoDisplayName(name.c_str(), name.size()));
    int8_t value = static_cast<int8_t>(e[17]);
    if (id >= 0) {
      auto it = found.find(id);
      if (it == found.end() || it->second < value) found[id] = value;
    } else {
      side.emplace_back(name, value);
    }
  }
  int32_t unit = SystemTableWord(0);
  for (int g = 0; g < kBusyoCount; ++g) {
    const BusyoRecord& b = BusyoTable[g];
    if (b.siro == kNoSiro || b.kizuna != 1 || b.charFlag == 0) continue;
    if (GetBusyoDaimyo(g) != PlayerDaimyoId) continue;
    int8_t value = static_cast<int8_t>(static_cast<uint8_t>(unit * b.stage + b.progress));
    std::string stored = FieldString(b.name, kBusyoNameLen);
    int32_t id = FindBusyoByNameSilent(GetBusyoDisplayName(stored.c_str(), stored.size()));
    if (id >= 0) {
      auto it = found.find(id);
      if (it == found.end() || it->second < value) found[id] = value;
    } else {
      side.emplace_back(stored, value);
    }
  }
  std::memset(f.names, 0, sizeof f.names);
  int n = 0;
  auto put = [&](const std::string& name, int8_t value) {
    if (n >= kCarriedEntries) return;
    uint8_t* e = &f.names[n++ * kCarriedEntryBytes];
    SetFieldString(reinterpret_cast<char*>(e), 17, name.c_str());
    e[17] = static_cast<uint8_t>(value);
  };
  for (const auto& [id, value] : found) put(GetBusyoDisplayName(BusyoTable[id].name, kBusyoNameLen), value);
  for (const auto& [name, value] : side) put(name, value);
  for (int item = 1; item <= kItemCount; ++item) {
    uint8_t* p = &f.items[(item - 1) * 4];
    int32_t count = static_cast<int32_t>(le::Get32(p));
    count = std::clamp(count + GetItemStock(item), 0, 99);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
  }
  SaveBlockList list;
  list.Append(f.names, kCblNameBlock);
  list.Append(f.items, kCblItemBlock);
  return WriteBlockFile(FixedPath(CblDataPath()), &list, kWorldTableSeed, FileWrite::kAtomic) == 2;
}

void MarkGameCleared() {
  UpdateCblData();
  SlgRules().RecordGameCleared();
}
