#include "world/turn/turn_state.h"

#include "world/world_tables.h"

uint16_t AutoRunLastTurn = 0;
TurnWork g_TurnWork;
TurnHistory g_TurnHistory;

bool IsAutoRun() { return NoKakuuSiroFlag != 0; }
void SetAutoRun(bool on) { NoKakuuSiroFlag = on ? 1 : 0; }

void ResetTurnWork() {
  g_TurnWork = TurnWork{};
  g_TurnHistory = TurnHistory{};
}
