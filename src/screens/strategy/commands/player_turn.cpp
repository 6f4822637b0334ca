#include "screens/strategy/commands/player_turn.h"

namespace {

class CommandFlows : public PlayerTurnPort {
 public:
  int MilitaryPhase() override { return PlayerMilitaryPhase(); }
  int PoliticsPhase() override { return PlayerCommandPhase(); }
  int StrategyPhase() override { return PlayerStrategyMenu(); }
};

}  // namespace

PlayerTurnPort& PlayerCommandFlows() {
  static CommandFlows flows;
  return flows;
}
