// Defence and attack operations of a computer clan (the end of its politics turn).
#pragma once
#include <cstdint>

// Reinforcement, attack planning and march orders; the budget is RecruitBudget (half the money,
// all of it in the second season). The money itself is paid in the strategy phase.
void AiPlanOperations(uint32_t clan);
void AiDefendCastle(uint32_t clan);
void AiAttackKuni(uint32_t clan, uint32_t kuni);
void AiAttackFromNeighbours(uint32_t clan, uint32_t target, int power);
void AiChooseTargets(uint32_t clan, uint32_t staging, uint32_t target, int freeSlots, int power);
// 0 when `to` can be reached from `from` over neighbouring castles of from's owner outside closed
// countries; -1 otherwise.
int IsSiroLinked(uint32_t from, uint32_t to);
int CountEnemyNeighbours(uint32_t kuni, uint32_t clan, uint32_t siro);
