// Save registration of the war-phase step routines. Those routines keep their loop positions in
// statics while a march or a battle runs over many frames; slg.dat stores them at one fixed point
// of its field list, so that a save taken mid-march resumes at the same march.
//
// In registration mode each routine, instead of running, appends its statics (address, width) to
// the current block list and returns. The save and the load of slg.dat both register, so the
// fields are written and read back in one order.
#pragma once
#include <cstdint>

#include "core/file_io.h"
// The registration mode, the current list and RegisterSaveField live with the routines.
#include "world/turn/save_register.h"

// Byte counts of the registered fields in registration order: the march routines' statics
// (35 bytes in 21 fields) and the battle's own block.
inline constexpr int32_t kWarFieldBytes = 35;
inline constexpr int32_t kBattleRunStateBytes = 1071;
inline constexpr int32_t kWarStateBytes = kWarFieldBytes + kBattleRunStateBytes;  // 1,106

// The routines that register, called in this order: ResolveMarches, RunIndependentMarch (0),
// RunGarrisonMarch (0), RunClanMarches, RunDaimyoMarches (0), BattleRun (0) (world/turn/war_phase.h
// and the installed battle port).
using WarStateRegistrar = void (*)();
void SetWarStateRegistrar(WarStateRegistrar registrar);  // null: the war phase's own registration
void RegisterWarStateFields();
// True while the war phase's own registration is used (no replacement registrar is set).
bool UsesWarPhaseRegistrar();

// Mode 1 (2), current list := list, RegisterWarStateFields, mode 0.
void RegisterWarStateForLoad(SaveBlockList* list);
void RegisterWarStateForSave(SaveBlockList* list);
