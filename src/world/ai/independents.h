// Independent forces (the phase entry and the season's per-general steps are declared in
// world/ai/ai_entry.h).
#pragma once
#include <cstdint>

#include "world/world_tables.h"

// The group of one joint operation (lives within one call).
struct JointGroup {
  uint16_t members[6] = {kNoBusyo, kNoBusyo, kNoBusyo, kNoBusyo, kNoBusyo, kNoBusyo};
  uint8_t count = 0;
  uint16_t soldiers = 0;
};
extern JointGroup IndependentGroup;
// 1 for a castle already targeted by a joint operation this turn.
extern uint8_t JointTargetFlags[kSiroCount];

// One independent general's turn, by position in MarchOrderList; step routines.
int IndependentNormalTurn(int position);
int IndependentGrowTurn(int position);
// A lone attack on a castle of his own country (by DokuBusyoList index).
void IndependentNormalOperation(int index);
// The ready independents around the leader's castle attack together.
void IndependentJointOperation(uint16_t leader);
// The number of a castle's six entries that are empty or held by a member of the group.
int IndependentFreeSlots(uint32_t siro);
// One of the castle's six entries has slot byte n.
bool SiroHasSlotIndex(uint32_t siro, int n);
