// Politics of the computer clans (the phase entries are in world/ai/ai_entry.h).
#pragma once
#include <cstdint>

// True when the clan will not ally with the other: the other stands in its refusal set (or it in
// the other's), or nobody but the other borders it and the other is at least a third its size.
// Leaves frontier mark 1 on the countries of its other hostile neighbours.
bool IsAllianceBarred(uint32_t clan, uint32_t other);
void AiDevelopLands(uint32_t clan);
void AiDevelopKuni(uint32_t clan, uint32_t kuni);
// Castle works of a clan from half its money.
void AiBuildCastle(uint32_t clan);
// Alliance ageing, proposal and breaking; step routine.
int AiAlliance(int clan);
