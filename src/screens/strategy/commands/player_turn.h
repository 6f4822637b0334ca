// The player's side of the three command phases and the port through which the turn runs them.
// Step routines (core/step_machine.h), run as children of the phase loops when the clan in turn is
// the player's and auto-run is off; each finishes when the player ends the phase.
#pragma once
#include "world/turn/turn_ports.h"

int PlayerMilitaryPhase();  // military commands (menu 1)
int PlayerCommandPhase();   // politics: the domestic command dispatcher (menu 2)
int PlayerStrategyMenu();   // strategy commands (menu 3)

// These phases as the turn's PlayerTurnPort; the strategy screens install it.
PlayerTurnPort& PlayerCommandFlows();
