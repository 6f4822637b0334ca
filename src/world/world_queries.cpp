// Names, clamped setters, membership, counts, shares and items over the world tables.
#include "world/world_queries.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/game_rand.h"
#include "platform/text/cp932.h"
#include "world/slg_util.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"

namespace {
// Each lookup hands out the next of a few buffers, so that several names looked up for one message
// ("%sは%sと同盟を結びました") stay apart, also when one lookup builds on another (a clan name is
// made from its head's family name, which is made from the general's name).
template <size_t Size>
struct NameRing {
  static constexpr int kSlots = 8;
  char slots[kSlots][Size] = {};
  int next = 0;
  char* Take() {
    char* out = slots[next];
    next = (next + 1) % kSlots;
    out[0] = '\0';
    return out;
  }
};
NameRing<64> g_GeneralNames;
NameRing<64> g_FamilyNames;
NameRing<64> g_ClanNames;
NameRing<64> g_CastleNames;
NameRing<16> g_KuniNames;
NameRing<128> g_DisplayNames;
NameRing<64> g_ForceNames;
NameRing<64> g_Titles;

const char* const kRankNames[4] = {"豪族", "豪族", "小大名", "戦国大名"};
const char* const kTitleNames[12] = {"なし",   "守護",   "鎮守府将軍", "右大将", "左大将", "参議",
                                     "中納言", "大納言", "内大臣",     "右大臣", "左大臣", "関白"};

bool IsBlankAt(const unsigned char* p, size_t i, size_t n) {
  return p[i] == ' ' || (i + 1 < n && p[i] == 0x81 && p[i + 1] == 0x40);
}
}  // namespace

std::string FieldString(const char* field, size_t fieldSize) { return std::string(field, strnlen(field, fieldSize)); }

void SetFieldString(char* field, size_t fieldSize, const char* text) {
  std::memset(field, 0, fieldSize);
  size_t n = 0;
  size_t len = std::strlen(text);
  while (n < len) {
    size_t step = plat::IsSjisLead(static_cast<unsigned char>(text[n])) ? 2 : 1;
    if (n + step > fieldSize - 1 || n + step > len) break;
    n += step;
  }
  std::memcpy(field, text, n);
}

const char* GetBusyoName(uint32_t busyo) {
  char* buffer = g_GeneralNames.Take();
  if (busyo >= NullBusyoId) return buffer;
  unsigned char* p = reinterpret_cast<unsigned char*>(BusyoTable[busyo].name);
  size_t n = strnlen(BusyoTable[busyo].name, kBusyoNameLen);
  size_t out = 0;
  bool seenChar = false, sepDone = false, pendingSep = false;
  for (size_t i = 0; i < n;) {
    if (p[i] == 0x81 && i + 1 < n && p[i + 1] == 0x40) {
      p[i] = ' ';  // a full-width blank is kept as two ASCII blanks from now on
      p[i + 1] = ' ';
    }
    if (p[i] == ' ') {
      if (seenChar && !sepDone) pendingSep = true;
      ++i;
      continue;
    }
    if (pendingSep) {
      buffer[out++] = ' ';
      pendingSep = false;
      sepDone = true;
    }
    size_t step = (plat::IsSjisLead(p[i]) && i + 1 < n) ? 2 : 1;
    for (size_t k = 0; k < step; ++k) buffer[out++] = static_cast<char>(p[i + k]);
    i += step;
    seenChar = true;
  }
  buffer[out] = '\0';
  return buffer;
}

const char* GetBusyoFamilyName(uint32_t busyo) {
  const char* name = GetBusyoName(busyo);
  char* buffer = g_FamilyNames.Take();
  std::snprintf(buffer, sizeof g_FamilyNames.slots[0], "%s", name);
  char* blank = std::strchr(buffer, ' ');  // ASCII blank is never a trail byte here
  if (blank) *blank = '\0';
  return buffer;
}

std::string NormalizeName(const char* text, size_t fieldSize) {
  std::string out;
  if (!text) return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t n = strnlen(text, fieldSize);
  for (size_t i = 0; i < n;) {
    if (IsBlankAt(p, i, n)) {
      i += (p[i] == ' ') ? 1 : 2;
      continue;
    }
    size_t step = (plat::IsSjisLead(p[i]) && i + 1 < n) ? 2 : 1;
    out.append(text + i, step);
    i += step;
  }
  return out;
}

const char* GetBusyoDisplayName(const char* text, size_t fieldSize) {
  std::string s = NormalizeName(text, fieldSize);
  char* buffer = g_DisplayNames.Take();
  std::snprintf(buffer, sizeof g_DisplayNames.slots[0], "%s", s.c_str());
  return buffer;
}

static uint16_t DaimyoNameBusyo(uint32_t clan) {
  const DaimyoRecord& d = DaimyoTable[clan];
  return d.head == NullBusyoId ? d.actingHead : d.head;
}

const char* GetDaimyoName(uint32_t clan, bool withHouse) {
  if (clan > 254) return "独立勢力";
  const char* family = GetBusyoFamilyName(DaimyoNameBusyo(clan));
  char* buffer = g_ClanNames.Take();
  std::snprintf(buffer, sizeof g_ClanNames.slots[0], withHouse ? "%s家" : "%s", family);
  return buffer;
}

const char* ForceName(uint32_t clan) {
  if (clan >= 255) return "独立勢力";
  // A long family name is cut at the buffer (the terminator always fits).
  char* buffer = g_ForceNames.Take();
  if (std::snprintf(buffer, sizeof g_ForceNames.slots[0], "%8s軍", GetBusyoFamilyName(DaimyoNameBusyo(clan))) < 0)
    buffer[0] = '\0';
  return buffer;
}

const char* GetSiroName(uint32_t siro, bool withSuffix) {
  if (siro > 0xFFFE || siro >= kSiroSlots) return "";
  std::string name = FieldString(SiroTable[siro].name, kSiroNameLen);
  char* buffer = g_CastleNames.Take();
  std::snprintf(buffer, sizeof g_CastleNames.slots[0], withSuffix ? "%s城" : "%s", name.c_str());
  return buffer;
}

const char* GetKuniName(uint32_t kuni) {
  if (kuni >= kKuniSlots) return "";
  std::string name = FieldString(KuniTable[kuni].name, kKuniNameLen);
  char* buffer = g_KuniNames.Take();
  std::snprintf(buffer, sizeof g_KuniNames.slots[0], "%s", name.c_str());
  return buffer;
}

const char* GetDaimyoRankName(uint32_t clan) {
  if (clan >= kDaimyoSlots) return "";
  return kRankNames[std::min<int>(DaimyoTable[clan].rank, 3)];
}

void SetDaimyoTitle(uint32_t clan, int n, int kuni) {
  if (clan >= kDaimyoSlots) return;
  DaimyoTable[clan].title = static_cast<uint8_t>(n + 1);
  DaimyoTable[clan].titleKuni = static_cast<uint8_t>(kuni);
}

const char* FormatDaimyoTitle(uint32_t clan) {
  if (clan >= kDaimyoSlots) return "";
  int t = std::min<int>(DaimyoTable[clan].title, 11);
  char* buffer = g_Titles.Take();
  if (t == 1) {
    std::snprintf(buffer, sizeof g_Titles.slots[0], "%s%s", GetKuniName(DaimyoTable[clan].titleKuni), kTitleNames[1]);
  } else {
    std::snprintf(buffer, sizeof g_Titles.slots[0], "%s", kTitleNames[t]);
  }
  return buffer;
}

// ---- Stats ----
static int StatWithItems(uint32_t busyo, int kind) {
  if (busyo >= kBusyoCount) return 0;
  const BusyoRecord& b = BusyoTable[busyo];
  int v = b.cur.stat[kind - 1];
  for (uint16_t item : b.items) {
    const ItemRecord* rec = GetItemRecord(item);
    if (rec && rec->statKind == kind) v += rec->bonus;
  }
  return std::min(v, 255);
}
int GetBusyoStat1(uint32_t busyo) { return StatWithItems(busyo, 1); }
int GetBusyoStat2(uint32_t busyo) { return StatWithItems(busyo, 2); }
int GetBusyoStat3(uint32_t busyo) { return StatWithItems(busyo, 3); }
int GetBusyoStat4(uint32_t busyo) { return busyo < kBusyoCount ? std::min<int>(BusyoTable[busyo].cur.stat[3], 99) : 0; }
int GetBusyoStageStat4(uint32_t busyo) {
  if (busyo >= kBusyoCount) return 0;
  const BusyoRecord& b = BusyoTable[busyo];
  if (b.stage >= 1 && b.stage <= 3) return std::min<int>(b.stageBlock[b.stage - 1].stat[3], 99);
  return GetBusyoStat4(busyo);
}
int GetBusyoSoldiers(uint32_t busyo) {
  return busyo < kBusyoCount ? std::clamp<int>(BusyoTable[busyo].soldiers, 1, 50) : 0;
}
int GetBusyoGuns(uint32_t busyo) { return busyo < kBusyoCount ? std::min<int>(BusyoTable[busyo].guns, 50) : 0; }
int GetBusyoLoyalty(uint32_t busyo) { return busyo < kBusyoCount ? std::min<int>(BusyoTable[busyo].loyalty, 16) : 0; }
void SetBusyoSoldiers(uint32_t busyo, int n) {
  if (busyo >= kBusyoCount) return;
  BusyoTable[busyo].soldiers = static_cast<uint8_t>(std::clamp(n, 1, 50));
  SetBusyoGuns(busyo, BusyoTable[busyo].guns);
}
bool SetBusyoGuns(uint32_t busyo, int n) {
  if (busyo >= kBusyoCount) return false;
  BusyoRecord& b = BusyoTable[busyo];
  b.guns = static_cast<uint8_t>(std::max(0, std::min({static_cast<int>(b.soldiers), 50, n})));
  return true;
}
// A bonded general's loyalty byte is the marker 255, not a value: no loyalty change touches it.
void SetBusyoLoyalty(uint32_t busyo, int n) {
  if (busyo >= kBusyoCount || BusyoTable[busyo].loyalty == kBondedLoyalty) return;
  BusyoTable[busyo].loyalty = static_cast<uint8_t>(std::clamp(n, 1, 16));
}
void AddBusyoLoyalty(uint32_t busyo, int d) {
  if (busyo < kBusyoCount) SetBusyoLoyalty(busyo, BusyoTable[busyo].loyalty + d);
}
void DecayBusyoLoyalty(uint32_t busyo) {
  if (busyo >= kBusyoCount) return;
  uint8_t& loyalty = BusyoTable[busyo].loyalty;
  if (SlgRandom(100) + 1 < 6 && loyalty > 1 && loyalty != kBondedLoyalty) loyalty--;
}
bool SetBusyoStage(uint32_t busyo, int stage) {
  if (busyo >= kBusyoCount || (stage != 1 && stage != 2)) return false;
  BusyoRecord& b = BusyoTable[busyo];
  b.stage = static_cast<uint16_t>(stage);
  b.progress = 0;
  b.cur = b.stageBlock[stage - 1];
  return true;
}
void SetBusyoKizuna(uint32_t busyo, bool on) {
  if (busyo >= kBusyoCount) return;
  BusyoRecord& b = BusyoTable[busyo];
  if (on) {
    if (b.kizuna == 0) {
      b.kizuna = 1;
      b.loyalty = kBondedLoyalty;
    }
  } else {
    b.kizuna = 0;
    b.loyalty = 16;
  }
}
void SetBusyoKizunaState(uint32_t busyo, int state) {
  if (busyo < kBusyoCount && state >= 0 && state <= 4) BusyoTable[busyo].kizuna = static_cast<uint8_t>(state);
}
bool IsBusyoLoyaltyFixed(uint32_t busyo) {
  if (busyo >= kBusyoCount) return false;
  return BusyoTable[busyo].loyalty == 0 || BusyoTable[busyo].kizuna != 0;
}
bool IsBusyoInvalid(uint32_t busyo) { return busyo >= kBusyoCount || BusyoTable[busyo].kizuna == 0; }

// ---- Placement views ----
uint16_t GetBusyoSiro(uint32_t busyo) { return busyo < NullBusyoId ? BusyoTable[busyo].siro : kNoSiro; }
void ClearBusyoSiro(uint32_t busyo) {
  if (busyo < kBusyoCount) BusyoTable[busyo].siro = kNoSiro;
}
int GetBusyoKuni(uint32_t busyo) {
  uint16_t s = GetBusyoSiro(busyo);
  if (s == kNoSiro || s == KakuuSiroId || s >= kSiroSlots) return -1;
  return SiroTable[s].kuni;
}
uint16_t GetSiroKuni(uint32_t siro) {
  if (siro == KakuuSiroId) return kNoKuni;
  if (siro >= kSiroSlots) return 0xFFFF;
  return SiroTable[siro].kuni;
}
bool IsKakuuSiro(uint32_t siro) { return siro == KakuuSiroId; }
uint16_t GetDaimyoKakuuSiro(uint32_t clan) { return (clan == PlayerDaimyoId && !IsAutoRun()) ? KakuuSiroId : kNoSiro; }
bool IsBusyoInKakuuSiro(uint32_t busyo) { return busyo < kBusyoCount && BusyoTable[busyo].siro == KakuuSiroId; }
uint8_t GetKakuuOwner(uint32_t busyo) { return IsBusyoInKakuuSiro(busyo) ? PlayerDaimyoId : kNoDaimyo; }

uint16_t GetForceSlotBusyo(uint8_t force, uint8_t slot) {
  if (slot >= kVassalSlots) return kNoBusyo;
  if (force == kNoDaimyo) return DokuBusyoList[slot];
  return DaimyoTable[force].vassals[slot];
}
uint16_t FindForceSlot(uint8_t force, uint32_t busyo) {
  uint16_t found = 0xFFFF;
  if (busyo >= kBusyoCount) return found;
  if (force == kNoDaimyo) {
    for (int i = 0; i < kDokuSlots; ++i)
      if (DokuBusyoList[i] == busyo) found = static_cast<uint16_t>(i);
  } else {
    for (int i = 0; i < kVassalScan; ++i)
      if (DaimyoTable[force].vassals[i] == busyo) found = static_cast<uint16_t>(i);
  }
  return found;
}
uint16_t GetDaimyoSlotBusyo(uint32_t slot, uint32_t clan) {
  if (slot >= kVassalSlots || clan >= kDaimyoSlots) return kNoBusyo;
  return clan == kNoDaimyo ? DokuBusyoList[slot] : DaimyoTable[clan].vassals[slot];
}
uint8_t GetBusyoSiroEntry(uint32_t busyo) {
  uint16_t s = GetBusyoSiro(busyo);
  if (s >= kSiroSlots) return kNoSlot;
  for (int i = 0; i < kSiroListLen; ++i) {
    const SiroBusyoRef& r = SiroTable[s].list1[i];
    if (r.slot != kNoSlot && GetForceSlotBusyo(r.force, r.slot) == busyo) return static_cast<uint8_t>(i);
  }
  return kNoSlot;
}

static int ScanSiroForClan(uint32_t siro, uint32_t busyo) {
  if (siro >= kSiroSlots) return -1;
  const SiroRecord& s = SiroTable[siro];
  int found = -1;
  for (int i = 0; i < kSiroListLen; ++i) {
    for (const SiroBusyoRef* r : {&s.list1[i], &s.list2[i]}) {
      if (r->force < 255 && r->slot < 255 && r->slot < kVassalSlots && DaimyoTable[r->force].vassals[r->slot] == busyo)
        found = r->force;
    }
  }
  return found;
}

uint8_t GetBusyoDaimyo(uint32_t busyo) {
  if (busyo >= kBusyoCount) return kNoDaimyo;
  const BusyoRecord& b = BusyoTable[busyo];
  if (b.siro == kNoSiro) return kNoDaimyo;
  if (b.siro == KakuuSiroId) return GetKakuuOwner(busyo);
  int f = ScanSiroForClan(b.siro, busyo);
  if (f < 0 && b.siro2 != kNoSiro) f = ScanSiroForClan(b.siro2, busyo);
  return f < 0 ? kNoDaimyo : static_cast<uint8_t>(f);
}

int CountSiroBusyo(uint32_t siro) {
  if (!IsSiroInUse(siro)) return 0;
  int n = 0;
  for (const SiroBusyoRef& r : SiroTable[siro].list1) n += r.slot != kNoSlot;
  return n;
}
int CountSiroFreeSlots(uint32_t siro) { return IsSiroInUse(siro) ? kSiroListLen - CountSiroBusyo(siro) : 0; }
int CountDaimyoFreeSlots(uint32_t clan) {
  int n = 0;
  for (int s = 0; s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].owner == clan) n += CountSiroFreeSlots(s);
  return n;
}
uint16_t SiroHasFreeEntry(uint32_t siro) {
  return (IsSiroInUse(siro) && CountSiroFreeSlots(siro) > 0) ? static_cast<uint16_t>(siro) : kNoSiro;
}
int CountDaimyoBusyo(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0;
  int n = 0;
  for (int i = 0; i < kVassalScan; ++i) n += DaimyoTable[clan].vassals[i] != kNoBusyo;
  return n;
}
int CountDaimyoVassals(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0;
  int n = 0;
  for (uint16_t v : DaimyoTable[clan].vassals) n += v != kNoBusyo;
  return n;
}
int CountDaimyoKakuuBusyo(uint32_t clan) {
  if (clan >= kDaimyoSlots) return 0;
  uint16_t k = GetDaimyoKakuuSiro(clan);
  int n = 0;
  for (uint16_t v : DaimyoTable[clan].vassals)
    if (v < kBusyoCount && BusyoTable[v].siro == k) ++n;
  return n;
}
int CountDaimyoKuni(uint32_t clan) {
  int n = 0;
  for (int k = 0; k < kKuniCount; ++k) n += KuniTable[k].holder == clan;
  return n;
}
int CountDaimyoHeldSiro(uint32_t clan) {
  int n = 0;
  for (int s = 0; s < kSiroSlots; ++s) {
    const SiroRecord& r = SiroTable[s];
    if (IsSiroInUse(s) && r.name[0] && r.owner == clan && r.lord == clan) ++n;
  }
  return n;
}

// Castles of a country: its consecutive id range, bounded to real slots.
template <typename F>
static void ForKuniSiro(uint32_t kuni, F&& f) {
  if (kuni >= kKuniSlots) return;
  const KuniRecord& k = KuniTable[kuni];
  for (uint32_t s = k.firstSiro; s <= k.lastSiro && s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && SiroTable[s].kuni == kuni) f(s);
}

int CountKuniSiro(uint32_t kuni) {
  int n = 0;
  ForKuniSiro(kuni, [&](uint32_t) { ++n; });
  return n;
}
int CountKuniForeignBusyo(uint32_t clan, uint32_t kuni) {
  int n = 0;
  ForKuniSiro(kuni, [&](uint32_t s) {
    for (const SiroBusyoRef& r : SiroTable[s].list1)
      if (r.slot != kNoSlot && r.force != kNoDaimyo && r.force != clan) ++n;
  });
  for (int i = 0; i < kDokuSlots; ++i) {
    uint16_t b = DokuBusyoList[i];
    if (b < kBusyoCount && GetBusyoKuni(b) == static_cast<int>(kuni)) ++n;
  }
  return n;
}
uint8_t GetDaimyoHomeKuni(uint32_t clan) {
  if (clan >= kDaimyoSlots) return kNoKuni;
  uint16_t head = DaimyoTable[clan].head;
  if (head >= NullBusyoId) return kNoKuni;  // 1999 and 0xFFFF: no head
  uint16_t s = BusyoTable[head].siro;
  if (s == KakuuSiroId) {
    for (int k = 0; k < kKuniCount; ++k)
      if (DaimyoHasSiroInKuni(k, clan)) return static_cast<uint8_t>(k);
    return kNoKuni;
  }
  if (s >= kSiroSlots) return kNoKuni;
  return SiroTable[s].kuni;
}
bool DaimyoHasSiroInKuni(uint32_t kuni, uint32_t clan) {
  bool any = false;
  ForKuniSiro(kuni, [&](uint32_t s) { any |= SiroTable[s].owner == clan; });
  return any;
}
bool DaimyoOwnsWholeKuni(uint32_t kuni, uint32_t clan) {
  bool all = true;
  int n = 0;
  ForKuniSiro(kuni, [&](uint32_t s) {
    ++n;
    all &= SiroTable[s].owner == clan;
  });
  return n > 0 && all;
}
bool IsSiroOwnedBy(uint32_t siro, uint32_t clan) { return siro < kSiroSlots && SiroTable[siro].owner == clan; }
bool IsPlayerSiro(int32_t siro) { return siro >= 0 && siro < kSiroSlots && SiroTable[siro].owner == PlayerDaimyoId; }
bool IsSiroOfAlly(uint32_t siro, uint32_t clan) {
  if (siro >= kSiroSlots || clan >= kDaimyoSlots) return false;
  uint8_t owner = SiroTable[siro].owner;
  if (owner == kNoDaimyo) return false;
  for (int i = 0; i < 3; ++i)
    if (DaimyoTable[clan].allies[i] == owner) return true;
  return false;
}
bool AreDaimyoAllied(uint32_t a, uint32_t b) {
  if (a >= kDaimyoInPlay || b >= kDaimyoInPlay) return false;
  for (int i = 0; i < 3; ++i)
    if (DaimyoTable[a].allies[i] == b || DaimyoTable[b].allies[i] == a) return true;
  return false;
}
bool AddDaimyoRelation(uint32_t clan, uint32_t other) {
  if (clan >= kDaimyoSlots) return false;
  uint8_t* set = DaimyoTable[clan].clanSet;
  for (int i = 0; i < 5; ++i)
    if (set[i] == other) return true;
  for (int i = 0; i < 5; ++i)
    if (set[i] == kNoDaimyo) {
      set[i] = static_cast<uint8_t>(other);
      return true;
    }
  return false;
}
void SetDaimyoFlag3(uint32_t clan, bool on) {
  if (clan >= kDaimyoSlots) return;
  if (on)
    DaimyoTable[clan].turnFlags |= 8;
  else
    DaimyoTable[clan].turnFlags &= ~8;
}
void SetKuniFlag8(uint32_t kuni, bool on) {
  if (kuni >= kKuniSlots) return;
  if (on)
    KuniTable[kuni].doneFlags |= 8;
  else
    KuniTable[kuni].doneFlags &= ~8;
}
void ClearAllKuniFlag8() {
  for (KuniRecord& k : KuniTable) k.doneFlags &= ~8;
}
bool IsKuniFlagSet(uint32_t kuni) { return kuni < kKuniSlots && (KuniTable[kuni].passFlags & 3) != 0; }
bool IsKuniClosed(uint32_t kuni) { return kuni < kKuniSlots && KuniTable[kuni].eventState == 5; }

static int NeighbourIndex(uint32_t a, uint32_t b) {
  if (a >= kSiroSlots || b >= kSiroSlots) return -1;
  for (int i = 0; i < 5; ++i)
    if (SiroTable[a].neighbours[i] == b) return i;
  return -1;
}
bool IsSiroLinkOpen(uint32_t a, uint32_t b) {
  int i = NeighbourIndex(a, b);
  return i >= 0 && (SiroTable[a].links[i] & 1);
}
bool SetSiroLink(uint32_t a, uint32_t b, bool on) {
  if (a >= kSiroSlots || b >= kSiroSlots) return false;
  if (on) {
    int ia = NeighbourIndex(a, b), ib = NeighbourIndex(b, a);
    if (ia < 0)
      for (int i = 0; i < 5 && ia < 0; ++i)
        if (SiroTable[a].neighbours[i] == kNoSiro) ia = i;
    if (ib < 0)
      for (int i = 0; i < 5 && ib < 0; ++i)
        if (SiroTable[b].neighbours[i] == kNoSiro) ib = i;
    if (ia < 0 || ib < 0) return false;
    SiroTable[a].neighbours[ia] = static_cast<uint16_t>(b);
    SiroTable[a].links[ia] |= 1;
    SiroTable[b].neighbours[ib] = static_cast<uint16_t>(a);
    SiroTable[b].links[ib] |= 1;
    return true;
  }
  int ia = NeighbourIndex(a, b), ib = NeighbourIndex(b, a);
  if (ia < 0 || ib < 0) return false;
  SiroTable[a].neighbours[ia] = kNoSiro;
  SiroTable[a].links[ia] = 0;
  SiroTable[b].neighbours[ib] = kNoSiro;
  SiroTable[b].links[ib] = 0;
  return true;
}
bool AreSiroNeighbours(uint32_t a, uint32_t b) {
  if (b == kNoSiro || b == KakuuSiroId) return false;
  return NeighbourIndex(a, b) >= 0;
}
bool IsSiroPassBlocked(uint32_t a, uint32_t b) {
  if (a >= kSiroSlots || b >= kSiroSlots) return false;
  uint8_t ka = SiroTable[a].kuni, kb = SiroTable[b].kuni;
  if (ka == kb) return false;
  return (ka < kKuniSlots && (KuniTable[ka].passFlags & 1)) || (kb < kKuniSlots && (KuniTable[kb].passFlags & 2));
}
int AddDaimyoMoney(uint32_t clan, int d) {
  if (clan >= kDaimyoSlots) return 0;
  DaimyoTable[clan].money = static_cast<uint16_t>(std::clamp(DaimyoTable[clan].money + d, 0, 65535));
  return DaimyoTable[clan].money;
}
int AddDaimyoCP(uint32_t clan, int d) {
  if (clan >= kDaimyoSlots) return 0;
  DaimyoTable[clan].cp = static_cast<uint8_t>(std::clamp(DaimyoTable[clan].cp + d, 0, 255));
  return DaimyoTable[clan].cp;
}

static int KuniShare(uint32_t kuni, int clan /* -1: any owner */) {
  int total = 0, mine = 0;
  ForKuniSiro(kuni, [&](uint32_t s) {
    int w = SiroTable[s].level + 2;
    total += w;
    uint8_t owner = SiroTable[s].owner;
    if (clan < 0 ? owner != kNoDaimyo : owner == clan) mine += w;
  });
  return total == 0 ? 0 : mine * 100 / total;  // a country without castles has no share
}
int GetDaimyoKuniShare(uint32_t kuni, uint32_t clan) { return KuniShare(kuni, static_cast<int>(clan)); }
int GetKuniOwnedShare(uint32_t kuni) { return KuniShare(kuni, -1); }
int GetDaimyoMaxKuniShare(uint32_t clan) {
  int best = 0;
  for (int k = 0; k < kKuniCount; ++k) best = std::max(best, GetDaimyoKuniShare(k, clan));
  return best;
}
int GetKuniIncome(uint32_t kuni, uint32_t clan, bool withLand) {
  if (kuni >= kKuniSlots) return 0;
  int share = GetDaimyoKuniShare(kuni, clan);
  int v = KuniTable[kuni].town * share / 1000;
  if (withLand) v += KuniTable[kuni].land * share / 100;
  return v;
}
bool IsBusyoEnemyTarget(uint32_t busyo) {
  uint8_t c = GetBusyoDaimyo(busyo);
  if (c == kNoDaimyo || c == PlayerDaimyoId) return false;
  if (DaimyoTable[c].turnFlags & 1) return false;
  return !AreDaimyoAllied(PlayerDaimyoId, c);
}
bool IsBusyoMarked(uint32_t busyo) { return busyo < kBusyoCount && (BusyoFlagTable[busyo] & 1); }

// ---- Items and skills ----
ItemRecord* GetItemRecord(uint32_t id) { return (id >= 1 && id <= kItemCount) ? &ItemTable[id - 1] : nullptr; }
SkillRecord* GetSkillRecord(uint32_t id) { return (id >= 1 && id <= kSkillCount) ? &SkillTable[id - 1] : nullptr; }
SkillDocRecord* GetSkillDocRecord(uint32_t id) {
  return (id >= 1 && id <= kSkillDocCount) ? &SkillDocTable[id - 1] : nullptr;
}
int GetItemStock(uint32_t id) { return (id >= 1 && id <= kItemCount) ? ItemStock[id] : 0; }
int AddItemStock(uint32_t id, int n) {
  if (id < 1 || id > kItemCount) return 0;
  int before = ItemStock[id];
  ItemStock[id] = std::clamp(before + n, 0, 99);
  return ItemStock[id] - before;
}
bool CanBusyoUseItemClass(int cls, uint32_t busyo) {
  if (busyo >= kBusyoCount) return false;
  int kind = BusyoTable[busyo].kind;
  switch (cls) {
    case 1:
      return kind == 2;
    case 2:
      return kind == 3;
    case 3:
      return kind == 1;
    case 4:
    case 5:
    case 6:
      return true;
    default:
      return false;
  }
}
int GetKindCycleNext(int kind) {
  switch (kind) {
    case 1:
      return 3;
    case 2:
      return 1;
    case 3:
      return 2;
    default:
      return 0;
  }
}
void UnequipBusyoItem(uint32_t busyo) {
  if (busyo >= kBusyoCount) return;
  uint16_t& slot = BusyoTable[busyo].items[0];
  if (slot != 0) AddItemStock(slot, 1);
  slot = 0;
}
void EquipBusyoItem(uint32_t busyo, uint32_t item) {
  if (busyo >= kBusyoCount || GetItemStock(item) <= 0) return;
  UnequipBusyoItem(busyo);
  BusyoTable[busyo].items[0] = static_cast<uint16_t>(item);
  AddItemStock(item, -1);
}
void SwapBusyoItems(uint32_t a, uint32_t b) {
  if (a >= kBusyoCount || b >= kBusyoCount) return;
  uint16_t ia = BusyoTable[a].items[0], ib = BusyoTable[b].items[0];
  auto give = [](uint32_t to, uint16_t item) {
    const ItemRecord* rec = GetItemRecord(item);
    if (item != 0 && (!rec || !CanBusyoUseItemClass(rec->cls, to))) {
      AddItemStock(item, 1);
      item = 0;
    }
    BusyoTable[to].items[0] = item;
  };
  give(a, ib);
  give(b, ia);
}
static const SkillEffect* FindSkillEffect(uint32_t busyo, int kind) {
  if (busyo >= kBusyoCount) return nullptr;
  for (uint8_t sk : BusyoTable[busyo].cur.skill) {
    const SkillRecord* rec = GetSkillRecord(sk);
    if (rec && rec->effects[6].kind == kind) return &rec->effects[6];
  }
  return nullptr;
}
bool HasSkillEffect(uint32_t busyo, int kind) { return FindSkillEffect(busyo, kind) != nullptr; }
int GetSkillEffectValue(uint32_t busyo, int kind) {
  const SkillEffect* e = FindSkillEffect(busyo, kind);
  return e ? e->value : 0;
}
std::string FormatSkillEffectText(uint32_t skill, int slot) {
  const SkillRecord* rec = GetSkillRecord(skill);
  if (!rec || slot < 0 || slot > 6) return "";
  const SkillEffect& e = rec->effects[slot];
  const SkillDocRecord* doc = GetSkillDocRecord(e.kind);
  if (!doc) return "";
  std::string text = FieldString(doc->text[slot], 33);
  std::string value = (e.kind == 7 && slot == 1) ? std::string(GetBusyoName(e.value)) : std::to_string(e.value);
  // Literal replacement: data text is never used as a printf pattern.
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (plat::IsSjisLead(c) && i + 1 < text.size()) {
      out.append(text, i, 2);
      i += 2;
    } else if (c == '%' && i + 1 < text.size() && text[i + 1] == 's') {
      out += value;
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return out;
}

int RollBusyoGrowth(int kind, uint32_t busyo, int chance) {
  if (busyo >= kBusyoCount) return 0;
  BusyoRecord& b = BusyoTable[busyo];
  if (b.stage >= 3) return 0;
  int result = 0;
  if (kind == 4) {
    result = 1;
    if (chance != 1 && GameRandBelow(100) < chance + 3) result = 2;
  } else {
    bool player = GetBusyoDaimyo(busyo) == PlayerDaimyoId;
    size_t off;
    switch (kind) {
      case 0:
        off = player ? 4 : 20;
        break;
      case 1:
        off = player ? 12 : 28;
        break;
      case 2:
        off = 36;
        break;
      case 3:
        off = 44;
        break;
      default:
        return 0;
    }
    int prob = SystemTableWord(off);
    int amount = SystemTableWord(off + 4);
    if (GameRandBelow(100) < prob && GameRandBelow(100) < chance) result = amount;
  }
  if (result != 0) b.growthMark = 1;
  return result;
}
bool RollPercent(int p) { return SlgRandom(100) < p; }
bool TestBit(uint32_t n, const uint8_t* set) { return (set[n / 8] >> (n % 8)) & 1; }
void SetBit(uint32_t n, uint8_t* set, bool on) {
  if (on)
    set[n / 8] |= static_cast<uint8_t>(1u << (n % 8));
  else
    set[n / 8] &= static_cast<uint8_t>(~(1u << (n % 8)));
}
bool IsSjisLeadByte(unsigned char b) { return plat::IsSjisLead(b); }
void MemSwap(void* a, void* b, size_t n) {
  auto* pa = static_cast<unsigned char*>(a);
  auto* pb = static_cast<unsigned char*>(b);
  for (size_t i = 0; i < n; ++i) std::swap(pa[i], pb[i]);
}

// ---- Scene forwards ----
void SelectSlgKuni(int kuni, bool show) {
  CurrentKuniId = kuni < 0 ? kNoKuni : static_cast<uint8_t>(kuni);
  if (show) SlgScene().SetSelectedKuni(kuni);
}
void ShowSlgMessage(const char* text, int kind) {
  if (!text || !text[0]) return;
  SlgScene().ShowMessage(text, kind, false);
}
void RefreshSlgMainMap(int on, int a, int b) { SlgScene().RefreshMapMenu(a, b); }
void ColorDaimyoKuni(uint32_t clan, int color) {
  for (int k = 0; k < kKuniCount; ++k)
    if (DaimyoHasSiroInKuni(k, clan)) SlgScene().SetKuniColor(k, color);
}
void ResetKuniColors() { SlgScene().ResetKuniColors(); }
