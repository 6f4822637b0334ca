// Script functions: value operands of kind 4 that ask the strategy world by name.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/error_box.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_services.h"
#include "scenario/script/adv_script.h"
#include "world/placement.h"
#include "world/world_names.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool IsPlayerToken(const char* t) { return std::strcmp(t, "P") == 0 || std::strcmp(t, "p") == 0; }

// A failed lookup gives a negative id: the queries below are not asked about it.
int32_t Busyo(const char* name) { return FindBusyoByName(name); }
int32_t Clan(const char* name) { return IsPlayerToken(name) ? PlayerDaimyoId : FindDaimyoByName(name); }

}  // namespace

int32_t ScriptArgValue(AdvScript& s, const char* token, int flag) {
  if (std::strcmp(token, "+") == 0) return 1;
  if (std::strcmp(token, "-") == 0) return -1;
  int n = 0;
  if (std::sscanf(token, "%d", &n) == 1) return n;
  int32_t v = 0;
  if (s.FindSwitchByName(token, &v)) return v;
  const bool player = IsPlayerToken(token);
  if (!player) {
    int32_t kuni = FindKuniByName(token);
    if (kuni >= 0) return kuni;
    int32_t siro = FindSiroByName(token);
    if (siro >= 0) return siro;
  }
  if (flag == 0) {
    if (player) return PlayerDaimyoId;
    int32_t clan = FindDaimyoByName(token);
    if (clan >= 0) return clan;
    int32_t holder = FindDaimyoOfBusyoName(token);
    if (holder >= 0) return holder;
  }
  int32_t g = FindBusyoByNameSilent(token);
  return g >= 0 ? g : 0;
}

std::vector<int32_t> ParseScriptArgList(AdvScript& s, const char* text, int flag) {
  std::vector<int32_t> out;
  std::string rest = Trim(text ? text : "");
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string part = comma == std::string::npos ? rest : rest.substr(0, comma);
    rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
    part = Trim(part);
    out.push_back(ScriptArgValue(s, part.c_str(), flag));
  }
  return out;
}

int32_t CallScriptFunc(AdvScript& s, unsigned id, const char* arg) {
  switch (id) {
    case 0:
      return ScriptGetBusyoKuni(arg);
    case 1:
      return ScriptGetBusyoSiro(arg);
    case 2:
      return ScriptSiroCountOfBusyoDaimyo(arg);
    case 3:
      return ScriptKuniCountOfBusyoDaimyo(arg);
    case 4:
      return FindDaimyoOfBusyoName(arg);
    case 5:
      return ScriptGetDaimyoLeader(arg);
    case 6: {
      int32_t g = Busyo(arg);
      s.namedGeneral = static_cast<uint32_t>(g);
      return g;
    }
    case 7:
      return FindKuniByName(arg);
    case 8:
      return FindSiroByName(arg);
    case 9:
      return FindDaimyoByName(arg);
    case 10:
      return TurnCounter;
    case 11: {
      int32_t clan = Clan(arg);
      return clan >= 0 && clan < kDaimyoSlots ? CountDaimyoVassals(static_cast<uint32_t>(clan)) : 0;
    }
    case 12:
      return ScriptGetKuniControlRate(arg);
    case 13:
      return GetUnificationState();
    case 14:
      return AdvSvc().BattleResultWord(0);
    case 15: {
      int32_t g = Busyo(arg);
      return g >= 0 && IsBusyoInBattleGroupA(g) ? 1 : 0;
    }
    case 16: {
      int32_t g = Busyo(arg);
      return g >= 0 && IsBusyoInBattleGroupB(g) ? 1 : 0;
    }
    case 17: {
      int32_t clan = FindDaimyoOfBusyoName(arg);
      return clan >= 0 && PlayerBusyoInDaimyoSiro(static_cast<uint32_t>(clan)) ? 1 : 0;
    }
    case 18:
      return AdvSvc().BattleResultWord(1);
    case 19:
      return AdvSvc().GameClearedFlag();
    case 20: {
      int32_t g = Busyo(arg);
      return g >= 0 ? AddBusyoToCastle(g, -1, true) : -1;
    }
    case 21: {
      int32_t g = Busyo(arg);
      return g >= 0 ? RemoveBusyoFromCastle(g) : -1;
    }
    case 22: {
      int32_t g = Busyo(arg);
      int32_t old = static_cast<int32_t>(s.namedGeneral);
      return g >= 0 && old >= 0 && old < kBusyoCount ? ChangeBusyoInCastle(old, g) : -1;
    }
    case 26:
      return ScriptBusyoHasFlags(arg);
    case 27: {
      int32_t clan = Clan(arg);
      return clan >= 0 && clan < kDaimyoSlots ? static_cast<uint16_t>(CountDaimyoFreeSlots(static_cast<uint32_t>(clan)))
                                              : 0;
    }
    case 28:
      return IsPlayerSiro(FindSiroByName(arg)) ? 1 : 0;
    case 32:
      return ScriptIsBusyoPlaced(arg);
    case 50: {
      std::vector<int32_t> v = ParseScriptArgList(s, arg, 0);
      if (v.size() != 2) {
        ShowErrorBox("Tfunc_kuni_sihairitu 引数エラー");
        return 0;
      }
      if (v[0] < 0 || v[0] >= kKuniSlots || v[1] < 0 || v[1] >= kDaimyoSlots) return 0;
      int32_t share =
          static_cast<uint8_t>(GetDaimyoKuniShare(static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1])));
      return share > 100 ? 100 : share;
    }
    default:
      return 0;
  }
}
