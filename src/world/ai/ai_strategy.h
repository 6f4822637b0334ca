// Strategy thinking of the computer clans (the phase entry is in world/ai/ai_entry.h).
#pragma once
#include <cstdint>

// Pays for the clan's marching groups from half its money (all of it in the second season),
// castle by castle in the order of their strongest general; groups it cannot pay stay home.
void AiStrategyBudget(uint32_t clan);
