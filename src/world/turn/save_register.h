// Save registration of step-routine statics. Routines that keep their loop positions in statics
// while a march or a battle runs over many frames can be called in registration mode: instead of
// running, each appends its statics (address, width) to the current block list and returns at once.
// The save and the load of the world file both register, so the fields are written and read back
// in one order.
#pragma once
#include <cstdint>

#include "core/file_io.h"

// 0 running, 1 registering for a load, 2 registering for a save. Routines test only for non-zero.
inline constexpr int32_t kSaveRegisterNone = 0;
inline constexpr int32_t kSaveRegisterLoad = 1;
inline constexpr int32_t kSaveRegisterSave = 2;
extern int32_t SaveRegisterMode;
// The list being built while registering; left as it was afterwards and only read while registering.
extern SaveBlockList* SaveRegisterList;

inline bool IsSaveRegistering() { return SaveRegisterMode != kSaveRegisterNone; }

// Appends (address, size) to the current list; nothing when no list is set.
void RegisterSaveField(void* address, int32_t size);
