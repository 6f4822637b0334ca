// Shared pieces of the computer clans' thinking: the work lists and budget they share between the
// military, politics and strategy phases, and the strength measures of castles and countries.
#pragma once
#include <cstdint>

#include "world/world_tables.h"

// Money set aside for one clan's current piece of thinking (recruiting, castle works, operations).
extern uint16_t RecruitBudget;
// The clan's vassals in the order the current routine works through them (0xFFFF = empty).
extern uint16_t AiRecruitOrder[kVassalScan];
// The clan whose thinking is traced to the log (254 = none); no rule depends on it.
extern uint8_t DebugWatchDaimyo;

struct EnemyNeighbour {
  uint16_t siro;  // 0xFFFF when none
  int power;
};

// 4 below 1000 koku, 8 below 2000, else 10.
int DaimyoTier(uint32_t clan);
// The share of its koku a clan may keep as soldiers.
float AiRecruitRatio(uint32_t clan);
// min(trunc(sqrt(koku) * 0.5 + 5), the castle's maximum level).
int AiSiroLevelCap(uint32_t clan, uint32_t siro);
// Soldiers of the generals in a castle's stationing list (both clan and independent entries).
int SiroGarrisonSoldiers(uint32_t siro);
int CountSiroGarrison(uint32_t siro);
// 2 x level + the garrison's soldiers.
int GetSiroDefencePower(uint32_t clan, uint32_t siro);
EnemyNeighbour FindStrongestEnemyNeighbour(uint32_t clan, uint32_t siro);
// Soldiers descending, equal soldiers by stat 1 (with items) descending, empty entries last.
void SortBusyoBySoldiers(uint16_t* list, int n);
// True when the clan's head stands in its own vassal list (a living clan).
bool IsDaimyoAlive(uint32_t clan);
// Sum of the soldiers of the clan's vassals (first 252 slots).
int SumDaimyoSoldiers(uint32_t clan);
// Recomputes every castle's allied-lord mark against the player's clan.
void RecalcAllyMarks();
// Ends the alliance between two clans on both sides (slots 0..2), with the allied-lord marks.
void EndAlliance(uint32_t clan, uint32_t other);
