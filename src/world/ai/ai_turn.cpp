// The rules' AI behind the turn's port.
#include "world/ai/ai_entry.h"
#include "world/turn/turn_ports.h"

namespace {

class RulesAiTurn : public AiTurnPort {
 public:
  void ChooseMilitaryTargets(int clan) override { AiChooseMilitaryTargets(clan); }
  void MilitaryThink(int clan) override { AiMilitaryThink(clan); }
  int PoliticsThink(int clan) override { return AiPoliticsThink(clan); }
  int Poach() override { return AiPoach(); }
  int StrategyThink(int clan) override { return AiStrategyThink(clan); }
  int IndependentForcesThink() override { return ::IndependentForcesThink(); }
  void IndependentGrowSoldiers(int listIndex) override { ::IndependentGrowSoldiers(listIndex); }
  void IndependentRaiseCastle(int listIndex) override { ::IndependentRaiseCastle(listIndex); }
  int RunRandomEvents() override { return ::RunRandomEvents(); }
  int RunSuccession() override { return ::RunSuccession(); }
  void ResolveKuniNameTables() override { ::ResolveKuniNameTables(); }
};

}  // namespace

void InstallAiRules() {
  static RulesAiTurn port;
  SetAiTurnPort(&port);
}
