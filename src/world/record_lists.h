// Lists of ids built from the world tables for the screens, commands and AI; the strategy event
// map (people the player can visit, saved in slg.dat); and the cleared-runs file cbl.dat, which
// carries bonded generals and items over to later games.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "world/scenario_tables.h"
#include "world/world_tables.h"

using CTenkaList_Busyo = std::vector<int32_t>;
using CTenkaList_Siro = std::vector<uint16_t>;

void ListSiroRangeBusyo(uint32_t a, uint32_t b, uint8_t force, CTenkaList_Busyo& out);
void ListSiroBusyo(uint32_t siro, uint8_t force, CTenkaList_Busyo& out);
void ListSiroBusyoAll(uint32_t siro, CTenkaList_Busyo& out);
void ListKuniBusyo(uint32_t kuni, uint8_t force, CTenkaList_Busyo& out);
bool KuniHasForceBusyo(uint32_t kuni, uint8_t force);
void ListDaimyoBusyo(uint32_t clan, CTenkaList_Busyo& out);
void ListBusyoByKuniAndDaimyo(uint32_t kuni, uint32_t clan, CTenkaList_Busyo& out);
void ListPoachCandidates(uint32_t clan, uint32_t kuni, CTenkaList_Busyo& out);
void ListKuniSiroByRoad(uint32_t kuni, CTenkaList_Siro& out, bool withBorder);
void ListDaimyoSiroInKuni(uint32_t kuni, uint32_t clan, CTenkaList_Siro& out, bool byRoad);

#pragma pack(push, 1)
struct ItemListRecord {
  int32_t item;
  int32_t stock;
  int32_t equipped;
  int32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(ItemListRecord) == 16);
void ListItemsForDetail(std::vector<ItemListRecord>& out);
void ListBusyoWithItem(uint32_t item, CTenkaList_Busyo& out, int32_t except);

int32_t FindSiroBusyoWithSkill(uint8_t force, uint32_t siro, int kind);
bool SiroHasBusyoWithSkill(uint8_t force, uint32_t siro, int kind);
int32_t FindKuniBestSkillBusyo(int* outValue, uint8_t force, uint32_t kuni, int kind);
int GetDaimyoSkillValue(uint32_t clan, int kind);
bool SiroHasContactCandidate(uint32_t siro, uint32_t busyo);
bool HasAllyInSet(uint32_t clan, const std::vector<uint8_t>& set);
bool HasAllyInSetSmall(uint32_t clan, const std::vector<uint8_t>& set);

// ---- Strategy event map ----
#pragma pack(push, 1)
struct SlgEventRecord {
  uint16_t key;
  uint8_t flags;  // bit 0, bit 1: registration flags; bit 2: closed
  char name[65];
};
#pragma pack(pop)
static_assert(sizeof(SlgEventRecord) == 68);
extern std::map<uint32_t, SlgEventRecord> SlgEventMap;

void RegisterSlgEvent(uint32_t key, const char* name, int flag0, int flag1);
void CloseSlgEvent(uint32_t key);
void ClearSlgEventMap();
void ListSlgEventKeys(std::vector<uint32_t>& out);
bool NoVisitableBusyo();
// slg.dat tail: u32 count, count x (u32 key, 68-byte record), then BusyoFlagTable (2000 bytes).
std::vector<uint8_t> SaveSlgEventData();
// Reads entries while whole entries remain; bytes used.
size_t LoadSlgEventData(const uint8_t* data, size_t size);

// ---- Cleared runs (cbl.dat) ----
constexpr int kCarriedEntries = 150;
constexpr int kCarriedEntryBytes = 18;
constexpr int kCblNameBlock = kCarriedEntries * kCarriedEntryBytes;  // 2700
constexpr int kCblItemBlock = kItemCount * 4;                        // 512
void LoadCblData(CTenkaList_Busyo& out);
void BuildHikitugiList(CTenkaList_Busyo& out, HikitugiList& list);
bool UpdateCblData();
// UpdateCblData, then the play record's clear bookkeeping (through the rules port).
void MarkGameCleared();
// Path of cbl.dat ("%sSaveData\sys\cbl.dat").
const char* CblDataPath();
