// Queries, clamped setters and consistency checks over the world tables.
// Ids follow the tables: 0xFFFF / 255 none, 513 the fictional castle (never an index).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/world_tables.h"

// ---- Names ----
// Each name lookup returns one of a ring of eight buffers per kind: a result stays valid through
// the next seven lookups of its kind, so one message may hold several names.
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
// Soldiers stay 1..50; guns never exceed the soldiers (nor 50), so setting soldiers cuts the guns.
void SetBusyoSoldiers(uint32_t busyo, int n);
bool SetBusyoGuns(uint32_t busyo, int n);
// Loyalty changes clamp to 1..16 and leave a bonded general's marker alone.
void SetBusyoLoyalty(uint32_t busyo, int n);
void AddBusyoLoyalty(uint32_t busyo, int d);
// A 5% chance of losing one point (never below 1); draws from the strategy random stream.
void DecayBusyoLoyalty(uint32_t busyo);
// Only stages 1 and 2 can be set: the stage's stat block becomes current and progress restarts.
bool SetBusyoStage(uint32_t busyo, int stage);
// Bonding sets the loyalty marker; unbonding gives full loyalty (16).
void SetBusyoKizuna(uint32_t busyo, bool on);
void SetBusyoKizunaState(uint32_t busyo, int state);  // 0..4; other values are ignored
// Loyalty that no event moves: "not applicable" (0) or any bond state.
bool IsBusyoLoyaltyFixed(uint32_t busyo);
// True for an id outside the table and for a general whose bond state is 0.
bool IsBusyoInvalid(uint32_t busyo);

// ---- Placement views ----
// Where a general serves is not stored in his record: his clan is found through the castle lists
// (the two lists of his castle, then of his second castle) that point at a clan's vassal slot;
// the fictional castle belongs to the player. The wandering generals have the force kNoDaimyo.
uint16_t GetBusyoSiro(uint32_t busyo);
void ClearBusyoSiro(uint32_t busyo);
int GetBusyoKuni(uint32_t busyo);
uint16_t GetSiroKuni(uint32_t siro);
bool IsKakuuSiro(uint32_t siro);
// Only the player's clan has the fictional castle, and not while the turns run on their own.
uint16_t GetDaimyoKakuuSiro(uint32_t clan);
bool IsBusyoInKakuuSiro(uint32_t busyo);
uint8_t GetKakuuOwner(uint32_t busyo);
// A force is a clan or kNoDaimyo (the wandering generals' list); a slot indexes its list.
uint16_t GetForceSlotBusyo(uint8_t force, uint8_t slot);
// The last matching slot (a list may hold a general twice), 0xFFFF when none.
uint16_t FindForceSlot(uint8_t force, uint32_t busyo);
uint16_t GetDaimyoSlotBusyo(uint32_t slot, uint32_t clan);
uint8_t GetBusyoSiroEntry(uint32_t busyo);
uint8_t GetBusyoDaimyo(uint32_t busyo);
int CountSiroBusyo(uint32_t siro);
int CountSiroFreeSlots(uint32_t siro);
int CountDaimyoFreeSlots(uint32_t clan);
// The castle itself when it has a free entry in its first list, kNoSiro otherwise.
uint16_t SiroHasFreeEntry(uint32_t siro);
// The first counts the scanned vassal slots (kVassalScan), the second every slot.
int CountDaimyoBusyo(uint32_t clan);
int CountDaimyoVassals(uint32_t clan);
int CountDaimyoKakuuBusyo(uint32_t clan);
int CountDaimyoKuni(uint32_t clan);
// Castles the clan both owns and rules (owner and lord), with a name.
int CountDaimyoHeldSiro(uint32_t clan);
int CountKuniSiro(uint32_t kuni);
// Generals of other clans in the country's castles, and the wandering generals there.
int CountKuniForeignBusyo(uint32_t clan, uint32_t kuni);
// The country of the head's castle; for a head in the fictional castle, the first country where
// the clan owns a castle.
uint8_t GetDaimyoHomeKuni(uint32_t clan);
bool DaimyoHasSiroInKuni(uint32_t kuni, uint32_t clan);
bool DaimyoOwnsWholeKuni(uint32_t kuni, uint32_t clan);
bool IsSiroOwnedBy(uint32_t siro, uint32_t clan);
bool IsPlayerSiro(int32_t siro);
// One-sided: the castle's owner is in the clan's own ally list.
bool IsSiroOfAlly(uint32_t siro, uint32_t clan);
// Either side naming the other is enough; clans outside play are nobody's allies.
bool AreDaimyoAllied(uint32_t a, uint32_t b);
// Adds to the clan's five-place set; true when the other is in it afterwards (false: set full).
bool AddDaimyoRelation(uint32_t clan, uint32_t other);
void SetDaimyoFlag3(uint32_t clan, bool on);
void SetKuniFlag8(uint32_t kuni, bool on);
void ClearAllKuniFlag8();
// A border of the country is closed (leaving, entering or both).
bool IsKuniFlagSet(uint32_t kuni);
bool IsKuniClosed(uint32_t kuni);  // event state 5 (typhoon or snow)
// Roads are the five neighbour places of each castle, kept on both ends: setting a road fills a
// free place on each side (false when either has none); clearing empties both.
bool IsSiroLinkOpen(uint32_t a, uint32_t b);
bool SetSiroLink(uint32_t a, uint32_t b, bool on);
bool AreSiroNeighbours(uint32_t a, uint32_t b);
// Crossing from a's country into b's: a closed exit of a's country or a closed entry of b's
// blocks it; a road inside one country never is.
bool IsSiroPassBlocked(uint32_t a, uint32_t b);
// Money clamps to 0..65535 and command points to 0..255; both return the new value.
int AddDaimyoMoney(uint32_t clan, int d);
int AddDaimyoCP(uint32_t clan, int d);
// Shares are percent of the country's castles weighted by castle level + 2.
int GetDaimyoKuniShare(uint32_t kuni, uint32_t clan);  // 0 for a country without castles
int GetKuniOwnedShare(uint32_t kuni);                  // held by any clan
int GetDaimyoMaxKuniShare(uint32_t clan);
// Town yield per mille of the share, plus land yield per cent of it when asked.
int GetKuniIncome(uint32_t kuni, uint32_t clan, bool withLand);
// A general of another clan that is not allied with the player and that the player's diplomacy
// has not approached this turn (the clan's turn flag 1).
bool IsBusyoEnemyTarget(uint32_t busyo);
bool IsBusyoMarked(uint32_t busyo);

// ---- Items and skills ----
ItemRecord* GetItemRecord(uint32_t id);
SkillRecord* GetSkillRecord(uint32_t id);
SkillDocRecord* GetSkillDocRecord(uint32_t id);
// Item ids are 1-based; the stock of each is 0..99 (slot 0 is the road search's scratch answer).
int GetItemStock(uint32_t id);
int AddItemStock(uint32_t id, int n);  // returns the amount actually applied
bool CanBusyoUseItemClass(int cls, uint32_t busyo);
int GetKindCycleNext(int kind);
// Equipping takes the item from stock (nothing happens when none is left) and returns the one
// worn; swapping sends an item its new bearer cannot use back to stock.
void UnequipBusyoItem(uint32_t busyo);
void EquipBusyoItem(uint32_t busyo, uint32_t item);
void SwapBusyoItems(uint32_t a, uint32_t b);
bool HasSkillEffect(uint32_t busyo, int kind);
int GetSkillEffectValue(uint32_t busyo, int kind);
std::string FormatSkillEffectText(uint32_t skill, int slot);
// Growth of one stat kind (0..3 from the system table's chances, the player's own generals having
// theirs for 0 and 1; 4 the stage progress). 0 at the last stage; a non-zero result marks the
// general as grown.
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
int GetHikitugiCapacity(int clearCount);  // 5 per clear, at most 99

// ---- Castle lists and networks ----
// The searches walk the player's castles only and share the scratch state below: SiroVisited and
// SiroSearchTarget (road search), SiroReachSet (move area, one bit a castle). A caller reads the
// set a search leaves behind; nothing here is safe to run from two threads.
//
// Both lists ordered by (force, slot), empty entries last; an unowned castle's lord becomes its
// first general.
void SortSiroSlots(uint32_t siro);
// A road from one castle to another through the player's castles in countries not closed by an
// event. From the fictional castle every such castle is connected. The answer is also left in
// ItemStock[0].
bool IsSiroConnected(uint32_t from, uint32_t to);
// Adds to SiroReachSet (the caller clears it) the castle and every player castle reachable from
// it: within its country, or also across borders when crossKuni, the player's rank is 2 or more
// and the pass is not blocked. From the fictional castle: every player castle whose country does
// not bar it (pass flag 4).
void MarkSiroMoveTargets(uint32_t siro, bool crossKuni);
// Whether a general can be sent between castles a and b of the player: a must lie in b's move
// area; then a castle of a's country reachable from a answers (with needRoom: one with a free
// entry that is not the general's own); failing that, the search goes on from the player's
// castles in other open countries, each castle at most once. On return SiroReachSet holds b's
// move area (crossing borders), which CanMoveBusyoTo reads.
bool CanReachSiro(uint32_t busyo, uint32_t a, uint32_t b, bool needRoom);
// 0: the general's own castle; 1: a road leads there; otherwise the castle's bit in SiroReachSet,
// which the caller must have filled (CanReachSiro or MarkSiroMoveTargets).
int CanMoveBusyoTo(uint32_t busyo, uint32_t siro);
// A general another clan may approach in secret: command flag 8 clear, bond state 0, 1 or 4, and
// no clan head; a wandering general suits any clan, a vassal only a clan not his own.
bool IsSecretContactCandidate(uint32_t busyo, uint32_t clan);
// Where a new general of the clan can go: the fictional castle when allowed and the clan has it;
// then a vassal's castle with a free entry (vassal order), then any owned castle with one;
// kNoSiro when all are full.
uint16_t FindDaimyoFreeSiro(uint32_t clan, bool allowKakuu);
extern uint8_t SiroVisited[kSiroCount];
extern uint8_t SiroReachSet[kSiroCount / 8];
extern uint16_t SiroSearchTarget;

// ---- Clan sets per country ----
// At most five clans per country (the owners of its castles); a sixth is a data error reported
// through the strategy error box and not added.
void RebuildKuniDaimyoSets();
void AddKuniDaimyo(uint32_t kuni, uint8_t clan);
void ColorKuniByDaimyoCount(bool rebuild);

// ---- Consistency check ----
// The three passes of the castle check; each problem as its report line. With marchesUnderway
// (the war phase; the game checks only where no march is under way) a marcher held in his
// target's second list passes.
std::vector<std::string> CollectSiroDataProblems(bool marchesUnderway = false);
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
