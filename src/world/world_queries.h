// Queries, clamped setters and consistency checks over the world tables.
// Ids follow the tables: 0xFFFF / 255 none, 513 the fictional castle (never an index).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/world_tables.h"

// ---- Names ----
// Name for display (one ASCII blank between family and given name); "" for 0xFFFF and 1999.
// A full-width blank in the record is rewritten as two ASCII blanks on first read.
const char* GetBusyoName(uint32_t busyo);
const char* GetBusyoFamilyName(uint32_t busyo);
// Copy of a name with every ASCII and full-width blank removed, bounded by fieldSize.
std::string NormalizeName(const char* text, size_t fieldSize);
const char* GetBusyoDisplayName(const char* text, size_t fieldSize = 64);
const char* GetDaimyoName(uint32_t clan, bool withHouse);
const char* ForceName(uint32_t clan);
const char* GetSiroName(uint32_t siro, bool withSuffix);
const char* GetKuniName(uint32_t kuni);
const char* GetDaimyoRankName(uint32_t clan);
void SetDaimyoTitle(uint32_t clan, int n, int kuni);
const char* FormatDaimyoTitle(uint32_t clan);
// A fixed-width text field as a string (stops at the terminator or the field end).
std::string FieldString(const char* field, size_t fieldSize);
// Writes text into a fixed field, cut on a character boundary and always terminated.
void SetFieldString(char* field, size_t fieldSize, const char* text);

// ---- General stats ----
int GetBusyoStat1(uint32_t busyo);
int GetBusyoStat2(uint32_t busyo);
int GetBusyoStat3(uint32_t busyo);
int GetBusyoStat4(uint32_t busyo);
int GetBusyoStageStat4(uint32_t busyo);
int GetBusyoSoldiers(uint32_t busyo);
int GetBusyoGuns(uint32_t busyo);
// Loyalty is 1..16; 0 means "not applicable" and 255 marks a bonded general (kept by every change).
inline constexpr uint8_t kBondedLoyalty = 255;
int GetBusyoLoyalty(uint32_t busyo);
void SetBusyoSoldiers(uint32_t busyo, int n);
bool SetBusyoGuns(uint32_t busyo, int n);
void SetBusyoLoyalty(uint32_t busyo, int n);
void AddBusyoLoyalty(uint32_t busyo, int d);
void DecayBusyoLoyalty(uint32_t busyo);
bool SetBusyoStage(uint32_t busyo, int stage);
void SetBusyoKizuna(uint32_t busyo, bool on);
void SetBusyoKizunaState(uint32_t busyo, int state);
bool IsBusyoLoyaltyFixed(uint32_t busyo);
bool IsBusyoInvalid(uint32_t busyo);

// ---- Placement views ----
uint16_t GetBusyoSiro(uint32_t busyo);
void ClearBusyoSiro(uint32_t busyo);
int GetBusyoKuni(uint32_t busyo);
uint16_t GetSiroKuni(uint32_t siro);
bool IsKakuuSiro(uint32_t siro);
uint16_t GetDaimyoKakuuSiro(uint32_t clan);
bool IsBusyoInKakuuSiro(uint32_t busyo);
uint8_t GetKakuuOwner(uint32_t busyo);
uint16_t GetForceSlotBusyo(uint8_t force, uint8_t slot);
uint16_t FindForceSlot(uint8_t force, uint32_t busyo);
uint16_t GetDaimyoSlotBusyo(uint32_t slot, uint32_t clan);
uint8_t GetBusyoSiroEntry(uint32_t busyo);
uint8_t GetBusyoDaimyo(uint32_t busyo);
int CountSiroBusyo(uint32_t siro);
int CountSiroFreeSlots(uint32_t siro);
int CountDaimyoFreeSlots(uint32_t clan);
uint16_t SiroHasFreeEntry(uint32_t siro);
int CountDaimyoBusyo(uint32_t clan);
int CountDaimyoVassals(uint32_t clan);
int CountDaimyoKakuuBusyo(uint32_t clan);
int CountDaimyoKuni(uint32_t clan);
int CountDaimyoHeldSiro(uint32_t clan);
int CountKuniSiro(uint32_t kuni);
int CountKuniForeignBusyo(uint32_t clan, uint32_t kuni);
uint8_t GetDaimyoHomeKuni(uint32_t clan);
bool DaimyoHasSiroInKuni(uint32_t kuni, uint32_t clan);
bool DaimyoOwnsWholeKuni(uint32_t kuni, uint32_t clan);
bool IsSiroOwnedBy(uint32_t siro, uint32_t clan);
bool IsPlayerSiro(int32_t siro);
bool IsSiroOfAlly(uint32_t siro, uint32_t clan);
bool AreDaimyoAllied(uint32_t a, uint32_t b);
bool AddDaimyoRelation(uint32_t clan, uint32_t other);
void SetDaimyoFlag3(uint32_t clan, bool on);
void SetKuniFlag8(uint32_t kuni, bool on);
void ClearAllKuniFlag8();
bool IsKuniFlagSet(uint32_t kuni);
bool IsKuniClosed(uint32_t kuni);  // event state 5 (typhoon or snow)
bool IsSiroLinkOpen(uint32_t a, uint32_t b);
bool SetSiroLink(uint32_t a, uint32_t b, bool on);
bool AreSiroNeighbours(uint32_t a, uint32_t b);
bool IsSiroPassBlocked(uint32_t a, uint32_t b);
int AddDaimyoMoney(uint32_t clan, int d);
int AddDaimyoCP(uint32_t clan, int d);
int GetDaimyoKuniShare(uint32_t kuni, uint32_t clan);  // 0 for a country without castles
int GetKuniOwnedShare(uint32_t kuni);
int GetDaimyoMaxKuniShare(uint32_t clan);
int GetKuniIncome(uint32_t kuni, uint32_t clan, bool withLand);
bool IsBusyoEnemyTarget(uint32_t busyo);
bool IsBusyoMarked(uint32_t busyo);

// ---- Items and skills ----
ItemRecord* GetItemRecord(uint32_t id);
SkillRecord* GetSkillRecord(uint32_t id);
SkillDocRecord* GetSkillDocRecord(uint32_t id);
int GetItemStock(uint32_t id);
int AddItemStock(uint32_t id, int n);  // returns the amount actually applied
bool CanBusyoUseItemClass(int cls, uint32_t busyo);
int GetKindCycleNext(int kind);
void UnequipBusyoItem(uint32_t busyo);
void EquipBusyoItem(uint32_t busyo, uint32_t item);
void SwapBusyoItems(uint32_t a, uint32_t b);
bool HasSkillEffect(uint32_t busyo, int kind);
int GetSkillEffectValue(uint32_t busyo, int kind);
std::string FormatSkillEffectText(uint32_t skill, int slot);
int RollBusyoGrowth(int kind, uint32_t busyo, int chance);
bool RollPercent(int p);
bool TestBit(uint32_t n, const uint8_t* set);
void SetBit(uint32_t n, uint8_t* set, bool on);
bool IsSjisLeadByte(unsigned char b);
void MemSwap(void* a, void* b, size_t n);

// ---- The system table (system.dat, 184 bytes, plain) ----
constexpr size_t kSystemTableBytes = 184;
const uint8_t* GetWorldSystemTable();
void SetWorldSystemTable(const uint8_t* data, size_t size);  // zero-filled past size
int32_t SystemTableWord(size_t byteOffset);
bool LoadWorldSystemTable();  // "%sData\sys\system.dat"
void ApplySystemStartBonus(bool on);
int GetHikitugiCapacity(int clearCount);

// ---- Castle lists and networks ----
void SortSiroSlots(uint32_t siro);
bool IsSiroConnected(uint32_t from, uint32_t to);
void MarkSiroMoveTargets(uint32_t siro, bool crossKuni);
bool CanReachSiro(uint32_t busyo, uint32_t a, uint32_t b, bool needRoom);
int CanMoveBusyoTo(uint32_t busyo, uint32_t siro);
bool IsSecretContactCandidate(uint32_t busyo, uint32_t clan);
uint16_t FindDaimyoFreeSiro(uint32_t clan, bool allowKakuu);
extern uint8_t SiroVisited[kSiroCount];
extern uint8_t SiroReachSet[kSiroCount / 8];
extern uint16_t SiroSearchTarget;

// ---- Clan sets per country ----
void RebuildKuniDaimyoSets();
void AddKuniDaimyo(uint32_t kuni, uint8_t clan);
void ColorKuniByDaimyoCount(bool rebuild);

// ---- Consistency check ----
// The three passes of the castle check; each problem as its report line.
std::vector<std::string> CollectSiroDataProblems();
// Reports the first problem through the error dialog (once, while the check switch is on);
// true when the world is clean.
bool CheckSiroData();
extern int32_t SiroCheckSwitch;
extern int32_t SiroCheckReported;

// ---- Scene forwards ----
void SelectSlgKuni(int kuni, bool show);
void ShowSlgMessage(const char* text, int kind);
void RefreshSlgMainMap(int on, int a, int b);
void ColorDaimyoKuni(uint32_t clan, int color);
void ResetKuniColors();
