#include "world/world_names.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/error_box.h"
#include "platform/text/cp932.h"
#include "world/world_ports.h"
#include "world/world_queries.h"

char NameSearchState[64];
char NameSearchResult[256];

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits "name@n" / "name@nn" (the '@' must start a character, not be a trail byte).
// Writes the bare name into NameSearchState and returns n (0 without a suffix).
int SplitNamesakeSuffix(const char* name) {
  std::snprintf(NameSearchState, sizeof NameSearchState, "%s", name);
  size_t len = std::strlen(NameSearchState);
  // Character starts, so that a trail byte 0x40 is not taken for '@'.
  std::string starts(len, 0);
  for (size_t i = 0; i < len;) {
    starts[i] = 1;
    i += (plat::IsSjisLead(static_cast<unsigned char>(NameSearchState[i])) && i + 1 < len) ? 2 : 1;
  }
  auto charAt = [&](size_t i, char c) { return starts[i] && NameSearchState[i] == c; };
  auto digitAt = [&](size_t i) { return starts[i] && IsDigit(NameSearchState[i]); };
  if (len >= 2 && charAt(len - 2, '@') && digitAt(len - 1)) {
    int n = NameSearchState[len - 1] - '0';
    NameSearchState[len - 2] = '\0';
    return n;
  }
  if (len >= 3 && charAt(len - 3, '@') && digitAt(len - 2) && digitAt(len - 1)) {
    int n = (NameSearchState[len - 2] - '0') * 10 + (NameSearchState[len - 1] - '0');
    NameSearchState[len - 3] = '\0';
    return n;
  }
  return 0;
}

int32_t FindBusyoImpl(const char* name, bool showBox) {
  if (!name) return -1;
  int n = SplitNamesakeSuffix(name);
  std::string wanted = NameSearchState;
  for (int g = 0; g < kBusyoCount && !wanted.empty(); ++g) {
    if (NormalizeName(BusyoTable[g].name, kBusyoNameLen) != wanted) continue;
    if (--n < 1) return g;
  }
  std::snprintf(NameSearchResult, sizeof NameSearchResult, "指定された武将名「%s」は存在しませんでした", name);
  if (showBox) ShowErrorBox(NameSearchResult, "武将名エラー");
  return -1;
}

bool IsPlayerPrefix(const char* name) { return name && (name[0] == 'P' || name[0] == 'p'); }

}  // namespace

int32_t FindBusyoByName(const char* name) { return FindBusyoImpl(name, true); }
int32_t FindBusyoByNameSilent(const char* name) { return FindBusyoImpl(name, false); }

int32_t FindKuniByName(const char* name) {
  if (!name) return -1;
  for (int k = 0; k < kKuniCount; ++k)
    if (NormalizeName(KuniTable[k].name, kKuniNameLen) == name) return k;
  std::snprintf(NameSearchResult, sizeof NameSearchResult, "指定された国名「%s」は存在しませんでした", name);
  return -1;
}

int32_t FindSiroByName(const char* name) {
  if (!name) return -1;
  for (int s = 0; s < kSiroSlots; ++s)
    if (IsSiroInUse(s) && NormalizeName(SiroTable[s].name, kSiroNameLen) == name) return s;
  std::snprintf(NameSearchResult, sizeof NameSearchResult, "指定された城名「%s」は存在しませんでした", name);
  return -1;
}

int32_t FindDaimyoByName(const char* name) {
  if (!name) return -1;
  if (IsPlayerPrefix(name)) return PlayerDaimyoId;
  for (int d = 0; d < kDaimyoFileCount; ++d)
    if (NormalizeName(DaimyoTable[d].name, kDaimyoNameLen) == name) return d;
  std::snprintf(NameSearchResult, sizeof NameSearchResult, "指定された大名家名「%s」は存在しませんでした", name);
  return -1;
}

int32_t FindDaimyoOfBusyoName(const char* name) {
  if (!name) return -1;
  if (IsPlayerPrefix(name)) return PlayerDaimyoId;
  int32_t g = FindBusyoByName(name);
  if (g < 0) return -1;
  if (BusyoTable[g].flagWord & 1) return PlayerDaimyoId;
  for (int d = 0; d < kDaimyoFileCount; ++d)
    for (uint16_t v : DaimyoTable[d].vassals)
      if (v == g) return d;
  return -1;
}

int32_t ScriptGetBusyoSiro(const char* name) {
  int32_t g = FindBusyoByName(name);
  if (g < 0 || BusyoTable[g].siro == kNoSiro) return -1;
  return BusyoTable[g].siro;
}

int32_t ScriptGetBusyoKuni(const char* name) {
  int32_t g = FindBusyoByName(name);
  if (g < 0) return -1;
  return GetBusyoKuni(static_cast<uint32_t>(g));
}

int32_t ScriptIsBusyoPlaced(const char* name) { return ScriptGetBusyoSiro(name) != -1 ? 1 : 0; }

int32_t ScriptBusyoHasFlags(const char* name) {
  int32_t g = FindBusyoByName(name);
  if (g < 0) return -1;
  return BusyoTable[g].flagWord != 0 ? 1 : 0;
}

int32_t ScriptGetDaimyoLeader(const char* name) {
  int32_t d = FindDaimyoByName(name);
  if (d < 0 || d >= kDaimyoSlots) return -1;
  return DaimyoTable[d].head;
}

int32_t ScriptGetKuniControlRate(const char* name) {
  int32_t k = FindKuniByName(name);
  if (k < 0) return -1;
  if (KuniTable[k].holder == PlayerDaimyoId) return KuniTable[k].playerShare;
  return 0;
}

int32_t ScriptSiroCountOfBusyoDaimyo(const char* name) {
  int32_t d = FindDaimyoOfBusyoName(name);
  return d < 0 ? 0 : CountDaimyoHeldSiro(static_cast<uint32_t>(d));
}

int32_t ScriptKuniCountOfBusyoDaimyo(const char* name) {
  int32_t d = FindDaimyoOfBusyoName(name);
  return d < 0 ? 0 : CountDaimyoKuni(static_cast<uint32_t>(d));
}

int32_t GetUnificationState() {
  if (CountDaimyoKuni(PlayerDaimyoId) >= kKuniCount) return 2;
  if (UnificationDeclared) return 1;
  if (KuniTable[33].holder != PlayerDaimyoId) return 0;
  const DaimyoRecord& d = DaimyoTable[PlayerDaimyoId];
  if (StoryEventBlockFlag) {
    return (d.prestige >= 14 && d.revenue >= 12000 && (d.revenue - 12000) / 1000 + d.prestige >= 20) ? 1 : 0;
  }
  return d.revenue >= 14000 ? 1 : 0;
}

bool IsBusyoInBattleGroupA(int32_t busyo) { return Battle().IsBusyoInRosterA(busyo); }
bool IsBusyoInBattleGroupB(int32_t busyo) { return Battle().IsBusyoInRosterB(busyo); }

bool PlayerBusyoInDaimyoSiro(uint32_t clan) {
  if (PlayerDaimyoId >= kDaimyoSlots) return false;
  for (uint16_t v : DaimyoTable[PlayerDaimyoId].vassals) {
    if (v >= kBusyoCount) continue;
    const BusyoRecord& b = BusyoTable[v];
    if (b.marchFlag == 0 && b.siro2 < kSiroSlots && SiroTable[b.siro2].owner == clan) return true;
  }
  return false;
}
