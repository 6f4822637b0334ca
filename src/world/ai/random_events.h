// Random events and successions (the step routines are declared in world/ai/ai_entry.h).
#pragma once
#include <cstddef>
#include <cstdint>

// The event countries, resolved from their names at each turn reset (255 ends each list and
// stands for a name no country has).
extern uint8_t IkkoKuniList[12];
extern uint8_t MineKuniList[19];
extern uint8_t PortKuniList[13];

// The events a country takes part in, for the debug lists: " 一揆", " 鉱山", " 南蛮" in that order,
// five blanks for each that does not apply (always 15 bytes and the terminator).
void GetKuniEventLabel(uint32_t kuni, char* out, size_t size);

// Sound (unless kind 19) and the map's event marker for the first message of an event.
void ShowEventNotice(int kind, int marker);
// Map refreshed, message cleared, marker hidden, country colours reset.
void EndEventNotice();
