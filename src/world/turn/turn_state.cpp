#include "world/turn/turn_state.h"

#include <cstddef>
#include <cstring>

#include "world/world_tables.h"
#include "world/turn/play_state_blocks.h"

uint16_t AutoRunLastTurn = 0;
TurnWork g_TurnWork;
TurnHistory g_TurnHistory;
// Carried by a save: a loaded game goes on from the same working state. The war fields are also
// in the world file; both hold the same bytes.
[[maybe_unused]] const bool kTurnWorkSaved =
    RegisterPlayStateBlock({"turn.work", &g_TurnWork, sizeof g_TurnWork,
                            [](const uint8_t* b) -> const char* {
                              TurnWork w;
                              std::memcpy(&w, b, sizeof w);
                              if (w.gameEnd > 1) return "turn.work: game end out of range";
                              if (w.dismiss.chosen != 0xFFFF &&
                                  (w.dismiss.chosen < 0 || w.dismiss.chosen >= kBusyoCount))
                                return "turn.work: dismissed general out of range";
                              return nullptr;
                            }}) &&
    RegisterPlayStateBlock(
        {"turn.history", &g_TurnHistory, sizeof g_TurnHistory, [](const uint8_t*) -> const char* { return nullptr; }});

bool IsAutoRun() { return NoKakuuSiroFlag != 0; }
void SetAutoRun(bool on) { NoKakuuSiroFlag = on ? 1 : 0; }

void ResetTurnWork() {
  g_TurnWork = TurnWork{};
  g_TurnHistory = TurnHistory{};
}
