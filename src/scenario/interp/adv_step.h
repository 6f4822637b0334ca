// Starting scripts, the per-frame step by game mode, the hand-over to the strategy game and back,
// and the scenario engine's side of the world's AdvPort.
#pragma once
#include <cstdint>

#include "world/world_ports.h"

// The event number of the running script (0 the story, 1..5 strategy events, 8 the endings).
extern uint32_t AdvEventNumber;
// Set when a script hands over to the strategy game; the turn loop's ReturnToSlgScene clears it.
extern uint8_t ReturnToSlgFlag;
// Switch 1 as it stood when event 1 handed over to the strategy game.
extern uint32_t AdvSlgWord;
// The label the debug run of game mode 46 continues at.
extern int32_t AdvDebugLabel;

// Starts a script from its top (event 0 reloads the main set). Blocked events (the world's story
// event block) other than 0 do nothing.
void StartAdvScript(int32_t eventNo);
// Starts an event at a named label (label 0 without a name); with toAdvScene the scenario scene
// becomes the current scene. Does nothing at all while events are blocked.
void StartAdvEvent(int32_t eventNo, int32_t mode, const char* labelName, bool toAdvScene);
// The per-frame step: runs the interpreter in game modes 0, 10, 14, 46 and 47 and carries out the
// mode changes of 1, 7, 12 and 48.
void StepAdvScript();
void EnterSlgMode();
bool ReturnToSlgScene();
void EndAdvScene();
void EndAdvEvent();
void RequestTitleScene();
void ResetAdvScriptPc();

// The scenario engine as the strategy rules see it (install with SetAdvPort).
class ScenarioAdvPort : public AdvPort {
 public:
  void StartAdvScript(int event) override;
  void StartAdvEvent(int event, int mode, const char* label, bool toScenarioScene) override;
  bool ReturnToSlgScene() override;
  void RequestTitleScene() override;
};
ScenarioAdvPort& GetScenarioAdvPort();
