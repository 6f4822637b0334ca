// The debug window of debug mode: the console over the program's script state, drawn into the
// platform's second window on the main thread.
#include "shell/debug_wiring.h"

#include <memory>

#include "platform/debugui/debug_ui.h"
#include "platform/sdl/periodic_timer.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "shell/app_main.h"
#include "screens/scenario/scene_adv.h"
#include "shell/debug/debug_actions.h"
#include "shell/debug/debug_console.h"
#include "shell/frame.h"
#include "shell/main_window.h"
#include "save/system_files.h"
#include "scenario/interp/adv_step.h"
#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "ui/scenes/scene_mgr.h"
#include "world/scenario_tables.h"
#include "world/slg_util.h"
#include "world/world_misc.h"

namespace {

std::unique_ptr<plat::DebugWindow> g_window;
std::unique_ptr<DebugConsole> g_console;
bool g_modalShown = false;
uint32_t g_lastDraw = 0;
bool g_drawn = false;
constexpr int32_t kAdvSceneId = 2;

// Holds the frame off while fn changes the game's state. The frame may be waiting for a box the
// main thread is to show, so boxes are served while waiting; fn runs here on the main thread and
// shows its own boxes directly.
void RunBetweenFrames(const std::function<void()>& fn) {
  bool wasPaused = IsFramePaused();
  SetFramePause(true);
  for (int quiet = 0; quiet < 2;) {
    ServiceBoxRequests();
    quiet = g_FrameBusy.load() ? 0 : quiet + 1;
    plat::SleepMs(1);
  }
  fn();
  SetFramePause(wasPaused);
}

// The items that reach other subsystems.
void ProgramCommand(int id, bool checked) {
  switch (id) {
    case 40023:
      SetGameSpeedParams(checked);
      break;  // minimal waits
    case 40026:
      StartAdvScript(0);
      break;
    case 40027:
      PlayRecordBlock.clearCount = 0;
      break;
    case 40030:
      PlayRecordBlock.clearCount = 1;
      break;
    case 40031:
      PlayRecordBlock.clearCount = 99;
      break;
    case 40034:
      PlayGeneralVoice(2, 91, 0);
      break;  // a test voice
    case 40075:
      ClearPlayRecord();
      break;
    case 40009:
      SetAllPlayRecordFlags();
      SavePlcData();
      break;
    case 40017:
      DebugBoostPlayerDaimyo();
      break;
    case 40033:
      MarkPlayerBusyo();
      break;
    case 40035:
      plat::Log("debug", "save data cleared (%d files)", ClearAllSaveSlots());
      SavePlcData();
      break;
    case 40046:
      LoadCommonTables();
      break;
    case 40048:
      ReloadScenarioBusyoPart(BusyoReloadPart::kInitialSkills);
      break;
    case 40049:
      ReloadScenarioBusyoPart(BusyoReloadPart::kSoldiersAndGuns);
      break;
    case 40058:
      DebugSetPlayerBusyoStage3();
      break;
    default:
      break;
  }
}

// The event jump shows its event in a fresh message window: the scenario scene is asked for when
// another scene is current (the frame makes the change; the window is built there), else its
// window drops the shown message, the choices and the backlog.
void ReopenAdvWindow() {
  CVSceneMgr& mgr = GetSceneMgr();
  CVScene* cur = mgr.GetCurrentScene();
  if (!cur || cur->GetSceneId() != kAdvSceneId) {
    mgr.RequestChange(kAdvSceneId, 0);
    return;
  }
  auto* adv = dynamic_cast<CVSceneADV*>(cur);
  if (!adv || !adv->Window()) return;
  adv->Window()->TalkClear();
  adv->Window()->HideSubScreens();
  adv->SetWaitAdvance(false);
}

}  // namespace

DebugConsoleHooks MakeProgramDebugHooks() {
  DebugConsoleHooks h;
  h.exclusive = &RunBetweenFrames;
  h.setFramePause = &SetFramePause;
  h.stopAllSound = &StopAllSound;
  h.programCommand = &ProgramCommand;
  h.reopenAdvWindow = &ReopenAdvWindow;
  return h;
}

void OpenDebugWindow() {
  if (g_window) return;
  plat::DebugWindow::Options o;
  o.titleUtf8 = "Vornakest 4 debug";
  g_window = plat::DebugWindow::Create(o);
  if (!g_window) return;  // the game goes on without it (logged)
  g_console = std::make_unique<DebugConsole>(GetAdvScript(), MakeProgramDebugHooks());
  SetDebugConsole(g_console.get());
  plat::Log("debug", "debug window open");
}

void DebugWindowPass() {
  if (!g_window || !g_console) return;
  // About 30 pictures a second are plenty for the dialogs; the loop itself runs every 5 ms.
  uint32_t now = plat::MonotonicMs();
  if (g_drawn && now - g_lastDraw < 33) return;
  g_drawn = true;
  g_lastDraw = now;
  g_window->BeginFrame();
  g_console->Draw(*g_window);
  g_window->EndFrame();
  // The frame shows the chosen image state instead of running logic while the view is set.
  g_ImageStateView.store(GetDebugWords().imageView.load());
  // The close question waits while a modal debug dialog is up.
  bool modal = g_console->ModalUp();
  if (modal != g_modalShown) {
    g_CloseBoxUp.store(modal);
    g_modalShown = modal;
  }
}

void CloseDebugWindow() {
  if (g_modalShown) g_CloseBoxUp.store(false);
  g_modalShown = false;
  g_drawn = false;
  SetDebugConsole(nullptr);
  g_console.reset();
  g_window.reset();
}

void InstallDebugWindow() {
  StartupSteps& s = GetStartupSteps();
  s.openDebugWindow = &OpenDebugWindow;
  s.debugWindowPass = &DebugWindowPass;
  s.closeDebugWindow = &CloseDebugWindow;
}
