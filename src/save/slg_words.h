// Words that only the world file keeps: script commands write them, slg.dat saves and restores
// them, and the strategy command dispatch keeps its current command code here.
#pragma once
#include <cstdint>

extern int32_t ScriptSavedWord;  // scenario route word
extern uint16_t SlgSavedWord;
extern uint8_t SlgCommandCode;  // command being run, 255 none

// Kept by the header and the slots: the run that made a save (the new game's start time, as
// GameStartTime) and whether that run was cleared.
extern uint8_t RunClearedFlag;
extern int32_t& RunId;
// The cleared mark belongs to one run: after a new game (another RunId) it reads 0 again.
void SetRunCleared(uint8_t cleared);  // RunClearedFlag := cleared, for the current run
uint8_t CurrentRunCleared();
