#include "screens/strategy/strategy_session.h"

#include <cstdio>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/step_machine.h"
#include "platform/text/log.h"
#include "world/new_game.h"
#include "world/scenario_tables.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

bool g_choosing = false;

void StartPhase(int subPhase) {
  TurnSubPhase = static_cast<uint8_t>(subPhase);
  SlgScenePort& scene = SlgScene();
  scene.SetPhase(subPhase);
  scene.SetCurrentDaimyo(PlayerDaimyoId);
  scene.SetSelMode(0);
  scene.ShowMapNormal();
  scene.ShowInfoPanel();
  static const char* const kNames[5] = {"季節", "軍事", "内政", "戦略", "合戦"};
  char text[96];
  std::snprintf(text, sizeof text, "%s の段です。", kNames[subPhase % 5]);
  scene.ShowMessage(text, 0, false);
}

}  // namespace

bool BeginStrategySession() {
  ScenarioNumber = 0;
  PreferredStartDaimyo = -1;
  if (!LoadWorldSystemTable() || !StartNewGame()) {
    plat::Log("strategy", "the sample world did not load; back to the title");
    GameMode = game_mode::kIdle;
    return false;
  }
  StepReset();
  g_choosing = true;
  GameMode = game_mode::kSlg;
  return true;
}

bool IsStrategySessionChoosing() { return g_choosing; }

void StepStrategySession() {
  SlgScenePort& scene = SlgScene();
  if (!scene.HasScene()) return;  // the strategy scene is not up yet
  if (g_choosing) {
    g_StepMachine.depth = 0;
    StepPush();
    NewGameStart();
    if (StepPop()) {
      g_choosing = false;
      StartPhase(1);
    }
    return;
  }
  if (!scene.IsNoDialog()) return;
  if (scene.GetSceneResult() != 15) return;
  // Phase end: military -> politics -> strategy -> the next season's military phase.
  int next = TurnSubPhase + 1;
  if (next > 3) {
    next = 1;
    ++TurnCounter;
    SeasonIndex = static_cast<uint8_t>((SeasonIndex + 1) & 3);
    if (SeasonIndex == 0) ++GameYear;
  }
  StartPhase(next);
}
