// Scenario tables and the new game: filling the world from a scenario's table files, rebuilding
// the cross references between castles, clans and generals, and the new-game routine.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "formats/subst/code_subst.h"
#include "world/world_tables.h"

// Byte counts read from each table file.
constexpr int32_t kKuniFileBytes = 3082;
constexpr int32_t kSiroFileBytes = 41984;
constexpr int32_t kDaimyoFileBytes = 38272;
constexpr int32_t kBusyoFileBytes = 236000;
constexpr int32_t kDokuFileBytes = 508;
constexpr int32_t kHikitugiFileBytes = 3150;
constexpr int32_t kSkillFileBytes = 29580;
constexpr int32_t kSkillDocFileBytes = 9512;
constexpr int32_t kItemFileBytes = 11520;
constexpr int kHikitugiEntries = 150;
constexpr int kHikitugiEntryBytes = 21;

// Carry-over list: general id (-1 for a name that matches no general) -> value. The value's low
// word is what taking the general over costs, its high word the page of the carry-over dialog
// that lists him (0 the first).
using HikitugiList = std::map<int32_t, uint32_t>;
inline int32_t HikitugiCost(uint32_t value) { return static_cast<int32_t>(value & 0xFFFFu); }
inline int32_t HikitugiPage(uint32_t value) { return static_cast<int32_t>(value >> 16); }

// Fills the world from one scenario directory (a program path such as
// GetModuleDir() + "Data\scenario\0"). A missing or short table file is reported through the
// error box ("FILE LOAD ERROR") and fails the load.
bool LoadScenarioTables(const char* directory);
// Zeroes and reads skill.bin, skillDoc.bin and item.bin, then turns their escapes into line feeds.
bool LoadCommonTables();
// Debug menu: reads the current scenario's busyo2.bin again and copies one part of each general
// back: the first three skill ids of his current block, or his soldiers and guns. A missing or
// short file is reported and changes nothing.
enum class BusyoReloadPart { kInitialSkills, kSoldiersAndGuns };
bool ReloadScenarioBusyoPart(BusyoReloadPart part);
// Empties the list and reads hikitugi.bin of the current ScenarioNumber into it.
bool LoadHikitugi(HikitugiList& list);
void ClearWorldTables();
// An empty clan slot: no head, no vassals, no allies (all "none" values, not zeros).
// A clan slot holding nothing (the "none" values, not zeros); the game and the world tool share it.
DaimyoRecord EmptyDaimyoRecord();
void ClearDaimyoRecord(uint32_t clan);
// A world with nothing in it, every id field holding its "none" value (what a failed load leaves).
void ResetToEmptyWorld();
void FixupBusyoVariants();
void RebuildPlacement();
// Runs the substitution of scodeDef.bin over every stored name.
void SubstituteWorldNames();
// Readers of the two substitution files beside the executable ("%ssys\...").
void LoadCodeSubstTable(CodeSubstTable& table);
void LoadLineDefTable(LineDefTable& set);
LineDefTable& GlobalLineDefTable();

// Escape conversion, lead-byte aware: a trail byte 0x5C is never taken for "\".
void ConvertBackslashToLf(char* text, size_t fieldSize);
void ConvertEscapedNewlines(char* text, size_t fieldSize);

bool StartNewGame();
void BeginGameOrLoad();
// Scenario directory of ScenarioNumber.
std::string ScenarioDirectory(int32_t scenario);
// Start year by scenario (0, 2, 4: 1550; 1, 3: 1580; -1 for others: keep the year).
int ScenarioStartYear(int32_t scenario);
