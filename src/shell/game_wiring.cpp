#include "shell/game_wiring.h"

#include "core/game_file.h"
#include "save/system_files.h"
#include "movie/movie_mgr.h"
#include "movie/movie_mixer_sink.h"
#include "shell/app_main.h"
#include "shell/game_graphics.h"
#include "core/frame_services.h"
#include "shell/main_window.h"
#include "sound/sound.h"
#include "screens/front/front_scenes.h"
#include "world/scenario_tables.h"
#include "save/save_slot.h"
#include "sound/busyo_voice.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
#include "world/world_tables.h"
#include "platform/text/log.h"
#include "render/sprite.h"
#include "scenario/script/adv_script.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/widget_movie_port.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace {

class GameHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  bool PollSlgKey() override { return ::PollSlgKey() != 0; }
  void RunTurnLoop() override { ::RunTurnLoop(); }
  void UpdateMovies() override { ::UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
};

GameHooks g_gameHooks;

// The turn rules with the save slots behind them.
class GameRules : public TurnRulesPort {
 public:
  bool LoadGameSlot(int slot) override { return ::LoadGameSlot(slot); }
  void RecordGameCleared() override { ::RecordGameCleared(); }
  bool HasQuickSave() override { return ::HasQuickSave(); }
};
GameRules g_gameRules;

// The turn's music, effects and voices on the sound channels.
class GameSlgSound : public SlgSoundPort {
 public:
  void PlaySlgBgm(const char* file, int onlyIfChanged) override { ::PlaySlgBgm(file, onlyIfChanged); }
  void PlaySlgSe(int channel, int effect, int loop) override { ::PlaySlgSe(channel, effect, loop); }
  void PlayGeneralVoice(int channel, int busyo, int line) override {
    if (const BusyoRecord* b = BusyoPtr(static_cast<uint32_t>(busyo))) ::PlayGeneralVoice(channel, b->voice, line);
  }
  void ForgetSlgBgm() override { ClearLastVoiceName(); }
};
GameSlgSound g_slgSound;
// The scene manager as the frame drives it; the idle game mode enters the title.
SceneFrameAdapter g_scenes;

void InitScenes() {
  GetMenuMgr().Init(GetModuleDir());
  InstallMovieWidgetPort();
  if (!InitSceneSystem()) plat::Log("scene", "the scene table is missing or incomplete");
  RegisterFrontScenes(GetSceneMgr());
}

void InitSoundAndMovieAudio() {
  InitSound();
  if (plat::Mixer* mixer = GetSoundMixer()) GetMovieMgr().SetAudioSinkFactory(MakeMixerMovieAudioSinkFactory(*mixer));
  SetBgmVolumeListener([](SoundVolume v) { GetMovieMgr().SetVolumeAll(v); });
}

// The title scene plays the logo, the opening movie and its music itself.
void StartMusicStreams() { StartSoundStreams(); }

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
  // The device gets the inverse of the settings' render option.
  s.applyRenderOptionSetting = [] { SetGamePictureSmooth(SysConfigBlock[kCfgRenderOption] == 0); };
  s.loadLineAndBoardTables = [] {
    LoadLineDefTable(GlobalLineDefTable());
    LoadBoardDef();
  };
  s.initMenuManager = &InitScenes;
  s.deleteMenuRoots = [] { GetMenuMgr().DeleteAllRoots(); };
  s.sceneManager = &g_scenes;
  s.gameHooks = &g_gameHooks;
  s.pictureSource = &GetGamePicture();
  s.releaseGraphics = &ReleaseGamePicture;
  SetSoundFocusHooks({&RequestSoundSilence, &RequestSoundRestore});
  // Game mode 11 steps the turn loop; the strategy scene comes through its own port.
  SetSlgRulesPort(&g_gameRules);
  SetSlgSoundPort(&g_slgSound);
}
