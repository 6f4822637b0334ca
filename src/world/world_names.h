// Name lookups: generals, countries, castles and clans found by their Shift-JIS names, and the
// world queries that scripts ask by name.
#pragma once
#include <cstdint>

extern char NameSearchState[64];
extern char NameSearchResult[256];

// General id, or -1 after the "武将名エラー" box. "@n" / "@nn" picks the n-th namesake.
int32_t FindBusyoByName(const char* name);
// The same without a box (cleared-runs bookkeeping).
int32_t FindBusyoByNameSilent(const char* name);
int32_t FindKuniByName(const char* name);
int32_t FindSiroByName(const char* name);
int32_t FindDaimyoByName(const char* name);
int32_t FindDaimyoOfBusyoName(const char* name);
int32_t ScriptGetBusyoSiro(const char* name);
int32_t ScriptGetBusyoKuni(const char* name);
int32_t ScriptIsBusyoPlaced(const char* name);
int32_t ScriptBusyoHasFlags(const char* name);
int32_t ScriptGetDaimyoLeader(const char* name);
int32_t ScriptGetKuniControlRate(const char* name);
int32_t ScriptSiroCountOfBusyoDaimyo(const char* name);
int32_t ScriptKuniCountOfBusyoDaimyo(const char* name);
int32_t GetUnificationState();
bool IsBusyoInBattleGroupA(int32_t busyo);
bool IsBusyoInBattleGroupB(int32_t busyo);
bool PlayerBusyoInDaimyoSiro(uint32_t clan);
