// The interim battle resolver: the body of BattlePort::BattleRun until the battles land. It fights
// no field battle; it weighs the attackers in the castle's second list against the garrison and
// the castle's level with one draw of the game generator, over a few logic steps so that a save
// can fall inside it, and writes a plain result back:
//  - attackers stronger: the garrison withdraws to another castle of its force (a general with
//    nowhere to go leaves his force), the castle passes to the attackers' force, they move in;
//  - otherwise the attackers go back to their castles;
//  - each side loses soldiers in proportion to the other side's strength; every march ends.
// Its statics have the widths of the battle's saved block, and it registers them the same way.
#pragma once
#include <cstdint>

#pragma pack(push, 1)
struct InterimBattleState {
  uint8_t mode;  // 2 when the player's clan takes part
  uint16_t castle;
  uint8_t level;
  uint8_t round;          // logic steps fought
  uint8_t attackerForce;  // force of the first attacker (255 independents)
  uint8_t outcome;        // 0 undecided, 1 taken, 2 held
  uint8_t work[1032];     // unused by the interim resolver
  uint8_t spare[32];
};
#pragma pack(pop)
static_assert(sizeof(InterimBattleState) == 1071);

inline constexpr int kInterimBattleRounds = 3;
extern InterimBattleState g_InterimBattle;

int InterimBattleRun(int castle);
