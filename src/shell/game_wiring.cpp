#include "shell/game_wiring.h"

#include "battle/battle_run.h"
#include "core/app_state.h"
#include "core/game_file.h"
#include "save/system_files.h"
#include "movie/movie_mgr.h"
#include "movie/movie_mixer_sink.h"
#include "shell/app_main.h"
#include "shell/game_graphics.h"
#include "core/frame_services.h"
#include "shell/main_window.h"
#include "sound/sound.h"
#include "screens/front/front_ports.h"
#include "screens/front/front_scenes.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/strategy_session.h"
#include "world/scenario_tables.h"
#include "world/world_tables.h"
#include "platform/text/log.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "save/save_slot.h"
#include "scenario/interp/adv_step.h"
#include "world/world_misc.h"
#include "world/world_ports.h"
#include "scenario/script/adv_script.h"
#include "shell/adv_wiring.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/widget_movie_port.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace {

class GameHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  void UpdateMovies() override { ::UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  // The story steps by game mode (the frame calls it outside the strategy game). The title's
  // strategy button (game mode 7) starts the strategy game; until the turn engine is connected,
  // the strategy session steps the new game and the phases.
  void StepAdvScript() override {
    if (GameMode == game_mode::kStartSlg) {
      BeginStrategySession();
      return;
    }
    ::StepAdvScript();
  }
  void RunTurnLoop() override { StepStrategySession(); }
  void UpdateSlgMouseState() override { ::UpdateMouseInputState(); }
  void ResetPickState() override { ::ResetPickState(); }
};

GameHooks g_gameHooks;
// Loading a start slot and recording a clear reach the save slots.
SlotSlgRules g_slgRules;
// The battles of the strategy game, with the settings and system tables read before each one.
void ReadBattleConfig(BattleConfig& c) {
  c.animation = static_cast<int>(SysConfigBlock[kCfgBattleAnimation]);
  c.surrenderTest = static_cast<int>(SysConfigBlock[kCfgBattleResults]);
  c.startOption = static_cast<int>(SysConfigBlock[kCfgBattleStart]);
  c.turnLimit = NoKakuuSiroFlag;
  c.eventBlock = StoryEventBlockFlag;
  for (int i = 0; i < kSystemParamWords && i < 36; ++i) c.params[i] = SystemParamTable[i];
}

// The scene manager as the frame drives it; the idle game mode enters the title.
SceneFrameAdapter g_scenes;

void InitScenes() {
  GetMenuMgr().Init(GetModuleDir());
  InstallMovieWidgetPort();
  if (!InitSceneSystem()) plat::Log("scene", "the scene table is missing or incomplete");
  RegisterFrontScenes(GetSceneMgr());
  // The strategy scene is, while it exists, the strategy-scene port of the rules.
  RegisterStrategyScenes(GetSceneMgr(), true);
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
  // The play record, then the persistent script switches (both inside SaveSystemFiles).
  s.saveSystemFiles = [] { SaveSystemFiles(); };
  s.purgeTextures = [] { GetTextureMgr()->DeleteAll(-1); };
  SetWindowModeSettingSource(&GetSysConfigWindowMode);
  // The device gets the inverse of the settings' render option.
  s.applyRenderOptionSetting = [] { SetGamePictureSmooth(SysConfigBlock[kCfgRenderOption] == 0); };
  // The settings screen applies the window mode and the render option as soon as it confirms.
  SetFrontShellHooks([] { ApplyWindowModeSetting(false); },
                     [] { SetGamePictureSmooth(SysConfigBlock[kCfgRenderOption] == 0); });
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
  SetSlgRulesPort(&g_slgRules);
  InstallBattleRules(&ReadBattleConfig);
  InstallScenarioEngine();
}
