// Stand-ins for the AI clans, the independent forces, the random events and the successions until
// their routines land: every step routine finishes on its first call and changes nothing, every
// plain function does nothing. This file is replaced whole by the real routines.
#include "core/step_machine.h"
#include "world/turn/ai_entry.h"

namespace {
int FinishAtOnce() {
  if (StepCheckDone()) return 0;
  StepBegin();
  StepFinish();
  return 0;
}
}  // namespace

void AiChooseMilitaryTargets(int) {}
void AiMilitaryThink(int) {}
int AiPoliticsThink(int) { return FinishAtOnce(); }
int AiPoach() { return FinishAtOnce(); }
int AiStrategyThink(int) { return FinishAtOnce(); }
int IndependentForcesThink() { return FinishAtOnce(); }
void IndependentGrowSoldiers(int) {}
void IndependentRaiseCastle(int) {}
int RunRandomEvents() { return FinishAtOnce(); }
int RunSuccession() { return FinishAtOnce(); }
void ResolveKuniNameTables() {}
