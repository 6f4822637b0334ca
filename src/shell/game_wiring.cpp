#include "shell/debug/debug_rows.h"
#include "shell/debug_wiring.h"
#include "shell/game_wiring.h"

#include <string>

#include "battle/battle_run.h"
#include "battle/battle_screen_port.h"
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
#include "screens/battle/scene_kassen.h"
#include "screens/front/front_ports.h"
#include "screens/front/front_scenes.h"
#include "screens/extras/scene_omake.h"
#include "screens/scenario/scene_adv.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "world/ai/ai_entry.h"
#include "world/turn/command_check.h"
#include "world/scenario_tables.h"
#include "save/save_slot.h"
#include "sound/busyo_voice.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
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
#include "ui/widgets/widget_model.h"
#include "ui/widgets/widget_shader.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"

namespace {

class GameHooks : public FrameGameHooks {
 public:
  void UpdateSoundFades() override { ::UpdateSoundFades(); }
  bool PollSlgKey() override { return ::PollSlgKey() != 0; }
  // Game mode 11: one step of the turn loop (the new game, the phases, the war phase).
  void RunTurnLoop() override { ::RunTurnLoop(); }
  void UpdateMovies() override { ::UpdateMovies(); }
  bool MovieOwnsDisplay() override { return GetMovieMgr().BlocksDisplay(); }
  // The story steps by game mode outside the strategy game; game mode 7 (the title's strategy
  // button) enters the strategy game there.
  void StepAdvScript() override { ::StepAdvScript(); }
  void ResetPickState() override { ::ResetPickState(); }
};

GameHooks g_gameHooks;
// The battles of the strategy game, with the settings and system tables read before each one.
void ReadBattleConfig(BattleConfig& c) {
  c.animation = static_cast<int>(SysConfigBlock[kCfgBattleAnimation]);
  c.surrenderTest = static_cast<int>(SysConfigBlock[kCfgBattleResults]);
  c.startOption = static_cast<int>(SysConfigBlock[kCfgBattleStart]);
  c.turnLimit = NoKakuuSiroFlag;
  c.eventBlock = StoryEventBlockFlag;
  for (int i = 0; i < kSystemParamWords && i < 36; ++i) c.params[i] = SystemParamTable[i];
  // The debug menu's forced weather and skill rate (255: not forced).
  const DebugWords& d = GetDebugWords();
  const uint8_t weather = d.forcedWeather.load(), skillRate = d.skillRate.load();
  c.debugWeather = weather == DebugWords::kNone ? -1 : weather;
  c.debugSkillRate = skillRate == DebugWords::kNone ? -1 : skillRate;
  c.debugAutoWin = d.autoWin.load();
}

// The turn rules with the save slots behind them.
class GameRules : public TurnRulesPort {
 public:
  bool LoadGameSlot(int slot) override { return ::LoadGameSlot(slot); }
  void RecordGameCleared() override { ::RecordGameCleared(); }
  bool HasQuickSave() override { return ::HasQuickSave(); }
  bool AutoSave(int gameMode) override { return ::AutoSave(gameMode); }
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
  InstallRenderWidgetShaders();
  InstallRenderMenuModels();
  if (!InitSceneSystem()) plat::Log("scene", "the scene table is missing or incomplete");
  RegisterFrontScenes(GetSceneMgr());
  RegisterOmakeScenes(GetSceneMgr());
  RegisterScenarioScenes(GetSceneMgr());
  // The strategy scene is, while it exists, the strategy-scene port of the rules.
  RegisterStrategyScenes(GetSceneMgr(), true);
  // Battles the player fights open scene 8; the battle rules ask him through its port.
  RegisterBattleScenes(GetSceneMgr());
  SetBattleScreenPort(&GetKassenScreenPort());
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
  InstallDebugWindow();
  s.clearScriptWatchList = [] { GetAdvScript().ClearWatchList(); };
  s.loadStartLabelList = [] { return LoadStartLabelList(0); };
  s.startLabelListFailure = [] { return StartLabelListFailure(); };
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
                     [] { SetGamePictureSmooth(SysConfigBlock[kCfgRenderOption] == 0); },
                     [] {
                       if (auto* adv = dynamic_cast<CVSceneADV*>(GetSceneMgr().GetScene(2))) adv->ApplyWindowAlpha();
                     });
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
  // Game mode 11 steps the turn loop; the strategy scene comes through its own port, and its
  // command menus ask the turn's availability rules.
  SlgCommandRules& commands = GetSlgCommandRules();
  commands.checkAvailable = [](int cmd, int busyo, int siro, int, int marked) {
    return CheckCommandAvailable(cmd, static_cast<uint16_t>(busyo), static_cast<uint16_t>(siro),
                                 static_cast<uint8_t>(PlayerDaimyoId), static_cast<uint16_t>(marked)) == 0;
  };
  commands.reasonText = [](int) {
    const char* text = GetCommandReasonText();
    return std::string(text ? text : "");
  };
  commands.label = [](int cmd) {
    char text[80];
    FormatCommandLabel(cmd, text, sizeof text);
    return std::string(text);
  };
  commands.refreshCommandMenus = [](int menu) { RefreshCommandMenus(menu); };
  commands.quickSave = [] { return QuickSave(GameMode); };
  commands.quickLoad = [] { return QuickLoad(-1); };
  SetSlgRulesPort(&g_gameRules);
  InstallAiRules();
  SetSlgSoundPort(&g_slgSound);
  InstallBattleRules(&ReadBattleConfig);
  InstallScenarioEngine();
}
