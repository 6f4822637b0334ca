#include "app/shell/game_wiring.h"

#include "app/movie/movie_display.h"
#include "app/save/system_files.h"
#include "app/movie/movie_mgr.h"
#include "app/movie/movie_mixer_sink.h"
#include "app/shell/app_main.h"
#include "app/shell/game_graphics.h"
#include "app/shell/frame_services.h"
#include "app/shell/main_window.h"
#include "app/sound/sound.h"
#include "scenario/script/adv_script.h"

namespace {

class GameHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override {
    ::UpdateMovies();
    // Until the title scene starts it, the title music follows the opening movie.
    if (openingPlays_ && !UpdateOpeningMovie()) {
      openingPlays_ = false;
      PlayMusic("Data\\bgm\\M29_intro.voi", "Data\\bgm\\M29.voi");
    }
  }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }

  bool openingPlays_ = false;
};

GameHooks g_gameHooks;

void InitSoundAndMovieAudio() {
  InitSound();
  if (plat::Mixer* mixer = GetSoundMixer()) GetMovieMgr().SetAudioSinkFactory(MakeMixerMovieAudioSinkFactory(*mixer));
  SetBgmVolumeListener([](SoundVolume v) { GetMovieMgr().SetVolumeAll(v); });
}

void StartMusicStreams() {
  StartSoundStreams();
  // Until the title scene plays it, the opening movie runs at start-up, then the title music.
  g_gameHooks.openingPlays_ = PlayOpeningMovie();
  if (!g_gameHooks.openingPlays_) PlayMusic("Data\\bgm\\M29_intro.voi", "Data\\bgm\\M29.voi");
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
  s.initMovieManager = [] { return GetMovieMgr().Init(); };
  s.shutdownMovieManager = [] { GetMovieMgr().Shutdown(); };
  s.initSound = &InitSoundAndMovieAudio;
  s.startStreamPlayers = &StartMusicStreams;
  s.stopStreamPlayers = &StopSoundStreams;
  s.endStreamThreads = &EndSound;
  s.loadSystemData = &LoadSystemData;
  // The play record and settings, then the persistent script switches.
  s.saveSystemFiles = [] {
    SaveSystemFiles();
    GetAdvScript().SaveSystemSwitches();
  };
  SetWindowModeSettingSource(&GetSysConfigWindowMode);
  s.gameHooks = &g_gameHooks;
  s.pictureSource = &GetGamePicture();
  s.releaseGraphics = &ReleaseGamePicture;
  SetSoundFocusHooks({&RequestSoundSilence, &RequestSoundRestore});
}
