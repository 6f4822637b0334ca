// The debug menu's operations on the play record, the save slots and the world tables that are
// more than one call: run between frames by the program's wiring, headless in tests.
#pragma once
#include <string>

// Every event flag, every extras scene and every item of each gallery record in use marked seen.
// The caller writes the play record.
void SetAllPlayRecordFlags();
// Removes the four files of every save slot (ordinary, quick and auto) and forgets the last slot
// of each kind in the play record; the number of files removed.
int ClearAllSaveSlots();
// The statistics of the generals whose character flag word is 1:
// "降伏回数 %d\n切腹回数 %d\n内降伏可能 %d\n生存 %d".
std::string CharFlagStatsText();
