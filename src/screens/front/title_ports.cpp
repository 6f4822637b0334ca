#include "screens/front/title_ports.h"

#include "core/app_state.h"
#include "movie/movie_mgr.h"
#include "save/system_files.h"
#include "sound/sound.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"

namespace {

TitlePorts DefaultPorts() {
  TitlePorts p;
  p.playFullScreenMovie = [](const char* path) { return GetMovieMgr().PlayFullScreen(path, false, true); };
  p.allMoviesFinished = [] { return GetMovieMgr().IsAllFinished(); };
  p.closeAllMovies = [] { GetMovieMgr().CloseAll(); };
  p.setMovieVolume = [](int32_t v) { GetMovieMgr().SetVolumeAll(v); };
  p.musicVolume = [] { return g_SoundChannelState.configured[kSoundChannelBgm]; };
  p.playMusic = [](const char* file, int fade) { PlaySound(kSoundChannelBgm, file, 1, fade, 0); };
  p.stopMusic = [] { SetChannelFade(kSoundChannelBgm, 0, 0); };
  // The story starts from its top: set 0 reloaded, the story's sound settings, game mode 0.
  p.loadStoryScripts = [] {
    StartAdvScript(0);
    const AdvScript& s = GetAdvScript();
    return s.loaded != 0 && s.setNumber == 0;
  };
  p.setSwitch0 = [](int32_t v) {
    AdvScript& s = GetAdvScript();
    if (!s.switches.empty()) s.switches[0] = v;
  };
  p.startCounter = [] { return static_cast<uint32_t>(PlayRecordBlock.startCounter); };
  p.windowActive = [] { return IsSoundWindowActive(); };
  p.requestQuit = [] { g_QuitRequested.store(true); };
  return p;
}

TitlePorts& Ports() {
  static TitlePorts ports = DefaultPorts();
  return ports;
}

}  // namespace

TitlePorts& GetTitlePorts() { return Ports(); }

void ResetTitlePorts() { Ports() = DefaultPorts(); }
