// The strategy game as the frame runs it until the turn engine is connected: the title's strategy
// button starts a new game on scenario 0, the new-game routine runs on the step machine (clan
// choice, confirmation, start options, carried-over generals), then the map takes input and the
// phase-end button steps through the military, politics and strategy phases of each season.
// The turn engine replaces StepStrategySession with its own main step.
#pragma once

// Game mode 7 (the title asked for the strategy game): loads the world and enters game mode 11.
// False (and the title again) when the sample world cannot be loaded.
bool BeginStrategySession();
// One logic step in game mode 11.
void StepStrategySession();
// True while the new-game routine is still running.
bool IsStrategySessionChoosing();
