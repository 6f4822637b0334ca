// Strength measures of the military thinking (the phase entries are in world/ai/ai_entry.h).
#pragma once
#include <cstdint>

int GetKuniDefencePower(uint32_t kuni);
int CountFrontCastles(uint32_t clan, uint32_t kuni);
