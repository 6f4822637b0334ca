#include "world/commands/command_work.h"

#include <cstddef>
#include <cstring>

#include "world/turn/play_state_blocks.h"

uint8_t SlgCommandCode = 255;
CommandWork g_CommandWork;
// Carried by a save: a loaded game goes on from the same working state.
[[maybe_unused]] const bool kCommandWorkSaved = RegisterPlayStateBlock(
    {"commands", &g_CommandWork, sizeof g_CommandWork, [](const uint8_t* b) -> const char* {
       if (!IsBoolByte(b, offsetof(CommandWork, focused))) return "commands: flag out of range";
       CommandWork w;
       std::memcpy(&w, b, sizeof w);
       return w.trainedCount < 0 || w.trainedCount > 10 ? "commands: trained count out of range" : nullptr;
     }});

void ResetCommandWork() { g_CommandWork = CommandWork{}; }
