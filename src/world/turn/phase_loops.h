// The three command phases of a turn: each walks the clan order once, running the player's side
// for the player's clan (unless auto-run is on) and the AI's thinking for every other living clan.
#pragma once

int MilitaryPhase();  // step routine (turn sub-phase 1)
int PoliticsPhase();  // step routine (turn sub-phase 2)
int StrategyPhase();  // step routine (turn sub-phase 3)
// Clears bit 3 of every general's command flags and his secret-contact clan; map to phase 3.
void ResetBusyoPhaseFlags();
// The clan's head stands in its own vassal list.
bool IsLivingClan(int clan);
