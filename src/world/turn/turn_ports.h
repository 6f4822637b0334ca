// Who plays the clans in the phase loops and the season turn: the computer clans' rules and the
// player's command flows. The turn holds only these ports, so it never calls up into the AI or the
// screens at link time; the AI installs its rules (InstallAiRules, world/ai/ai_entry.h) and the
// strategy screens the player's flows. Step routines follow core/step_machine.h: the caller pushes,
// calls every logic step and pops; they return kStepRunning until they finish. Plain operations
// run to their end in the frame that calls them. The default ports do nothing: every step routine
// finishes on its first call.
#pragma once

// The computer clans, the independent forces, the random events and the successions.
class AiTurnPort {
 public:
  virtual ~AiTurnPort() = default;
  // ---- Military phase (per AI clan; plain, run in one frame after the clan's thinking message,
  // skipped while FirstTurnFlag is set) ----
  virtual void ChooseMilitaryTargets(int clan) {}
  virtual void MilitaryThink(int clan) {}
  // ---- Politics phase ----
  // One AI clan's politics (alliances, lands, castle works, operations); step routine.
  virtual int PoliticsThink(int clan);
  // Luring generals away, once after all clans; step routine.
  virtual int Poach();
  // ---- Strategy phase ----
  // One AI clan's strategy thinking (march budget); step routine.
  virtual int StrategyThink(int clan);
  // ---- Independent forces (step 4 of the main step); step routine ----
  virtual int IndependentForcesThink();
  // ---- Season turn ----
  // The independent generals' moves of the season: one general, by his DokuBusyoList index; plain.
  virtual void IndependentGrowSoldiers(int listIndex) {}
  virtual void IndependentRaiseCastle(int listIndex) {}
  // Event slots 1 to 17 in order; step routine.
  virtual int RunRandomEvents();
  // Successions of headless clans 0 to 59; step routine (run by the season turn and again by the
  // main step after the unification check).
  virtual int RunSuccession();
  // ---- Turn reset ----
  // Resolves the fixed country-name lists of the events (revolt, mine and port countries).
  virtual void ResolveKuniNameTables() {}
};

// The player's side of the three command phases: step routines run as children of the phase
// loops when the clan in turn is the player's and auto-run is off; each finishes when the player
// ends the phase.
class PlayerTurnPort {
 public:
  virtual ~PlayerTurnPort() = default;
  virtual int MilitaryPhase();  // military commands (menu 1)
  virtual int PoliticsPhase();  // politics: the domestic command dispatcher (menu 2)
  virtual int StrategyPhase();  // strategy commands (menu 3)
};

// Installed ports (never null: a null argument restores the default port).
AiTurnPort& AiTurn();
PlayerTurnPort& PlayerTurn();
void SetAiTurnPort(AiTurnPort* port);
void SetPlayerTurnPort(PlayerTurnPort* port);
