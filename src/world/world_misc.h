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

// Mouse state copied for the strategy screens: back-buffer pixels and a button mask (1 left,
// 2 right); -1, -1, 0 while the window is inactive.
extern int32_t SlgMouseX, SlgMouseY, SlgMouseButtons;
// Returns the left-button state while active; while inactive 0 on the first call (the system
// cursor is shown once) and -1 afterwards.
int32_t UpdateMouseInputState();

// Debug lists and debug menu operations.
std::string FormatDaimyoListLabel(uint32_t clan);
int CountCharFlagBusyo();
void DebugBoostPlayerDaimyo();
void DebugSetPlayerBusyoStage3();
void MarkPlayerBusyo();
