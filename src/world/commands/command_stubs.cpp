// Stand-in for the player's strategy menu until the strategy commands land: it ends the player's
// phase on its first call (as if the player chose "end phase" at once).
#include "core/step_machine.h"
#include "world/turn/player_entry.h"

int PlayerStrategyMenu() {
  if (StepCheckDone()) return 0;
  StepBegin();
  StepFinish();
  return 0;
}
