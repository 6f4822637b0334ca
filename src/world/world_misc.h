// Small helpers of the strategy screens and the debug menu over the world tables.
#pragma once
#include <cstdint>
#include <string>

// Calendar time in seconds, and its local-time parts (struct tm order, nine values) for the
// save screens.
int32_t GetTimeNow();
extern int32_t LocalTimeParts[9];
void ToLocalTimeParts(int32_t time);

// The four selection words of the strategy screens and the window-event flag.
extern int32_t SlgPickWords[4];
extern int32_t SlgWindowEventFlag;
void ResetPickState();
int32_t PollWindowEventFlag(bool clear);

// Debug lists and debug menu operations.
std::string FormatDaimyoListLabel(uint32_t clan);
int CountCharFlagBusyo();
void DebugBoostPlayerDaimyo();
void DebugSetPlayerBusyoStage3();
void MarkPlayerBusyo();
