// The new-game routine: the player picks a clan (story start) or a country (free start), confirms,
// chooses the start options and the generals carried over, and the first turn begins.
#pragma once
#include <cstdint>

// Work values of the routine (it runs once per new game; none is saved).
struct NewGameWork {
  int hoverClan = -1;     // clan last seen under the cursor
  int hoverRegion = -1;   // country last seen under the cursor
  int dialogCursor = -1;  // clan under the start-clan dialog's cursor
  int chosenClan = -1;
  int chosenKuni = -1;
  int chosenScenario = -1;
  uint8_t modeByte = 0;    // 1 = free start (story events blocked)
  uint8_t startBonus = 0;  // the start-bonus switch
};
extern NewGameWork g_NewGameWork;

// Step routine (run by the main strategy step); returns kStepRunning until it finishes, then 0.
int NewGameStart();
