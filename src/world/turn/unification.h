// Unification and the end of the game: the season history, the unification declaration checked
// every season, and the game over when the player's clan has no general left.
#pragma once
#include <cstdint>

// Words the scenario scripts write: story flag A (positive allows the story ending) and the
// ask-without-question word (set: the next check declares without asking). A new game clears them.
extern int32_t StoryFlagA;
extern int32_t UnificationAskWord;

// Results of the check routines.
inline constexpr int kUnifyGoesOn = 0;
inline constexpr int kUnifyEnded = 1;

void RecordTurnHistory();
// Whether the unification condition holds for the player's clan (country 33 held and the revenue
// and prestige thresholds of the current story mode).
bool UnificationConditionHolds();
int RunUnificationDeclaration();  // step routine: 0 the game goes on, 1 it ended
int CheckUnification();           // step routine: 1 declared, 0 declined
int CheckGameOverNoBusyo();       // step routine: 1 when the game has ended
// The clear is recorded once per run.
void RecordClearOnce();
// A new game: the declared byte, story flag A, the stage and the ask word back to 0.
void ClearUnificationState();
