#include "scenario/interp/adv_step.h"

#include "core/app_state.h"
#include "platform/text/log.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_services.h"
#include "scenario/script/adv_script.h"
#include "world/world_tables.h"

uint32_t AdvEventNumber = 0;
uint8_t ReturnToSlgFlag = 0;
uint32_t AdvSlgWord = 0;
int32_t AdvDebugLabel = 0;

namespace {

constexpr int32_t kTitleScene = 1;
constexpr int32_t kAdvScene = 2;
constexpr int32_t kSlgScene = 3;

// A strategy game started directly never loaded a script set: its events load the main set first.
void EnsureScriptSet(AdvScript& s) {
  if (!s.loaded) s.LoadScriptFiles(0);
}

void SetSwitch0(AdvScript& s, int32_t v) {
  if (!s.switches.empty()) s.switches[0] = v;
}

// Runs the interpreter for one frame; fast-forward keeps running it until a real stop, within
// the frame's instruction budget. False when the script ended.
bool RunForFrame(AdvScript& s) {
  const int32_t mode = GameMode;
  uint32_t budget = kAdvStepBudget;
  for (;;) {
    if (!RunScript(s, &budget)) return false;
    if (ScriptBudgetExhausted() || GameMode != mode) return true;
    AdvPresenter* p = GetAdvPresenter();
    if (!p || !p->IsFastForward()) return true;
  }
}

void FastForwardOff() {
  if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
}

}  // namespace

void ResetAdvScriptPc() {
  GameMode = game_mode::kMainScript;
  GetAdvScript().SetPc(0);
}

void StartAdvScript(int32_t eventNo) {
  if (StoryEventBlockFlag != 0 && eventNo != 0) return;
  AdvScript& s = GetAdvScript();
  AdvEventNumber = static_cast<uint32_t>(eventNo);
  if (eventNo == 0) s.LoadScriptFiles(0);
  EnsureScriptSet(s);
  AdvSvc().ApplyStorySoundConfig();
  ResetAdvScriptPc();
  s.waitRemaining = 0;
  s.waitJumpLabel = -1;
  SetSwitch0(s, eventNo);
}

void StartAdvEvent(int32_t eventNo, int32_t mode, const char* labelName, bool toAdvScene) {
  (void)mode;  // not used by the engine
  if (StoryEventBlockFlag != 0) return;
  AdvScript& s = GetAdvScript();
  AdvEventNumber = static_cast<uint32_t>(eventNo);
  EnsureScriptSet(s);
  ResetAdvScriptPc();
  s.waitRemaining = 0;
  s.waitJumpLabel = -1;
  AdvSvc().ApplyStorySoundConfig();
  if (labelName && *labelName)
    s.GotoLabelName(labelName);
  else
    s.GotoLabelIndex(0);
  if (toAdvScene) AdvSvc().ChangeScene(kAdvScene, 0);
  SetSwitch0(s, eventNo);
}

void StepAdvScript() {
  AdvScript& s = GetAdvScript();
  switch (GameMode) {
    case game_mode::kMainScript:
    case game_mode::kEventScript:
    case game_mode::kOtherScript: {
      const int32_t mode = GameMode;
      if (RunForFrame(s)) return;
      FastForwardOff();
      // A hand-over made by the last instruction stands; otherwise the script's own end decides.
      if (GameMode != mode) return;
      if (mode == game_mode::kMainScript)
        GameMode = game_mode::kIdle;
      else
        EndAdvScene();
      return;
    }
    case game_mode::kIdle:
      if (AdvSvc().CurrentSceneId() != kTitleScene) AdvSvc().ChangeScene(kTitleScene, 0);
      return;
    case game_mode::kStartSlg:
      s.SnapshotSwitches();
      AdvSvc().SetSlgStartRequest(game_mode::kStartSlg);
      AdvSvc().ClearLastVoiceName();
      PlayerDaimyoId = 255;
      EnterSlgMode();
      AdvSvc().ResetStepMachine();
      return;
    case game_mode::kPairedEnding:
      // Nothing else takes the game on from the paired ending: it goes back to the title.
      GameMode = game_mode::kIdle;
      return;
    case game_mode::kLabelJump1:
      if (!RunForFrame(s)) {
        s.GotoLabelIndex(AdvDebugLabel);
        GameMode = game_mode::kLabelJump2;
      }
      return;
    case game_mode::kLabelJump2:
      if (!RunForFrame(s)) GameMode = game_mode::kIdle;
      return;
    case game_mode::kBackToTitle:
      AdvSvc().ChangeScene(kTitleScene, 0);
      AdvSvc().ForceTitleMenuPhase();
      GameMode = game_mode::kScriptEnded;
      return;
    default:
      return;
  }
}

void EnterSlgMode() {
  GameMode = game_mode::kSlg;
  ReturnToSlgFlag = 1;
  AdvScript& s = GetAdvScript();
  if (AdvEventNumber == 1 && !s.switches.empty()) AdvSlgWord = static_cast<uint32_t>(s.switches[1]);
  ActingSideFlag = 1;
  AdvSvc().ClearLastVoiceName();
  AdvSvc().ApplySlgSoundConfig();
  std::fill(std::begin(s.blockLabel), std::end(s.blockLabel), '\0');
}

bool ReturnToSlgScene() {
  if (ReturnToSlgFlag == 0) return false;
  bool changed = false;
  if (AdvSvc().CurrentSceneId() != kSlgScene) {
    changed = AdvSvc().ChangeScene(kSlgScene, 0);
    SlgScene().SetCurrentDaimyo(PlayerDaimyoId);
    SlgRules().RecalcDaimyoTotals(1);
    SlgScene().SetPhase(AdvSvc().SlgReturnPhase());
    SlgScene().RefreshMapMenu();
  }
  ReturnToSlgFlag = 0;
  return changed;
}

void EndAdvScene() {
  // A chapter or event loaded from a save was not pushed over the screen that started it: with
  // nothing beneath to return to, the game goes back to the title.
  if (!AdvSvc().HasSceneBeneath()) {
    GameMode = game_mode::kIdle;
    return;
  }
  GameMode = game_mode::kScriptEnded;
  AdvSvc().RequestSceneChange(-1, 0);
}

void EndAdvEvent() {
  GameMode = game_mode::kEventEnded;
  AdvSvc().RequestSceneChange(-1, 0);
}

void RequestTitleScene() { AdvSvc().RequestSceneChange(kTitleScene, 0); }

void ScenarioAdvPort::StartAdvScript(int event) { ::StartAdvScript(event); }
void ScenarioAdvPort::StartAdvEvent(int event, int mode, const char* label, bool toScenarioScene) {
  ::StartAdvEvent(event, mode, label, toScenarioScene);
}
bool ScenarioAdvPort::ReturnToSlgScene() { return ::ReturnToSlgScene(); }
void ScenarioAdvPort::RequestTitleScene() { ::RequestTitleScene(); }

ScenarioAdvPort& GetScenarioAdvPort() {
  static ScenarioAdvPort port;
  return port;
}
