#include "app/shell/game_wiring.h"

#include "app/shell/app_main.h"
#include "app/shell/frame_services.h"
#include "app/shell/main_window.h"
#include "app/sound/sound.h"
#include "scenario/script/adv_script.h"

namespace {

class GameHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
};

GameHooks g_gameHooks;

void StartMusicStreams() {
  StartSoundStreams();
  // Until the title scene starts its own music, the title theme plays from start-up.
  PlayMusic("Data\\bgm\\M29_intro.voi", "Data\\bgm\\M29.voi");
}

void EndSound() {
  ShutdownSoundStreams();
  ReleaseSound();
}

}  // namespace

void InstallGameSubsystems() {
  StartupSteps& s = GetStartupSteps();
  s.clearScriptWatchList = [] { GetAdvScript().ClearWatchList(); };
  s.loadStartLabelList = [] { return LoadStartLabelList(0); };
  s.initSound = [] { InitSound(); };
  s.startStreamPlayers = &StartMusicStreams;
  s.stopStreamPlayers = &StopSoundStreams;
  s.endStreamThreads = &EndSound;
  s.saveSystemFiles = [] { GetAdvScript().SaveSystemSwitches(); };
  s.gameHooks = &g_gameHooks;
  SetSoundFocusHooks({&RequestSoundSilence, &RequestSoundRestore});
}
