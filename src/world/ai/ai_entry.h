// The entries of the AI clans, the independent forces, the random events and the successions.
// The turn reaches them only through its AiTurnPort (world/turn/turn_ports.h), which
// InstallAiRules points at them. Step routines follow core/step_machine.h: the caller pushes,
// calls every logic step and pops; they return kStepRunning until they finish. Plain functions run
// to their end in the frame that calls them.
#pragma once

// ---- Military phase (MilitaryPhase, per AI clan; plain, run in one frame after the clan's
// thinking message, skipped while FirstTurnFlag is set) ----
void AiChooseMilitaryTargets(int clan);
void AiMilitaryThink(int clan);

// ---- Politics phase (PoliticsPhase) ----
// One AI clan's politics (alliances, lands, castle works, operations); step routine.
int AiPoliticsThink(int clan);
// Luring generals away, once after all clans; step routine.
int AiPoach();

// ---- Strategy phase (StrategyPhase) ----
// One AI clan's strategy thinking (march budget); step routine.
int AiStrategyThink(int clan);

// ---- Independent forces (step 4 of the main step) ----
int IndependentForcesThink();  // step routine

// ---- Season turn ----
// The independent generals' moves of the season: one general, by his DokuBusyoList index; plain.
void IndependentGrowSoldiers(int listIndex);
void IndependentRaiseCastle(int listIndex);
// Event slots 1 to 17 in order; step routine.
int RunRandomEvents();
// Successions of headless clans 0 to 59; step routine (run by the season turn and again by the
// main step after the unification check).
int RunSuccession();

// ---- Turn reset ----
// Resolves the fixed country-name lists of the events (revolt, mine and port countries).
void ResolveKuniNameTables();

// ---- Installation ----
// Makes these rules the turn's AI port (the game, the simulation runner, the tests and benchmarks
// that run turns).
void InstallAiRules();
