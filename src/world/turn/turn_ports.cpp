#include "world/turn/turn_ports.h"

#include "core/step_machine.h"

namespace {

// A step routine with nothing to do: finishes on its first call.
int FinishAtOnce() {
  if (StepCheckDone()) return 0;
  StepBegin();
  StepFinish();
  return 0;
}

AiTurnPort g_nullAi;
PlayerTurnPort g_nullPlayer;
AiTurnPort* g_ai = &g_nullAi;
PlayerTurnPort* g_player = &g_nullPlayer;

}  // namespace

int AiTurnPort::PoliticsThink(int) { return FinishAtOnce(); }
int AiTurnPort::Poach() { return FinishAtOnce(); }
int AiTurnPort::StrategyThink(int) { return FinishAtOnce(); }
int AiTurnPort::IndependentForcesThink() { return FinishAtOnce(); }
int AiTurnPort::RunRandomEvents() { return FinishAtOnce(); }
int AiTurnPort::RunSuccession() { return FinishAtOnce(); }
int PlayerTurnPort::MilitaryPhase() { return FinishAtOnce(); }
int PlayerTurnPort::PoliticsPhase() { return FinishAtOnce(); }
int PlayerTurnPort::StrategyPhase() { return FinishAtOnce(); }

AiTurnPort& AiTurn() { return *g_ai; }
PlayerTurnPort& PlayerTurn() { return *g_player; }
void SetAiTurnPort(AiTurnPort* port) { g_ai = port ? port : &g_nullAi; }
void SetPlayerTurnPort(PlayerTurnPort* port) { g_player = port ? port : &g_nullPlayer; }
