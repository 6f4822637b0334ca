#include "world/world_ports.h"

#include "world/scenario_tables.h"

namespace {
SlgScenePort g_nullScene;
AdvPort g_nullAdv;
BattlePort g_nullBattle;
SlgRulesPort g_defaultRules;
SlgScenePort* g_scene = &g_nullScene;
AdvPort* g_adv = &g_nullAdv;
BattlePort* g_battle = &g_nullBattle;
SlgRulesPort* g_rules = &g_defaultRules;
}  // namespace

void SlgRulesPort::ResetSlgTurnState() { BeginGameOrLoad(); }

SlgScenePort& SlgScene() { return *g_scene; }
AdvPort& Adv() { return *g_adv; }
BattlePort& Battle() { return *g_battle; }
SlgRulesPort& SlgRules() { return *g_rules; }
void SetSlgScenePort(SlgScenePort* port) { g_scene = port ? port : &g_nullScene; }
void SetAdvPort(AdvPort* port) { g_adv = port ? port : &g_nullAdv; }
void SetBattlePort(BattlePort* port) { g_battle = port ? port : &g_nullBattle; }
void SetSlgRulesPort(SlgRulesPort* port) { g_rules = port ? port : &g_defaultRules; }
