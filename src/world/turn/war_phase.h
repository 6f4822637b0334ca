// The war phase: standing march orders become marches and battles. Independent generals march
// first (alone or with their whole garrison), then each clan in the clan order. Every battle is
// one run of the battle port's BattleRun, pushed as a child step routine.
//
// The routines keep their loop positions in g_TurnWork.war; in save registration mode each only
// registers those fields and returns, so a save taken inside a battle resumes at the same march.
#pragma once
#include <cstddef>
#include <cstdint>

int WarPhase();                      // step routine
int ResolveMarches();                // step routine over the independents
int RunIndependentMarch(int order);  // step routine, one independent general
int RunGarrisonMarch(int order);     // step routine, one independent castle's garrison
int RunClanMarches();                // step routine over the clan order
int RunDaimyoMarches(int clan);      // step routine, one clan
// 0: a battle is to be fought at the castle; non-zero: the attackers were sent back.
int CheckDefendersRetreat(uint32_t castle);

// The registration: the five routines above and the battle, in that order.
void RegisterWarPhaseFields();
// Checks the registered bytes of a world file (the march statics, then the battle's block) before
// they are loaded; null when they are in range, else what is wrong.
const char* CheckWarStateBytes(const uint8_t* data, size_t size);

// A march ends: flag 0, target none.
void CancelMarch(uint32_t busyo);
