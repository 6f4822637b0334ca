// The battle for one castle as the war phase runs it: a step routine called every logic step
// until it returns something other than kStepRunning, and the battle port that the strategy rules
// reach it through.
#pragma once
#include <cstdint>

#include "battle/battle_state.h"
#include "world/world_ports.h"

// The step routine. Its first entry after a push sets the battle up for the castle.
int BattleRun(int castle);

// Fills the battle's settings before each battle (the program copies its settings and system
// tables; without a source the values stay as set).
using BattleConfigSource = void (*)(BattleConfig& config);
void SetBattleConfigSource(BattleConfigSource source);

// Installs the rules' battle port for the war phase (the game, the simulation runner and the AI
// soak). Without a settings source the battle reads only the world's auto-run and event-block
// words before each battle.
void InstallBattleRules(BattleConfigSource source = nullptr);

// Save points: a battle can be saved until its deployment begins (the save block holds no
// deployed field), and not again until it has ended.
bool IsBattleSaveAllowed();

// Loss counters and the roster-changed word that the placement operations keep.
struct BattleLossCounters {
  int32_t first = 0;
  int32_t second = 0;
  int32_t rosterChanged = 0;
};
extern BattleLossCounters g_BattleLosses;

// The rules' battle port: the war phase's battles, roster queries and experience gains.
class RulesBattlePort : public BattlePort {
 public:
  bool IsBusyoInRosterA(int busyo) const override;
  bool IsBusyoInRosterB(int busyo) const override;
  void AddBattleLoss(bool second) override;
  void SetRosterChanged() override;
  int BusyoGainExperience2(int busyo) override;
  int BusyoGainExperience3(int busyo) override;
  int BusyoGainExperience4(int busyo, int several, int count) override;
  // While the save code registers, lists the battle's saved fields and returns 0.
  int BattleRun(int castle) override;
  const char* BattleResolverName() const override;
};
