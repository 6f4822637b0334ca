// Stand-ins for the player's command phases until the command routines land: each ends the
// player's phase on its first call (as if the player chose "end phase" at once).
#include "core/step_machine.h"
#include "world/turn/player_entry.h"

namespace {
int EndPhaseAtOnce() {
  if (StepCheckDone()) return 0;
  StepBegin();
  StepFinish();
  return 0;
}
}  // namespace

int PlayerMilitaryPhase() { return EndPhaseAtOnce(); }
int PlayerCommandPhase() { return EndPhaseAtOnce(); }
int PlayerStrategyMenu() { return EndPhaseAtOnce(); }
