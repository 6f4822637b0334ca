// Random events and successions (the step routines are declared in world/turn/ai_entry.h).
#pragma once
#include <cstdint>

// The event countries, resolved from their names at each turn reset (255 ends each list and
// stands for a name no country has).
extern uint8_t IkkoKuniList[12];
extern uint8_t MineKuniList[19];
extern uint8_t PortKuniList[13];

// Sound (unless kind 19) and the map's event marker for the first message of an event.
void ShowEventNotice(int kind, int marker);
// Map refreshed, message cleared, marker hidden, country colours reset.
void EndEventNotice();
