// The player's strategy menu until the strategy commands are built: the map takes input and the
// phase ends when the player presses its phase-end button (scene result 15). Without a strategy
// scene (headless runs) the phase ends at once.
#include "core/step_machine.h"
#include "world/turn/player_entry.h"
#include "world/world_ports.h"
#include "world/world_tables.h"

namespace {
constexpr int kPhaseEndResult = 15;
}  // namespace

int PlayerStrategyMenu() {
  if (StepCheckDone()) return 0;
  SlgScenePort& scene = SlgScene();
  if (StepBegin()) {
    // The map of the player's clan in this phase, with its command menu.
    scene.SetPhase(TurnSubPhase);
    scene.SetCurrentDaimyo(PlayerDaimyoId);
    scene.SetSelMode(0);
    scene.ShowMapNormal();
    scene.ShowInfoPanel();
  }
  if (scene.HasScene() && !(scene.IsNoDialog() && scene.GetSceneResult() == kPhaseEndResult)) return kStepRunning;
  StepFinish();
  return 0;
}
